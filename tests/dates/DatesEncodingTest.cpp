#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "vuzuz/Dates.h"

namespace vz {
namespace {

using namespace std::chrono;

constexpr sys_days kEpoch = sys_days{year{1899} / 12 / 30};

double Date(int y, int m, int d) {
  double v = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, v)) << y << "-" << m << "-" << d;
  return v;
}

// Every day of years 1 to 9999, each with a different time of day: encoding,
// decoding, weekday, year, month bounds and the text form agree with the
// calendar of std::chrono.
TEST(DateTimeEncoding, RoundTripsEveryDayOfYears1To9999) {
  const sys_days first = sys_days{year{1} / 1 / 1};
  const sys_days last = sys_days{year{9999} / 12 / 31};
  int failures = 0;
  for (sys_days day = first; day <= last && failures < 10; day += days{1}) {
    const year_month_day ymd{day};
    const int y = static_cast<int>(ymd.year());
    const int m = static_cast<int>(static_cast<unsigned>(ymd.month()));
    const int d = static_cast<int>(static_cast<unsigned>(ymd.day()));
    const int64_t number = (day - kEpoch).count();

    double encoded = -1;
    bool ok = TryEncodeDate(y, m, d, encoded) && encoded == static_cast<double>(number);

    // A time of day that walks through the whole day in odd steps.
    const int64_t msOfDay = ((number * 7919 + 1234567) % 86400000 + 86400000) % 86400000;
    DateTimeParts parts{y, m, d, static_cast<int>(msOfDay / 3600000), static_cast<int>(msOfDay / 60000 % 60),
                        static_cast<int>(msOfDay / 1000 % 60), static_cast<int>(msOfDay % 1000)};
    double value = 0;
    ok = ok && TryEncodeDateTime(parts, value);
    const DateTimeParts back = DecodeDateTime(value);
    ok = ok && back.year == y && back.month == m && back.day == d && back.hour == parts.hour &&
         back.minute == parts.minute && back.second == parts.second && back.millisecond == parts.millisecond;
    ok = ok && DayNumber(value) == number;
    ok = ok && DayOfWeek(value) == static_cast<int>(weekday{day}.c_encoding());
    ok = ok && YearOf(value) == y;

    const double firstOfMonth = static_cast<double>((sys_days{ymd.year() / ymd.month() / 1} - kEpoch).count());
    const double lastOfMonth = static_cast<double>((sys_days{year_month_day_last{ymd.year(), month_day_last{ymd.month()}}} - kEpoch).count());
    ok = ok && FirstOfMonth(value) == firstOfMonth && LastOfMonth(value) == lastOfMonth;

    // The text form reads back to the same second.
    double parsed = 0;
    const std::string text = FormatDateTimeText(value);
    ok = ok && TryParseDateTimeText(text, CurrentDateTimeFormat(), parsed) &&
         DecodeDateTime(parsed).second == parts.second && DayNumber(parsed) == number;
    if (!ok) {
      ++failures;
      ADD_FAILURE() << "day " << y << "-" << m << "-" << d << " number " << number << " text " << text;
    }
  }
}

TEST(DateTimeEncoding, KnownDayNumbers) {
  EXPECT_EQ(Date(1899, 12, 30), 0.0);
  EXPECT_EQ(Date(1970, 1, 1), kUnixEpochDateTime);
  EXPECT_EQ(Date(2000, 2, 29), 36585.0);
  EXPECT_EQ(Date(1899, 12, 29), -1.0);
}

TEST(DateTimeEncoding, RejectsDatesAndTimesThatDoNotExist) {
  struct Case { int y, m, d; };
  for (const Case c : {Case{2001, 2, 29}, Case{1900, 2, 29}, Case{2001, 4, 31}, Case{2001, 13, 1},
                       Case{2001, 0, 1}, Case{2001, 1, 0}, Case{0, 1, 1}, Case{10000, 1, 1}}) {
    double v = 123.0;
    EXPECT_FALSE(TryEncodeDate(c.y, c.m, c.d, v)) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(v, 123.0);
  }
  double t = 0;
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, t));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, t));
  EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, t));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, t));
}

TEST(DateTimeEncoding, DecodesNegativeValuesWithTimeCountingForward) {
  // -1.25: the day before day 0, at 06:00.
  const DateTimeParts p = DecodeDateTime(-1.25);
  EXPECT_EQ(p.year, 1899);
  EXPECT_EQ(p.month, 12);
  EXPECT_EQ(p.day, 29);
  EXPECT_EQ(p.hour, 6);
  double v = 0;
  ASSERT_TRUE(TryEncodeDateTime(DateTimeParts{1899, 12, 29, 6, 0, 0, 0}, v));
  EXPECT_EQ(v, -1.25);
}

TEST(DateTimeEncoding, TimeRoundingToMidnightCarriesIntoNextDay) {
  const double v = Date(2001, 12, 31) + (86400000.0 - 0.4) / 86400000.0;
  const DateTimeParts p = DecodeDateTime(v);
  EXPECT_EQ(p.year, 2002);
  EXPECT_EQ(p.month, 1);
  EXPECT_EQ(p.day, 1);
  EXPECT_EQ(p.hour, 0);
  EXPECT_EQ(YearOf(v), 2001);  // the day itself is still the 31st
}

TEST(DateTimeEncoding, OutOfRangeAndNonFiniteValuesDecodeToZeroParts) {
  for (const double v : {1e300, -1e300, std::nan(""), 2958466.0, -693594.0}) {
    const DateTimeParts p = DecodeDateTime(v);
    EXPECT_EQ(p.year, 0) << v;
    EXPECT_EQ(p.month, 0) << v;
    EXPECT_EQ(YearOf(v), 0) << v;
  }
}

TEST(DateTimeEncoding, UnixSecondsBothWays) {
  struct Case { int64_t seconds; double value; };
  for (const Case c : {Case{0, 25569.0}, Case{86400 + 43200, 25570.5}, Case{-86400, 25568.0},
                       Case{-43200, 25568.5}}) {
    EXPECT_EQ(UnixSecondsToDateTime(c.seconds), c.value) << c.seconds;
    EXPECT_EQ(DateTimeToUnixSeconds(c.value), c.seconds) << c.seconds;
  }
  // A value a little off a whole second rounds to it.
  EXPECT_EQ(DateTimeToUnixSeconds(25569.0 + 59.9999 / 86400.0), 60);
}

TEST(MonthBounds, FebruaryAndTimeOfDay) {
  struct Case { double x; double first; double last; };
  for (const Case c : {Case{Date(2001, 2, 14) + 0.75, Date(2001, 2, 1), Date(2001, 2, 28)},
                       Case{Date(2000, 2, 29) + 0.5, Date(2000, 2, 1), Date(2000, 2, 29)},
                       Case{Date(2001, 12, 31) + 0.999, Date(2001, 12, 1), Date(2001, 12, 31)}}) {
    EXPECT_EQ(FirstOfMonth(c.x), c.first);
    EXPECT_EQ(LastOfMonth(c.x), c.last);
  }
}

}  // namespace
}  // namespace vz
