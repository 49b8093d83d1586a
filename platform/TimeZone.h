#pragma once
// The machine's time-zone record: the standard bias and the two transition
// entries of daylight saving, laid out like the Windows time-zone information.
// On Windows it comes from the system; elsewhere it is derived from the tz
// database rule of the zone in force (TZ, else /etc/localtime), so that both
// builds take the same daylight-saving decisions in the same zone.
#include <cstdint>

namespace vz::platform {

// One transition entry, SYSTEMTIME-like. With wYear 0 it is a rule: month
// wMonth, the wDay-th (1..4, 5 = last) weekday wDayOfWeek (Sunday = 0), at
// wHour:wMinute local time. With wYear set it is an absolute date and time.
// All zero: no transition.
struct ZoneDate {
  uint16_t wYear = 0;
  uint16_t wMonth = 0;
  uint16_t wDayOfWeek = 0;
  uint16_t wDay = 0;
  uint16_t wHour = 0;
  uint16_t wMinute = 0;
  uint16_t wSecond = 0;
  uint16_t wMilliseconds = 0;

  friend bool operator==(const ZoneDate&, const ZoneDate&) = default;
};

// Biases in minutes, UTC = local time + bias.
struct TimeZoneRecord {
  int32_t Bias = 0;
  ZoneDate StandardDate;
  int32_t StandardBias = 0;
  ZoneDate DaylightDate;
  int32_t DaylightBias = 0;

  friend bool operator==(const TimeZoneRecord&, const TimeZoneRecord&) = default;
};

// Result codes of the query, as Windows reports them.
inline constexpr uint32_t kTimeZoneIdUnknown = 0;   // no daylight saving
inline constexpr uint32_t kTimeZoneIdStandard = 1;  // standard time now
inline constexpr uint32_t kTimeZoneIdDaylight = 2;  // daylight time now
inline constexpr uint32_t kTimeZoneIdInvalid = 0xFFFFFFFFu;

struct TimeZoneQuery {
  uint32_t resultCode = kTimeZoneIdUnknown;
  TimeZoneRecord record;
};

// Queries the zone in force now.
TimeZoneQuery QueryTimeZone();

// The C runtime's standard-time offset in seconds west of UTC (as set at
// process start: from TZ when it is set, else the system's zone).
int32_t RuntimeStandardOffsetSeconds();

}  // namespace vz::platform
