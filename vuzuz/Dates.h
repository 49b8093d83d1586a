#pragma once
// Date-time values and the small date and time services of the archive
// output: the text parsers for date-times and periods, month bounds, the
// daylight-saving window of the machine's time zone and the conversions
// between the UTC+1 clock (MetaStock data), UTC, the UTC-5 clock (times
// stored in the Vuzuz files) and the local clock (GlobalServer's wizards).
//
// A date-time value is a double counting days since 1899-12-30 00:00; its
// fraction is the time of day. The day number of a value is its integer part,
// truncated toward zero.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/TimeZone.h"

namespace vz {

// ---------------------------------------------------------------------------
// Encoding and decoding (exact calendar arithmetic, proleptic Gregorian).

inline constexpr double kUnixEpochDateTime = 25569.0;  // 1970-01-01 00:00
inline constexpr int64_t kSecondsPerDay = 86400;
inline constexpr int kMinYear = 1;
inline constexpr int kMaxYear = 9999;

struct DateTimeParts {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Day number (days since 1899-12-30) of a calendar date; false when the date
// does not exist or its year lies outside kMinYear..kMaxYear.
bool TryEncodeDate(int year, int month, int day, double& value);
// The value of a time of day (fraction of a day); false when out of range
// (hour 0..23, minute and second 0..59, millisecond 0..999).
bool TryEncodeTime(int hour, int minute, int second, int millisecond, double& value);
// Date plus time; false when either part is invalid.
bool TryEncodeDateTime(const DateTimeParts& parts, double& value);

// Calendar date and time of a value, to the nearest millisecond (a time that
// rounds to 24:00 becomes 00:00 of the next day). For negative values the
// fraction counts forward from the day's midnight, as the value's integer
// part names the day. Values outside years 1..9999 (or not finite) decode to
// all-zero parts.
DateTimeParts DecodeDateTime(double value);

// Day number: integer part of the value, truncated toward zero.
int64_t DayNumber(double value);
// Weekday of the value's day, Sunday = 0 ... Saturday = 6.
int DayOfWeek(double value);
// Calendar year of the value's day (0 when it cannot be decoded).
int YearOf(double value);

// Seconds since 1970-01-01 00:00 as a value, and back (rounded to the
// nearest second).
double UnixSecondsToDateTime(int64_t seconds);
int64_t DateTimeToUnixSeconds(double value);

// ---------------------------------------------------------------------------
// Month bounds.

// Midnight of the first day of the value's year and month.
double FirstOfMonth(double x);
// Midnight of the last day of the value's month: FirstOfMonth moved on by
// one calendar month, minus one day.
double LastOfMonth(double x);

// ---------------------------------------------------------------------------
// Text parsers. Failures are reported through ShowError.

enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

// The user's date and time conventions that the date-time parser reads.
struct DateTimeFormat {
  DateOrder order = DateOrder::MonthDayYear;
  char dateSeparator = '/';
  char timeSeparator = ':';
  std::string amDesignator = "AM";
  std::string pmDesignator = "PM";
};

// The conventions used by ParseDateTimeText and FormatDateTimeText; the
// front end installs the user's. Not locked: set before a run starts.
void SetDateTimeFormat(const DateTimeFormat& format);
const DateTimeFormat& CurrentDateTimeFormat();

// Reads a date-time typed as text. Empty text gives 25569.0 (1970-01-01).
// Otherwise tried in this order: date with time, date alone, time alone (day
// number 0). On failure shows "'<text>' is not valid date/time." and gives 0.0.
double ParseDateTimeText(std::string_view text);
// The same parse without any message: false when the text is no date-time.
bool TryParseDateTimeText(std::string_view text, const DateTimeFormat& format, double& value);
// Text of a value in the current format: the date, then " " and the time
// (h:mm:ss) unless the time is midnight. ParseDateTimeText reads it back.
std::string FormatDateTimeText(double value);

// Period codes for periods given in months and in years.
inline constexpr int32_t kPeriodMonths = -60;
inline constexpr int32_t kPeriodYears = -120;

// Reads a period: an empty text is 0; D/H/M + integer give days, hours,
// minutes in seconds; N and Y (+ integer, not kept) give kPeriodMonths and
// kPeriodYears; any other text is read whole as seconds. On failure shows
// "Invalid period: '<text>'." and returns false with `out` unchanged.
bool ParsePeriod(std::string_view text, int32_t& out);
// The same reading without a message, for callers that report on their own.
bool TryParsePeriod(std::string_view text, int32_t& out);

// ---------------------------------------------------------------------------
// Time zone and clocks.

// Where the daylight-saving decisions take the machine's time zone from. The
// platform source is used unless a test installs another.
class ITimeZoneSource {
public:
  virtual ~ITimeZoneSource() = default;
  // The time-zone query: result code and record.
  virtual platform::TimeZoneQuery QueryTimeZone() = 0;
  // The C runtime's standard-time offset, seconds west of UTC.
  virtual int32_t RuntimeOffsetSeconds() = 0;
};

// Source that answers with fixed values (tests, tools).
class TFixedTimeZoneSource final : public ITimeZoneSource {
public:
  TFixedTimeZoneSource(const platform::TimeZoneQuery& query, int32_t runtimeOffsetSeconds)
      : query_(query), runtimeOffsetSeconds_(runtimeOffsetSeconds) {}
  platform::TimeZoneQuery QueryTimeZone() override { return query_; }
  int32_t RuntimeOffsetSeconds() override { return runtimeOffsetSeconds_; }

private:
  platform::TimeZoneQuery query_;
  int32_t runtimeOffsetSeconds_;
};

// Installs a source (nullptr: the platform's) and empties the process-wide
// zone cache so the next DaylightHours call queries it again. Returns the
// source it replaces (nullptr when that was the platform's).
std::shared_ptr<ITimeZoneSource> SetTimeZoneSource(std::shared_ptr<ITimeZoneSource> source);

// Midnight of the day a month / n-th weekday rule entry names in the year of
// x (wDay 5 = last such weekday; no qualifying day gives the month's first).
double TransitionDate(const platform::ZoneDate& entry, double x);

// Daylight-saving hours in effect at x: |DaylightBias| / 60 when x lies
// strictly inside this year's daylight window, else 0. The zone is queried
// once per process; the window is recomputed when the year changes. Not
// thread-safe.
int DaylightHours(double x);

double PlusOneToUtc(double x);
double UtcToPlusOne(double x);
double UtcToLocal(double x);
double PlusOneToMinusFive(double x);
double MinusFiveToPlusOne(double x);

}  // namespace vz
