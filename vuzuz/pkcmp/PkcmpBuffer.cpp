#include "vuzuz/pkcmp/PkcmpBuffer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "vuzuz/pkcmp/Pkcmp.h"

namespace vz::pkcmp {
namespace {

struct MemoryIo {
  const char* in;
  size_t inLeft;
  std::string* out;
};

unsigned ReadMemory(char* buf, unsigned* size, void* param) {
  auto* io = static_cast<MemoryIo*>(param);
  const size_t n = std::min<size_t>(*size, io->inLeft);
  if (n > 0) std::memcpy(buf, io->in, n);
  io->in += n;
  io->inLeft -= n;
  return static_cast<unsigned>(n);
}

void WriteMemory(char* buf, unsigned* size, void* param) {
  static_cast<MemoryIo*>(param)->out->append(buf, *size);
}

}  // namespace

unsigned ImplodeBytes(const void* data, size_t size, unsigned type, unsigned dictSize, std::string& out) {
  out.clear();
  std::vector<char> work(kImplodeWorkSize);
  MemoryIo io{static_cast<const char*>(data), size, &out};
  return implode(ReadMemory, WriteMemory, work.data(), &io, &type, &dictSize);
}

unsigned ExplodeBytes(const void* data, size_t size, std::string& out) {
  out.clear();
  std::vector<char> work(kExplodeWorkSize);
  MemoryIo io{static_cast<const char*>(data), size, &out};
  return explode(ReadMemory, WriteMemory, work.data(), &io);
}

}  // namespace vz::pkcmp
