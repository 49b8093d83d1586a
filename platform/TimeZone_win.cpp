// The time-zone record from the system, and the C runtime's standard-time
// offset.
#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/TimeZone.h"

namespace vz::platform {

namespace {

ZoneDate FromSystemTime(const SYSTEMTIME& t) {
  ZoneDate d;
  d.wYear = t.wYear;
  d.wMonth = t.wMonth;
  d.wDayOfWeek = t.wDayOfWeek;
  d.wDay = t.wDay;
  d.wHour = t.wHour;
  d.wMinute = t.wMinute;
  d.wSecond = t.wSecond;
  d.wMilliseconds = t.wMilliseconds;
  return d;
}

// The runtime reads TZ only in its own form, "XXX[+|-]h[:mm[:ss]][YYY]".
bool IsRuntimeTzForm(const char* tz) {
  if (!tz) return false;
  const std::string s(tz);
  if (s.size() < 4) return false;
  for (int i = 0; i < 3; ++i) {
    const char c = s[static_cast<size_t>(i)];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  const char c = s[3];
  return c == '+' || c == '-' || (c >= '0' && c <= '9');
}

}  // namespace

TimeZoneQuery QueryTimeZone() {
  TIME_ZONE_INFORMATION tzi{};
  const DWORD code = GetTimeZoneInformation(&tzi);
  TimeZoneQuery query;
  query.resultCode = code;
  query.record.Bias = tzi.Bias;
  query.record.StandardDate = FromSystemTime(tzi.StandardDate);
  query.record.StandardBias = tzi.StandardBias;
  query.record.DaylightDate = FromSystemTime(tzi.DaylightDate);
  query.record.DaylightBias = tzi.DaylightBias;
  return query;
}

int32_t RuntimeStandardOffsetSeconds() {
  // With TZ in the runtime's form the runtime's own offset counts. Other
  // TZ values (such as a tz database name, which the runtime would read as
  // offset 0) and an unset TZ give the system zone's standard offset, which
  // is what the runtime takes when TZ is unset.
  if (IsRuntimeTzForm(std::getenv("TZ"))) {
    _tzset();
    return static_cast<int32_t>(_timezone);
  }
  const TimeZoneQuery query = QueryTimeZone();
  return (query.record.Bias + query.record.StandardBias) * 60;
}

}  // namespace vz::platform
