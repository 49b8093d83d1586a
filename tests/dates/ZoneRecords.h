#pragma once
// Builders for explicit time-zone records in the date and clock tests.
#include "platform/TimeZone.h"

namespace vz::test {

// A month / n-th weekday rule entry (nth 5 = last).
inline platform::ZoneDate Rule(uint16_t month, uint16_t nth, uint16_t weekday, uint16_t hour, uint16_t minute = 0) {
  platform::ZoneDate e;
  e.wMonth = month;
  e.wDay = nth;
  e.wDayOfWeek = weekday;
  e.wHour = hour;
  e.wMinute = minute;
  return e;
}

// An absolute date entry.
inline platform::ZoneDate Absolute(uint16_t y, uint16_t m, uint16_t d, uint16_t weekday, uint16_t hour,
                                   uint16_t minute = 0) {
  platform::ZoneDate e = Rule(m, d, weekday, hour, minute);
  e.wYear = y;
  return e;
}

inline platform::TimeZoneRecord Record(int32_t bias, platform::ZoneDate daylight = {}, platform::ZoneDate standard = {},
                                       int32_t daylightBias = 0) {
  platform::TimeZoneRecord r;
  r.Bias = bias;
  r.DaylightDate = daylight;
  r.StandardDate = standard;
  r.DaylightBias = daylightBias;
  return r;
}

}  // namespace vz::test
