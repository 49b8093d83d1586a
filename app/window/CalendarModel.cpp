#include "app/window/CalendarModel.h"

#include <algorithm>
#include <chrono>

#include "vuzuz/Dates.h"

namespace vz::app {

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

year_month_day Ymd(int year, int month, int day) {
  return year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                        std::chrono::day{static_cast<unsigned>(day)}};
}

int DaysInMonth(int year, int month) {
  const auto last = std::chrono::year_month_day_last{std::chrono::year{year},
                                                     std::chrono::month_day_last{std::chrono::month{
                                                         static_cast<unsigned>(month)}}};
  return static_cast<int>(static_cast<unsigned>(last.day()));
}

bool InYearRange(int year) { return year >= kMinYear && year <= kMaxYear; }

}  // namespace

MonthNames EnglishMonthNames() {
  return {"January", "February", "March",     "April",   "May",      "June",
          "July",    "August",   "September", "October", "November", "December"};
}

TCalendarModel::TCalendarModel(double value) {
  const DateTimeParts parts = DecodeDateTime(value);
  if (parts.year == 0) return;  // no day: the 1970-01-01 00:00 of the members
  year_ = parts.year;
  month_ = parts.month;
  day_ = parts.day;
  hour_ = parts.hour;
  minute_ = parts.minute;
  second_ = parts.second;
}

void TCalendarModel::StepMonths(int months) {
  const int index = year_ * 12 + (month_ - 1) + months;
  const int year = index / 12;
  if (!InYearRange(year)) return;
  year_ = year;
  month_ = index % 12 + 1;
  day_ = std::min(day_, DaysInMonth(year_, month_));
}

void TCalendarModel::PrevMonth() { StepMonths(-1); }
void TCalendarModel::NextMonth() { StepMonths(1); }
void TCalendarModel::PrevYear() { StepMonths(-12); }
void TCalendarModel::NextYear() { StepMonths(12); }

bool TCalendarModel::SelectDay(int year, int month, int day) {
  if (!InYearRange(year) || month < 1 || month > 12 || day < 1 || day > 31) return false;
  if (!Ymd(year, month, day).ok()) return false;
  year_ = year;
  month_ = month;
  day_ = day;
  return true;
}

bool TCalendarModel::MoveDays(int count) {
  const year_month_day moved{sys_days{Ymd(year_, month_, day_)} + days{count}};
  const int year = static_cast<int>(moved.year());
  if (!InYearRange(year)) return false;
  return SelectDay(year, static_cast<int>(static_cast<unsigned>(moved.month())),
                   static_cast<int>(static_cast<unsigned>(moved.day())));
}

void TCalendarModel::SetHour(int hour) { hour_ = std::clamp(hour, 0, 23); }
void TCalendarModel::SetMinute(int minute) { minute_ = std::clamp(minute, 0, 59); }
void TCalendarModel::SetSecond(int second) { second_ = std::clamp(second, 0, 59); }

CalendarGrid TCalendarModel::Grid() const {
  const sys_days first{Ymd(year_, month_, 1)};
  // iso_encoding: Monday 1 ... Sunday 7.
  const unsigned leading = std::chrono::weekday{first}.iso_encoding() - 1;
  const sys_days start = first - days{leading};
  CalendarGrid grid{};
  for (int i = 0; i < kCalendarCells; ++i) {
    const year_month_day date{start + days{i}};
    const int year = static_cast<int>(date.year());
    if (!InYearRange(year)) continue;
    CalendarCell& cell = grid[static_cast<size_t>(i)];
    cell.year = year;
    cell.month = static_cast<int>(static_cast<unsigned>(date.month()));
    cell.day = static_cast<int>(static_cast<unsigned>(date.day()));
    cell.inMonth = cell.year == year_ && cell.month == month_;
  }
  return grid;
}

std::string TCalendarModel::Title(const MonthNames& monthNames) const {
  return monthNames[static_cast<size_t>(month_ - 1)] + ", " + std::to_string(year_);
}

double TCalendarModel::Value() const {
  DateTimeParts parts;
  parts.year = year_;
  parts.month = month_;
  parts.day = day_;
  parts.hour = hour_;
  parts.minute = minute_;
  parts.second = second_;
  double value = kUnixEpochDateTime;
  // Every member is kept within its range, so the encoding cannot fail.
  TryEncodeDateTime(parts, value);
  return value;
}

ScreenPoint CalendarPopupPosition(const ScreenRect& field, const ScreenRect& screen, int width, int height,
                                  int nudge) {
  ScreenPoint at{field.right - width, field.bottom};
  if (at.y - nudge + height > screen.bottom) at.y = field.top - height;
  at.x -= nudge;
  at.y -= nudge;
  at.x = std::max(at.x, screen.left);
  at.y = std::max(at.y, screen.top);
  return at;
}

bool CalendarReopenTooSoon(uint32_t closedAtMs, uint32_t nowMs) {
  // Unsigned difference: right across the counter's wrap-around.
  return nowMs - closedAtMs < kCalendarReopenGuardMs;
}

}  // namespace vz::app
