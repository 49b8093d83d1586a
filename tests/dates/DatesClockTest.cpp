#include <gtest/gtest.h>

#include <cstring>

#include "dates/ZoneRecords.h"
#include "vuzuz/Dates.h"

namespace vz {
namespace {

using platform::TimeZoneQuery;
using platform::TimeZoneRecord;
using platform::ZoneDate;

constexpr double kHour = 1.0 / 24;
constexpr double kSecond = 1.0 / 86400;

double Day(int y, int m, int d) {
  double v = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, v));
  return v;
}

using test::Rule;

ZoneDate Absolute(uint16_t y, uint16_t m, uint16_t d, uint16_t hour) { return test::Absolute(y, m, d, 0, hour); }

TimeZoneQuery Zone(uint32_t code, int32_t bias, ZoneDate daylight, ZoneDate standard, int32_t daylightBias = -60) {
  TimeZoneQuery q;
  q.resultCode = code;
  q.record = test::Record(bias, daylight, standard, daylightBias);
  return q;
}

const TimeZoneQuery kNoDaylight = Zone(platform::kTimeZoneIdUnknown, -60, {}, {});
const TimeZoneQuery kEurope = Zone(platform::kTimeZoneIdStandard, -60, Rule(3, 5, 0, 2), Rule(10, 5, 0, 3));
const TimeZoneQuery kUnitedStates = Zone(platform::kTimeZoneIdDaylight, 300, Rule(3, 2, 0, 2), Rule(11, 1, 0, 2));

// Installs a fixed zone for one test and puts the platform's back after.
class ZoneTest : public ::testing::Test {
protected:
  void Use(const TimeZoneQuery& query, int32_t runtimeOffset = 0) {
    SetTimeZoneSource(std::make_shared<TFixedTimeZoneSource>(query, runtimeOffset));
  }
  void TearDown() override { SetTimeZoneSource(nullptr); }
};

TEST(TransitionDate, FindsTheNthOrLastWeekdayAtMidnight) {
  struct Case { ZoneDate entry; double x; double expected; };
  const Case cases[] = {
      {Rule(3, 5, 0, 2), Day(2001, 7, 1) + 0.5, Day(2001, 3, 25)},   // last Sunday of March
      {Rule(10, 5, 0, 3), Day(2001, 1, 1), Day(2001, 10, 28)},       // last Sunday of October
      {Rule(3, 5, 0, 2), Day(2024, 12, 31), Day(2024, 3, 31)},       // last day is the Sunday
      {Rule(3, 2, 0, 2), Day(2007, 6, 1), Day(2007, 3, 11)},         // second Sunday of March
      {Rule(11, 1, 0, 2), Day(2007, 6, 1), Day(2007, 11, 4)},        // first Sunday of November
      {Rule(2, 4, 4, 0), Day(2001, 6, 1), Day(2001, 2, 22)},         // fourth Thursday
      {Rule(2, 5, 3, 0), Day(2004, 6, 1), Day(2004, 2, 25)},         // last Wednesday, leap year
      {Rule(3, 7, 0, 2), Day(2001, 6, 1), Day(2001, 3, 1)},          // no seventh Sunday: the first
      {Rule(3, 0, 0, 2), Day(2001, 6, 1), Day(2001, 3, 1)},          // nth 0 never reached
      {Rule(3, 2, 9, 2), Day(2001, 6, 1), Day(2001, 3, 1)},          // no weekday 9
      {Rule(0, 5, 0, 2), Day(2001, 6, 1), 0.0},                      // no month: no day
      {Rule(13, 1, 0, 2), Day(2001, 6, 1), 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TransitionDate(c.entry, c.x), c.expected)
        << "month " << c.entry.wMonth << " nth " << c.entry.wDay << " weekday " << c.entry.wDayOfWeek;
  }
}

// Daylight hours at the edges of each zone's window: the window runs from
// midnight of the start day to midnight of the end day, both excluded.
TEST_F(ZoneTest, DaylightHoursAtTheWindowEdges) {
  struct Case { const char* name; TimeZoneQuery zone; double x; int hours; };
  const double euStart = Day(2001, 3, 25);
  const double euEnd = Day(2001, 10, 28);
  const double usStart = Day(2007, 3, 11);
  const double usEnd = Day(2007, 11, 4);
  const TimeZoneQuery absolute =
      Zone(platform::kTimeZoneIdStandard, -60, Absolute(2001, 4, 1, 2), Absolute(2001, 10, 28, 3));
  const TimeZoneQuery southern = Zone(platform::kTimeZoneIdDaylight, -600, Rule(10, 1, 0, 2), Rule(4, 1, 0, 3));
  const TimeZoneQuery halfHour = Zone(platform::kTimeZoneIdStandard, -630, Rule(10, 1, 0, 2), Rule(4, 1, 0, 2), -30);
  TimeZoneQuery twoHours = kEurope;
  twoHours.record.DaylightBias = -120;
  TimeZoneQuery failed = kEurope;
  failed.resultCode = platform::kTimeZoneIdInvalid;
  const Case cases[] = {
      {"EU start midnight", kEurope, euStart, 0},
      {"EU start +1s", kEurope, euStart + kSecond, 1},
      {"EU end -1s", kEurope, euEnd - kSecond, 1},
      {"EU end midnight", kEurope, euEnd, 0},
      {"EU winter", kEurope, Day(2001, 1, 15) + 0.5, 0},
      {"EU next year summer", kEurope, Day(2002, 7, 1), 1},
      {"US start midnight", kUnitedStates, usStart, 0},
      {"US start +1s", kUnitedStates, usStart + kSecond, 1},
      {"US end -1s", kUnitedStates, usEnd - kSecond, 1},
      {"US end midnight", kUnitedStates, usEnd, 0},
      {"no daylight", kNoDaylight, Day(2001, 7, 1), 0},
      {"failed query", failed, Day(2001, 7, 1), 0},
      {"two hours", twoHours, Day(2001, 7, 1), 2},
      // Absolute entries keep their time of day and their own year.
      {"absolute start", absolute, Day(2001, 4, 1) + 2 * kHour, 0},
      {"absolute start +1s", absolute, Day(2001, 4, 1) + 2 * kHour + kSecond, 1},
      {"absolute end -1s", absolute, Day(2001, 10, 28) + 3 * kHour - kSecond, 1},
      {"absolute other year", absolute, Day(2002, 7, 1), 0},
      // A window that spans the turn of the year gives no daylight hours.
      {"southern summer", southern, Day(2001, 1, 15), 0},
      {"southern winter", southern, Day(2001, 7, 15), 0},
      // Half an hour is cut to whole hours.
      {"half hour", halfHour, Day(2001, 1, 15), 0},
  };
  for (const Case& c : cases) {
    Use(c.zone);
    EXPECT_EQ(DaylightHours(c.x), c.hours) << c.name;
  }
}

// The zone is asked once per process; the window follows the year asked.
TEST_F(ZoneTest, QueriesTheZoneOnceAndFollowsTheYear) {
  class TCountingSource final : public ITimeZoneSource {
  public:
    int queries = 0;
    TimeZoneQuery QueryTimeZone() override {
      ++queries;
      return kEurope;
    }
    int32_t RuntimeOffsetSeconds() override { return -3600; }
  };
  auto source = std::make_shared<TCountingSource>();
  SetTimeZoneSource(source);
  // 2001-03-30 is in daylight time; 2002-03-30 is not (last Sunday is 31st).
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(DaylightHours(Day(2001, 3, 30)), 1);
    EXPECT_EQ(DaylightHours(Day(2002, 3, 30)), 0);
  }
  EXPECT_EQ(source->queries, 1);
}

TEST_F(ZoneTest, ConversionsInWinterAndSummer) {
  struct Case { const char* name; TimeZoneQuery zone; int32_t runtimeOffset; double x; int h; };
  const Case cases[] = {
      {"none", kNoDaylight, -3600, Day(2001, 7, 1) + 0.5, 0},
      {"EU winter", kEurope, -3600, Day(2001, 1, 15) + 0.5, 0},
      {"EU summer", kEurope, -3600, Day(2001, 7, 15) + 10 * kHour + 61 * kSecond, 1},
      {"US winter", kUnitedStates, 18000, Day(2007, 1, 15) + 0.5, 0},
      {"US summer", kUnitedStates, 18000, Day(2007, 7, 15) + 0.25, 1},
  };
  for (const Case& c : cases) {
    Use(c.zone, c.runtimeOffset);
    const double tzHours = c.runtimeOffset / 3600;
    EXPECT_NEAR(PlusOneToUtc(c.x), c.x - (c.h + 1) * kHour, 1e-9) << c.name;
    EXPECT_NEAR(UtcToPlusOne(c.x), c.x + (c.h + 1) * kHour, 1e-9) << c.name;
    EXPECT_NEAR(UtcToLocal(c.x), c.x - (tzHours - c.h) * kHour, 1e-9) << c.name;
    // Six hours earlier whatever the season, and back.
    EXPECT_NEAR(PlusOneToMinusFive(c.x), c.x - 6 * kHour, 1e-9) << c.name;
    EXPECT_NEAR(MinusFiveToPlusOne(PlusOneToMinusFive(c.x)), c.x, 1e-9) << c.name;
  }
}

// Without daylight saving the shift to UTC is exactly one hour, to the bit.
TEST_F(ZoneTest, WithoutDaylightPlusOneToUtcSubtractsExactlyOneHour) {
  Use(kNoDaylight);
  for (double x = 36000.0; x < 36010.0; x += 0.1234) EXPECT_EQ(PlusOneToUtc(x), x - 1 / 24.0);
}

// The stored values must match the established ones to the bit, so the
// UTC-5 shift keeps its three steps: x - 2/24 - 5/24 + 1/24 in summer, which
// is not always the same double as x - 6/24.
TEST_F(ZoneTest, PlusOneToMinusFiveKeepsItsOrderOfOperations) {
  Use(kEurope);
  int differsFromOneStep = 0;
  for (int minute = 0; minute < 24 * 60; ++minute) {
    const double x = Day(2001, 7, 15) + minute / 1440.0;
    const double threeSteps = ((x - 2 / 24.0) - 5 / 24.0) + 1 / 24.0;
    const double r = PlusOneToMinusFive(x);
    EXPECT_EQ(std::memcmp(&r, &threeSteps, sizeof r), 0) << minute;
    if (threeSteps != x - 6 / 24.0) ++differsFromOneStep;
  }
  EXPECT_GT(differsFromOneStep, 0);
}

// Back from UTC-5 the daylight hours are looked up twice, on the UTC-5 value
// and on the UTC value, so the evening before the start day moves by seven
// hours instead of six.
TEST_F(ZoneTest, MinusFiveToPlusOneLooksUpDaylightTwice) {
  Use(kEurope);
  const double start = Day(2001, 3, 25);
  EXPECT_NEAR(MinusFiveToPlusOne(start - 2 * kHour), start + 5 * kHour, 1e-9);
  EXPECT_NEAR(MinusFiveToPlusOne(start - 6 * kHour), start, 1e-9);
}

TEST_F(ZoneTest, UtcToLocalUsesWholeRuntimeHours) {
  // India: 5:30 west of UTC is -19800 s; integer division keeps 5 hours.
  Use(kNoDaylight, -19800);
  EXPECT_NEAR(UtcToLocal(Day(2001, 1, 1)), Day(2001, 1, 1) + 5 * kHour, 1e-9);
}

}  // namespace
}  // namespace vz
