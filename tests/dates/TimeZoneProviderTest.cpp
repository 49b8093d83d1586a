// The platform's time-zone record for two real zones against the record
// Windows keeps for them. Natively the zone is switched through TZ inside the
// test; under Wine the zone is the one in TZ when the test program starts
// (run it once with TZ=Europe/Berlin and once with TZ=America/New_York).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "dates/ZoneRecords.h"
#include "platform/TimeZone.h"

namespace vz::platform {
namespace {

struct KnownZone {
  const char* name;
  TimeZoneRecord record;
  int32_t runtimeOffsetSeconds;
};

ZoneDate Sunday(uint16_t month, uint16_t nth, uint16_t hour) { return test::Rule(month, nth, 0, hour); }

// "W. Europe Standard Time" and "Eastern Standard Time".
const KnownZone kKnownZones[] = {
    {"Europe/Berlin", {-60, Sunday(10, 5, 3), 0, Sunday(3, 5, 2), -60}, -3600},
    {"America/New_York", {300, Sunday(11, 1, 2), 0, Sunday(3, 2, 2), -60}, 18000},
};

void ExpectKnownRecord(const KnownZone& zone) {
  const TimeZoneQuery query = QueryTimeZone();
  EXPECT_TRUE(query.resultCode == kTimeZoneIdStandard || query.resultCode == kTimeZoneIdDaylight)
      << zone.name << " code " << query.resultCode;
  const TimeZoneRecord& r = query.record;
  EXPECT_EQ(r, zone.record) << zone.name << ": bias " << r.Bias << " standard " << r.StandardDate.wMonth << "."
                            << r.StandardDate.wDay << "." << r.StandardDate.wDayOfWeek << "/" << r.StandardDate.wHour
                            << " daylight " << r.DaylightDate.wMonth << "." << r.DaylightDate.wDay << "."
                            << r.DaylightDate.wDayOfWeek << "/" << r.DaylightDate.wHour << " bias "
                            << r.StandardBias << "," << r.DaylightBias;
  EXPECT_EQ(RuntimeStandardOffsetSeconds(), zone.runtimeOffsetSeconds) << zone.name;
}

TEST(TimeZoneProvider, ZoneInTzGivesTheWindowsRecord) {
  const char* tz = std::getenv("TZ");
  const std::string name = tz ? tz : "";
  for (const KnownZone& zone : kKnownZones) {
    if (name == zone.name || name == std::string(":") + zone.name) {
      ExpectKnownRecord(zone);
      return;
    }
  }
  GTEST_SKIP() << "TZ is not one of the known zones";
}

#ifndef _WIN32
TEST(TimeZoneProvider, KnownZonesGiveTheWindowsRecord) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  for (const KnownZone& zone : kKnownZones) {
    setenv("TZ", zone.name, 1);
    ExpectKnownRecord(zone);
  }
  if (old) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
}

TEST(TimeZoneProvider, UnreadableZoneIsUtc) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  for (const char* tz : {"", "Nowhere/../../etc/passwd", "/nonexistent/zone", "!!"}) {
    setenv("TZ", tz, 1);
    const TimeZoneQuery query = QueryTimeZone();
    EXPECT_EQ(query.resultCode, kTimeZoneIdUnknown) << tz;
    EXPECT_EQ(query.record, TimeZoneRecord{}) << tz;
  }
  // A TZ that names no file is a rule itself.
  setenv("TZ", "JST-9", 1);
  EXPECT_EQ(QueryTimeZone().record.Bias, -540);
  if (old) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
}
#endif

}  // namespace
}  // namespace vz::platform
