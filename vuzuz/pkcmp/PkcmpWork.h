#pragma once
// Placing a codec's state in the caller's work buffer. The buffer is a plain
// char array of the library's size with no alignment promised, so the state
// starts at the first suitably aligned byte inside it.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace vz::pkcmp::detail {

// The stream is little-endian bit by bit; the word loads below rely on a
// little-endian host (x86-64 Linux and Windows).
static_assert(std::endian::native == std::endian::little);

// Bytes a state of type T needs from a work buffer, whatever its alignment.
template <class T>
constexpr size_t WorkBytesFor() {
  return sizeof(T) + alignof(T) - 1;
}

template <class T, class... Args>
T* PlaceState(char* work, Args&&... args) {
  const auto address = reinterpret_cast<uintptr_t>(work);
  const uintptr_t aligned = (address + alignof(T) - 1) & ~uintptr_t{alignof(T) - 1};
  return new (work + (aligned - address)) T(static_cast<Args&&>(args)...);
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline void Store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

}  // namespace vz::pkcmp::detail
