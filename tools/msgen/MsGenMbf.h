#pragma once
// Number and date encodings of the generated files, written independently of
// the MetaStock reading library so that each can check the other.
#include <cstdint>

namespace vz::msgen {

// IEEE single -> Microsoft Binary Format word (byte 3 exponent with bias
// 129, sign in bit 23, the same 23 mantissa bits). 0.0 and -0.0 give 0.
// Values MBF cannot hold are bounded: subnormals and NaN give 0, values at or
// beyond 2^127 in size give the largest MBF value of their sign.
uint32_t FloatToMbfWord(float value);

// The word for 0.0 written by writers that do not treat zero apart.
inline constexpr uint32_t kSloppyMbfZero = 0x02000000;

// YYYYMMDD -> (year - 1900) * 10000 + month * 100 + day, the number MASTER,
// EMASTER and the price records store (980115 for 1998-01-15, 1020221 for
// 2002-02-21).
int32_t CenturyDate(int32_t yyyymmdd);

}  // namespace vz::msgen
