#include "vuzuz/Dates.h"

#include <chrono>
#include <cmath>

namespace vz {

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr sys_days kEpoch = sys_days{std::chrono::year{1899} / 12 / 30};
constexpr int64_t kMillisecondsPerDay = kSecondsPerDay * 1000;

// Day numbers of 0001-01-01 and 9999-12-31: the range that decodes.
constexpr int64_t kFirstDay = (sys_days{std::chrono::year{kMinYear} / 1 / 1} - kEpoch).count();
constexpr int64_t kLastDay = (sys_days{std::chrono::year{kMaxYear} / 12 / 31} - kEpoch).count();

// Joins a day number and a time of day the way date-time values do: the
// fraction counts forward from the day's midnight, also for negative days.
double JoinDayAndTime(int64_t day, double time) {
  const double d = static_cast<double>(day);
  return day >= 0 ? d + time : d - time;
}

}  // namespace

bool TryEncodeDate(int year, int month, int day, double& value) {
  if (year < kMinYear || year > kMaxYear || month < 1 || month > 12 || day < 1 || day > 31) {
    return false;
  }
  const year_month_day ymd{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                           std::chrono::day{static_cast<unsigned>(day)}};
  if (!ymd.ok()) return false;
  value = static_cast<double>((sys_days{ymd} - kEpoch).count());
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, double& value) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return false;
  }
  const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  value = static_cast<double>(ms) / static_cast<double>(kMillisecondsPerDay);
  return true;
}

bool TryEncodeDateTime(const DateTimeParts& parts, double& value) {
  double date = 0;
  double time = 0;
  if (!TryEncodeDate(parts.year, parts.month, parts.day, date)) return false;
  if (!TryEncodeTime(parts.hour, parts.minute, parts.second, parts.millisecond, time)) return false;
  value = JoinDayAndTime(static_cast<int64_t>(date), time);
  return true;
}

DateTimeParts DecodeDateTime(double value) {
  DateTimeParts parts;
  if (!std::isfinite(value)) return parts;
  const double whole = std::trunc(value);
  if (whole < static_cast<double>(kFirstDay) || whole > static_cast<double>(kLastDay)) return parts;
  int64_t day = static_cast<int64_t>(whole);
  // value - whole is exact: both share the exponent range of value.
  int64_t ms = std::llround(std::fabs(value - whole) * static_cast<double>(kMillisecondsPerDay));
  if (ms >= kMillisecondsPerDay) {
    ms -= kMillisecondsPerDay;
    ++day;
    if (day > kLastDay) return DateTimeParts{};
  }
  const year_month_day ymd{kEpoch + days{day}};
  parts.year = static_cast<int>(ymd.year());
  parts.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  parts.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  parts.millisecond = static_cast<int>(ms % 1000);
  const int64_t seconds = ms / 1000;
  parts.second = static_cast<int>(seconds % 60);
  parts.minute = static_cast<int>(seconds / 60 % 60);
  parts.hour = static_cast<int>(seconds / 3600);
  return parts;
}

int64_t DayNumber(double value) {
  if (!std::isfinite(value)) return 0;
  // Clamp far outside any calendar so the conversion stays defined.
  constexpr double kLimit = 1e15;
  if (value > kLimit) return static_cast<int64_t>(kLimit);
  if (value < -kLimit) return static_cast<int64_t>(-kLimit);
  return static_cast<int64_t>(std::trunc(value));
}

int DayOfWeek(double value) {
  // Day 0, 1899-12-30, was a Saturday.
  const int64_t day = DayNumber(value);
  return static_cast<int>(((day % 7) + 7 + 6) % 7);
}

int YearOf(double value) {
  if (!std::isfinite(value)) return 0;
  const int64_t day = DayNumber(value);
  if (day < kFirstDay || day > kLastDay) return 0;
  return static_cast<int>(year_month_day{kEpoch + days{day}}.year());
}

double UnixSecondsToDateTime(int64_t seconds) {
  int64_t day = seconds / kSecondsPerDay;
  int64_t rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --day;
  }
  return JoinDayAndTime(day + static_cast<int64_t>(kUnixEpochDateTime),
                        static_cast<double>(rest) / static_cast<double>(kSecondsPerDay));
}

int64_t DateTimeToUnixSeconds(double value) {
  const int64_t day = DayNumber(value);
  const double fraction = std::fabs(value - static_cast<double>(day));
  const int64_t seconds = std::llround(fraction * static_cast<double>(kSecondsPerDay));
  return (day - static_cast<int64_t>(kUnixEpochDateTime)) * kSecondsPerDay + seconds;
}

double FirstOfMonth(double x) {
  const int64_t day = DayNumber(x);
  if (day < kFirstDay || day > kLastDay) return std::trunc(x);
  const year_month_day ymd{kEpoch + days{day}};
  return static_cast<double>((sys_days{ymd.year() / ymd.month() / 1} - kEpoch).count());
}

double LastOfMonth(double x) {
  const int64_t day = DayNumber(x);
  if (day < kFirstDay || day > kLastDay) return std::trunc(x);
  const year_month_day ymd{kEpoch + days{day}};
  const auto next = ymd.year() / ymd.month() / 1 + std::chrono::months{1};
  return static_cast<double>((sys_days{next} - kEpoch).count() - 1);
}

}  // namespace vz
