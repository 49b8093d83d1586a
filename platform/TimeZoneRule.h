#pragma once
// Reading the zone rules of the tz database without the C library: the POSIX
// TZ rule string ("CET-1CEST,M3.5.0,M10.5.0/3") and the TZif zoneinfo file
// whose footer carries that string. Portable, bounds-checked; used by the
// non-Windows time-zone provider and by tests on every build.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/TimeZone.h"

namespace vz::platform {

// One transition of a POSIX rule.
struct TzTransitionRule {
  enum class Kind { MonthWeekDay, JulianNoLeap, JulianZero };
  Kind kind = Kind::MonthWeekDay;
  int month = 0;   // Mm.w.d: 1..12
  int week = 0;    //         1..5 (5 = last)
  int weekday = 0; //         0..6, Sunday = 0
  int day = 0;     // Jn: 1..365; n: 0..365
  int32_t timeSeconds = 7200;  // local time of the change, -167h..+167h
};

struct TzRule {
  std::string standardName;
  int32_t standardOffset = 0;  // seconds west of UTC (POSIX sign)
  bool hasDaylight = false;
  std::string daylightName;
  int32_t daylightOffset = 0;  // seconds west of UTC
  bool hasTransitions = false; // false: daylight without rules given
  TzTransitionRule start;      // into daylight time
  TzTransitionRule end;        // back to standard time
};

// Parses a POSIX TZ rule string; nullopt when it is malformed.
std::optional<TzRule> ParseTzRule(std::string_view text);

// The footer rule string of a TZif file of version 2 or later; nullopt when
// the data is no such file, is truncated, or has no footer.
std::optional<std::string> ExtractTzifFooter(std::span<const uint8_t> data);

// The time-zone query a rule gives at the moment `unixNow` (for the result
// code and for Julian-day rules, which become absolute dates of that year).
// A daylight zone without transitions takes the US rules (second Sunday of
// March to first Sunday of November, 02:00), as the C library does.
TimeZoneQuery TimeZoneQueryFromRule(const TzRule& rule, int64_t unixNow);

}  // namespace vz::platform
