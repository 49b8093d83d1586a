// implode then explode gives the input back, in the mode and dictionary size
// the first byte picks; imploding the same input twice gives the same bytes.
#include <cstdlib>
#include <string>

#include "fuzz/FuzzTarget.h"
#include "vuzuz/pkcmp/Pkcmp.h"
#include "vuzuz/pkcmp/PkcmpBuffer.h"

VZ_FUZZ_TARGET(PkRoundTrip) {
  if (size == 0) return 0;
  const unsigned type = data[0] & 1;
  const unsigned dictSize = 1024u << ((data[0] >> 1) % 3);
  const uint8_t* input = data + 1;
  const size_t length = size - 1;

  std::string packed, again, restored;
  if (vz::pkcmp::ImplodeBytes(input, length, type, dictSize, packed) != vz::pkcmp::kPkOk) std::abort();
  if (vz::pkcmp::ImplodeBytes(input, length, type, dictSize, again) != vz::pkcmp::kPkOk) std::abort();
  if (packed != again) std::abort();
  if (vz::pkcmp::ExplodeBytes(packed.data(), packed.size(), restored) != vz::pkcmp::kPkOk) std::abort();
  if (restored.size() != length || restored.compare(0, length, reinterpret_cast<const char*>(input), length) != 0)
    std::abort();
  return 0;
}
