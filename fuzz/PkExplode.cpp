// explode over arbitrary bytes: any result code of a malformed or truncated stream is fine, a crash, hang or
// out-of-bounds access is not. The output is counted, not kept, and must
// stay within what the format can express for this much input.
#include <cstdlib>

#include "fuzz/FuzzTarget.h"
#include "vuzuz/pkcmp/Pkcmp.h"

namespace {

struct FuzzIo {
  const uint8_t* data;
  size_t left;
  size_t produced;
};

unsigned ReadFuzz(char* buf, unsigned* size, void* param) {
  auto* io = static_cast<FuzzIo*>(param);
  // Small pieces, so that codes straddle refills.
  size_t n = *size < 61 ? *size : 61;
  if (n > io->left) n = io->left;
  for (size_t k = 0; k < n; ++k) buf[k] = static_cast<char>(io->data[k]);
  io->data += n;
  io->left -= n;
  return static_cast<unsigned>(n);
}

void WriteFuzz(char*, unsigned* size, void* param) { static_cast<FuzzIo*>(param)->produced += *size; }

}  // namespace

VZ_FUZZ_TARGET(PkExplode) {
  static char work[vz::pkcmp::kExplodeWorkSize];
  FuzzIo io{data, size, 0};
  const unsigned result = vz::pkcmp::explode(ReadFuzz, WriteFuzz, work, &io);
  // The callback never refuses output, so kPkAbort is a fault too.
  if (result == vz::pkcmp::kPkAbort || result > vz::pkcmp::kPkTruncated) std::abort();
  // At least 2 header bits... each copy of up to 518 bytes takes 12 bits or more.
  if (io.produced > 518 * (size * 8 / 12 + 1)) std::abort();
  return 0;
}
