// The daylight-saving window of the machine's time zone and the conversions
// between the UTC+1, UTC, UTC-5 and local clocks.
#include <cstdlib>

#include "vuzuz/Dates.h"

namespace vz {

namespace {

class TPlatformTimeZoneSource final : public ITimeZoneSource {
public:
  platform::TimeZoneQuery QueryTimeZone() override { return platform::QueryTimeZone(); }
  int32_t RuntimeOffsetSeconds() override { return platform::RuntimeStandardOffsetSeconds(); }
};

// The process-wide zone cache. It is filled by the first call that needs it
// and kept until the process ends (or a test installs another source);
// later changes to the machine's zone are not seen. Not locked: the run calls
// the clock conversions from its worker thread only.
struct ZoneCache {
  std::shared_ptr<ITimeZoneSource> source;  // null: the platform's
  bool queryDone = false;
  uint32_t resultCode = platform::kTimeZoneIdUnknown;
  platform::TimeZoneRecord record;
  uint16_t cachedYear = 0;
  double windowStart = 0.0;
  double windowEnd = 0.0;
  bool runtimeOffsetDone = false;
  int32_t runtimeOffsetSeconds = 0;
};

ZoneCache& Cache() {
  static ZoneCache cache;
  return cache;
}

ITimeZoneSource& Source(ZoneCache& cache) {
  static TPlatformTimeZoneSource platformSource;
  if (cache.source) return *cache.source;
  return platformSource;
}

// An entry read as an absolute date and time; false for a rule entry (year
// 0) or any field out of range.
bool TryAbsoluteDate(const platform::ZoneDate& entry, double& value) {
  DateTimeParts parts;
  parts.year = entry.wYear;
  parts.month = entry.wMonth;
  parts.day = entry.wDay;
  parts.hour = entry.wHour;
  parts.minute = entry.wMinute;
  parts.second = entry.wSecond;
  parts.millisecond = entry.wMilliseconds;
  return TryEncodeDateTime(parts, value);
}

void ComputeWindow(ZoneCache& cache, double x) {
  const platform::TimeZoneRecord& r = cache.record;
  double start = 0.0;
  double end = 0.0;
  if (TryAbsoluteDate(r.DaylightDate, start) && TryAbsoluteDate(r.StandardDate, end)) {
    cache.windowStart = start;
    cache.windowEnd = end;
    return;
  }
  cache.windowStart = TransitionDate(r.DaylightDate, x);
  cache.windowEnd = TransitionDate(r.StandardDate, x);
}

int32_t RuntimeOffset() {
  ZoneCache& cache = Cache();
  if (!cache.runtimeOffsetDone) {
    cache.runtimeOffsetSeconds = Source(cache).RuntimeOffsetSeconds();
    cache.runtimeOffsetDone = true;
  }
  return cache.runtimeOffsetSeconds;
}

}  // namespace

std::shared_ptr<ITimeZoneSource> SetTimeZoneSource(std::shared_ptr<ITimeZoneSource> source) {
  ZoneCache& cache = Cache();
  std::shared_ptr<ITimeZoneSource> previous = std::move(cache.source);
  cache = ZoneCache{};
  cache.source = std::move(source);
  return previous;
}

double TransitionDate(const platform::ZoneDate& entry, double x) {
  // A month that does not exist names no day at all: no window edge.
  double first = 0;
  if (!TryEncodeDate(YearOf(x), entry.wMonth, 1, first)) return 0.0;
  const double last = LastOfMonth(first);
  if (entry.wDay == 5) {
    for (double d = last; d >= first; d -= 1.0) {
      if (DayOfWeek(d) == entry.wDayOfWeek) return d;
    }
    return first;
  }
  int count = 0;
  for (double d = first; d <= last; d += 1.0) {
    if (DayOfWeek(d) == entry.wDayOfWeek && ++count == entry.wDay) return d;
  }
  return first;
}

int DaylightHours(double x) {
  ZoneCache& cache = Cache();
  if (!cache.queryDone) {
    const platform::TimeZoneQuery query = Source(cache).QueryTimeZone();
    cache.resultCode = query.resultCode;
    cache.record = query.record;
    cache.queryDone = true;
  }
  if (cache.resultCode == platform::kTimeZoneIdUnknown ||
      cache.resultCode == platform::kTimeZoneIdInvalid) {
    return 0;
  }
  const auto year = static_cast<uint16_t>(YearOf(x));
  if (year != cache.cachedYear) {
    cache.cachedYear = year;
    ComputeWindow(cache, x);
  }
  if (cache.windowStart < x && x < cache.windowEnd) {
    return static_cast<int>(std::llabs(int64_t{cache.record.DaylightBias}) / 60);
  }
  return 0;
}

// The expressions below keep the order of operations of the conversions
// exactly, so results are identical to the last bit.

double PlusOneToUtc(double x) { return x - (DaylightHours(x) + 1) / 24.0; }

double UtcToPlusOne(double x) { return x + (DaylightHours(x) + 1) / 24.0; }

double UtcToLocal(double x) {
  const int32_t tzHours = RuntimeOffset() / 3600;
  return x - (tzHours - DaylightHours(x)) / 24.0;
}

double PlusOneToMinusFive(double x) {
  const int h = DaylightHours(x);
  return ((x - (h + 1) / 24.0) - 5 / 24.0) + h / 24.0;
}

double MinusFiveToPlusOne(double x) {
  const double v = (x + 5 / 24.0) - DaylightHours(x) / 24.0;
  return UtcToPlusOne(v);
}

}  // namespace vz
