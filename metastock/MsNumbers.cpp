#include "metastock/MsNumbers.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace vz {


uint32_t FloatToMbf(float value) {
  const uint32_t ieee = std::bit_cast<uint32_t>(value);
  if (ieee == 0) return 0;
  const uint32_t sign = ieee >> 31;
  const uint32_t exponent = (ieee >> 23) & 0xFFu;
  const uint32_t mantissa = ieee & 0x7FFFFFu;
  if (exponent == 0xFF && mantissa != 0) return 0;  // NaN has no MBF form
  if (exponent >= 254) return (0xFFu << 24) | (sign << 23) | 0x7FFFFFu;
  return ((exponent + 2) << 24) | (sign << 23) | mantissa;
}

int CountBits(uint32_t value) { return std::popcount(value); }

char* TrimSpaces(char* text) {
  char* start = text;
  while (*start == ' ') ++start;
  if (start != text) std::memmove(text, start, std::strlen(start) + 1);
  size_t length = std::strlen(text);
  while (length > 0 && text[length - 1] == ' ') text[--length] = '\0';
  return text;
}



void FloatDateTimeToTm(float date, float time, std::tm& out) {
  detail::SetDateFields(TruncToInt32(date), out);
  const int64_t t = TruncToInt32(time);
  out.tm_sec = static_cast<int>(((t % 100) + (t / 1000000) * 100) * 1000 / 60);
  const int64_t hhmm = (t / 100) % 10000;
  out.tm_min = static_cast<int>(hhmm % 100);
  out.tm_hour = static_cast<int>(hhmm / 100);
}

void PackedDateTimeToTm(int32_t date, int32_t time, std::tm& out) {
  out.tm_mday = date % 100;
  out.tm_mon = (date / 100) % 100 - 1;
  out.tm_year = date / 10000;
  out.tm_sec = static_cast<int>(int64_t{time % 1000} * 1000 / 60);
  out.tm_min = (time / 1000) % 100;
  out.tm_hour = time / 100000;
}

// Encoders work in 64 bits and wrap to 32 like the stored fields would, so
// garbage records cannot cause signed overflow.
int32_t TmToPackedDate(const std::tm& t) {
  return static_cast<int32_t>((int64_t{t.tm_year} * 100 + t.tm_mon) * 100 + t.tm_mday + 100);
}

float TmToFloatDate(const std::tm& t) {
  return static_cast<float>((int64_t{t.tm_year} * 100 + t.tm_mon) * 100 + t.tm_mday - 18999900);
}

uint32_t TmToMbfDate(const std::tm& t) { return FloatToMbf(TmToFloatDate(t)); }

int32_t TmToPackedTime(const std::tm& t) {
  return static_cast<int32_t>((int64_t{t.tm_hour} * 100 + t.tm_min) * 1000 + int64_t{t.tm_sec} * 60 / 1000);
}

float TmToFloatTime(const std::tm& t) {
  const int64_t a = int64_t{t.tm_sec} * 60 / 1000;
  const double value =
      ((static_cast<double>(a / 100) * 100 + t.tm_hour) * 100 + t.tm_min) * 100 + static_cast<double>(a % 100);
  return static_cast<float>(value);
}




void UtcSecondsToTm(int64_t seconds, std::tm& out) {
  const int64_t days = detail::FloorDiv(seconds, 86400);
  const int64_t inDay = seconds - days * 86400;
  // Days since 0000-03-01 in eras of 400 years, as in DaysFromCivil.
  const int64_t z = days + 719468;
  const int64_t era = detail::FloorDiv(z, 146097);
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  out.tm_year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  out.tm_mon = static_cast<int>(month - 1);
  out.tm_mday = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  out.tm_hour = static_cast<int>(inDay / 3600);
  out.tm_min = static_cast<int>(inDay % 3600 / 60);
  out.tm_sec = static_cast<int>(inDay % 60);
}

bool FitsInt32Seconds(int64_t seconds) {
  return seconds >= std::numeric_limits<int32_t>::min() && seconds <= std::numeric_limits<int32_t>::max();
}

int32_t FloatTimeToSeconds(float time) {
  const int64_t a = TruncToInt32(static_cast<double>(time) * 0.01) % 10000;
  return static_cast<int32_t>((a / 100) * 3600 + (a % 100) * 60);
}

int32_t PackedTimeToSeconds(int32_t time) {
  const int64_t b = time / 1000;
  return static_cast<int32_t>((b / 100) * 3600 + (b % 100) * 60 + int64_t{time % 1000} * 1000 / 60);
}

float SecondsToFloatTime(int32_t seconds) {
  const int64_t s = seconds < 0 ? 0 : seconds;
  const int64_t minutes = s / 60;
  return static_cast<float>(((minutes / 60) * 100 + minutes % 60) * 100);
}

int32_t SecondsToPackedTime(int32_t seconds) {
  const int64_t s = seconds < 0 ? 0 : seconds;
  return static_cast<int32_t>(((s / 3600) * 100 + (s % 3600) / 60) * 1000 + (s % 60) * 60 / 1000);
}

}  // namespace vz
