#include "tools/msgen/MsGenMbf.h"

#include <cstring>

namespace vz::msgen {

uint32_t FloatToMbfWord(float value) {
  uint32_t ieee = 0;
  std::memcpy(&ieee, &value, sizeof ieee);
  const uint32_t sign = ieee >> 31;
  const uint32_t exponent = (ieee >> 23) & 0xFF;
  const uint32_t mantissa = ieee & 0x7FFFFF;
  // Zero, subnormals (MBF has none) and NaN.
  if (exponent == 0 || (exponent == 0xFF && mantissa != 0)) return 0;
  // 2^127 and above (and infinity) would need an exponent byte above 255.
  if (exponent >= 254) return 0xFF000000u | (sign << 23) | 0x7FFFFFu;
  return ((exponent + 2) << 24) | (sign << 23) | mantissa;
}

int32_t CenturyDate(int32_t yyyymmdd) { return yyyymmdd - 19000000; }

}  // namespace vz::msgen
