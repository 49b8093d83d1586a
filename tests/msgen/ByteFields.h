#pragma once
// Little-endian fields and MBF words read by hand from generated files, so
// the tests check the bytes without the code that wrote them.
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

namespace vz::msgen::test {

inline uint32_t U16(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b.at(at)) | static_cast<uint32_t>(static_cast<uint8_t>(b.at(at + 1))) << 8;
}
inline uint32_t U32(const std::string& b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }
inline float F32(const std::string& b, size_t at) { return std::bit_cast<float>(U32(b, at)); }

// MBF decoded arithmetically: 1.m * 2^(E - 129), sign in bit 23.
inline double MbfValue(uint32_t w) {
  if ((w >> 24) == 0) return 0.0;
  const double m = 1.0 + static_cast<double>(w & 0x7FFFFF) / 8388608.0;
  return ((w >> 23) & 1 ? -m : m) * std::ldexp(1.0, static_cast<int>(w >> 24) - 129);
}

}  // namespace vz::msgen::test
