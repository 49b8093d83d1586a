#pragma once
// StormLib's implode and explode (the classic library entry points, which it
// exports with C linkage) and memory callbacks for them, for the tests and
// the benchmark that compare our codec with it. Never part of the product.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
unsigned int implode(unsigned int (*read_buf)(char*, unsigned int*, void*),
                     void (*write_buf)(char*, unsigned int*, void*), char* work_buf, void* param,
                     unsigned int* type, unsigned int* dsize);
unsigned int explode(unsigned int (*read_buf)(char*, unsigned int*, void*),
                     void (*write_buf)(char*, unsigned int*, void*), char* work_buf, void* param);
}

namespace vz::test {

// StormLib's state is bigger than the classic buffer sizes on 64-bit hosts.
constexpr size_t kPeerWorkSize = 1 << 16;

// Input taken from a string, output appended to one.
struct PeerIo {
  const std::string* in;
  size_t pos = 0;
  std::string* out = nullptr;
};

inline unsigned PeerRead(char* buf, unsigned* size, void* param) {
  auto* io = static_cast<PeerIo*>(param);
  const size_t n = std::min<size_t>(*size, io->in->size() - io->pos);
  std::memcpy(buf, io->in->data() + io->pos, n);
  io->pos += n;
  return static_cast<unsigned>(n);
}

inline void PeerWrite(char* buf, unsigned* size, void* param) { static_cast<PeerIo*>(param)->out->append(buf, *size); }

// StormLib's implode and explode of a whole string; their result codes.
inline unsigned StormImplode(const std::string& data, unsigned type, unsigned dictSize, std::string& out) {
  static std::vector<char> work(kPeerWorkSize);
  out.clear();
  PeerIo io{&data, 0, &out};
  return ::implode(PeerRead, PeerWrite, work.data(), &io, &type, &dictSize);
}

inline unsigned StormExplode(const std::string& stream, std::string& out) {
  static std::vector<char> work(kPeerWorkSize);
  out.clear();
  PeerIo io{&stream, 0, &out};
  return ::explode(PeerRead, PeerWrite, work.data(), &io);
}

}  // namespace vz::test
