#pragma once
// Numbers, dates and times as MetaStock files store them.
//
// Format notes
// - MBF single: exponent byte E in bits 31..24 (bias 129), sign in bit 23,
//   23 mantissa bits with an implied leading 1; the all-zero word is 0.
//   Relative to an IEEE single the exponent is 2 higher and the sign sits
//   between exponent and mantissa; the mantissa bits are the same.
// - Dates: MBF/float dates are (year - 1900) * 10000 + month * 100 + day;
//   packed dates are YYYYMMDD in an int32.
// - Times: MBF time HHMMSS; float time HHMM * 100 + d; packed time
//   HHMM * 1000 + d, where d is a sub-minute value and tm_sec = d * 1000 / 60.
//
// Broken-down date-times use std::tm with two differences from the C
// library: tm_year holds the full year and tm_sec the sub-minute value. The
// decoders set tm_sec..tm_year and leave tm_wday, tm_yday, tm_isdst alone.
#include <cstdint>
#include <bit>
#include <cmath>
#include <ctime>
#include <limits>

namespace vz {

// MBF word -> IEEE single. Exact for every word with an exponent byte of 2
// or more; a word with exponent byte 0 or 1 (no IEEE counterpart, at most
// 2^-127 in size) gives 0.0 with its sign.
inline float MbfToFloat(uint32_t mbf);
// IEEE single -> MBF word. Exact for every finite value below 2^126 in size;
// larger values and infinities saturate to the largest MBF magnitude, NaN
// gives 0.
uint32_t FloatToMbf(float value);

// Number of 1 bits.
int CountBits(uint32_t value);
// Removes leading and trailing spaces (code 32 only) in place; the text
// moves to the start of the buffer. Returns text.
char* TrimSpaces(char* text);

// Float -> int32 truncating toward zero; values outside the int32 range
// saturate and NaN gives 0 (a plain cast would be undefined there).
inline int32_t TruncToInt32(double value);

inline void MbfDateTimeToTm(uint32_t mbfDate, uint32_t mbfTime, std::tm& out);
void FloatDateTimeToTm(float date, float time, std::tm& out);
void PackedDateTimeToTm(int32_t date, int32_t time, std::tm& out);

int32_t TmToPackedDate(const std::tm& t);
float TmToFloatDate(const std::tm& t);
uint32_t TmToMbfDate(const std::tm& t);
int32_t TmToPackedTime(const std::tm& t);
float TmToFloatTime(const std::tm& t);

// Seconds since 1970-01-01 00:00:00 of the record read as UTC. The result is
// 64 bits wide, so dates after 2038-01-19 and before 1970 come out exact
// instead of wrapping; tm_year may hold the full year (> 1900) or years since
// 1900, and out-of-range months, days and times are carried arithmetically.
inline int64_t TmToUtcSeconds(const std::tm& t);
inline int64_t MbfDateTimeToUtcSeconds(uint32_t mbfDate, uint32_t mbfTime);
// True when seconds fit the signed 32-bit field of older readers.
bool FitsInt32Seconds(int64_t seconds);
// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12 after
// normalisation; any int32 year).
inline int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);

// The inverse: a record (full year, 0-based month) of UTC seconds.
void UtcSecondsToTm(int64_t seconds, std::tm& out);

int32_t FloatTimeToSeconds(float time);
int32_t PackedTimeToSeconds(int32_t time);
float SecondsToFloatTime(int32_t seconds);
int32_t SecondsToPackedTime(int32_t seconds);


// Inline: the price decoder calls these for every record.
inline float MbfToFloat(uint32_t mbf) {
  const uint32_t exponent = mbf >> 24;
  const uint32_t sign = (mbf & 0x800000u) << 8;
  // Exponent bytes 0 and 1 lie below the IEEE range; they read as zero with
  // their sign, like the original conversion routines ("exponent of zero =
  // zero"). Written without branches: the price decoder calls this for
  // every field.
  const uint32_t ieee = exponent >= 2 ? (sign | ((exponent - 2) << 23) | (mbf & 0x7FFFFFu)) : sign;
  return std::bit_cast<float>(ieee);
}

inline int32_t TruncToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

namespace detail {
// Date fields of a (year - 1900) * 10000 + month * 100 + day number.
inline void SetDateFields(int64_t d, std::tm& out) {
  out.tm_mday = static_cast<int>(d % 100);
  out.tm_mon = static_cast<int>((d / 100) % 100 - 1);
  out.tm_year = static_cast<int>(d / 10000 + 1900);
}

inline int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
}  // namespace detail

inline int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  // Count from 0000-03-01 so that the leap day ends a year; eras of 400
  // years have 146097 days.
  year -= month <= 2 ? 1 : 0;
  const int64_t era = detail::FloorDiv(year, 400);
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

inline int64_t TmToUtcSeconds(const std::tm& t) {
  int64_t year = t.tm_year > 1900 ? t.tm_year : int64_t{t.tm_year} + 1900;
  int64_t month = t.tm_mon;
  year += detail::FloorDiv(month, 12);
  month -= detail::FloorDiv(month, 12) * 12;
  const int64_t days = DaysFromCivil(year, month + 1, 1) + (int64_t{t.tm_mday} - 1);
  return days * 86400 + int64_t{t.tm_hour} * 3600 + int64_t{t.tm_min} * 60 + t.tm_sec;
}

inline void MbfDateTimeToTm(uint32_t mbfDate, uint32_t mbfTime, std::tm& out) {
  detail::SetDateFields(TruncToInt32(MbfToFloat(mbfDate)), out);
  // HHMMSS -> HHMM; the seconds are dropped.
  const int64_t hhmm = TruncToInt32(MbfToFloat(mbfTime)) / 100;
  out.tm_sec = 0;
  out.tm_min = static_cast<int>(hhmm % 100);
  out.tm_hour = static_cast<int>(hhmm / 100);
}

inline int64_t MbfDateTimeToUtcSeconds(uint32_t mbfDate, uint32_t mbfTime) {
  std::tm t{};
  MbfDateTimeToTm(mbfDate, mbfTime, t);
  return TmToUtcSeconds(t);
}

}  // namespace vz
