#pragma once
// The calendar pop-up of a date-time field without a toolkit: the month it
// shows with its day grid (weeks from Monday), the title, stepping by month
// and by year, the time of day, the value that OK gives, where the pop-up
// opens next to its field, and the guard against reopening it with the very
// press that closed it.
#include <array>
#include <cstdint>
#include <string>

namespace vz::app {

// Design size in pixels at 96 pixels per inch, and how far the pop-up is
// moved left and up from its place under the field.
inline constexpr int kCalendarWidth = 184;
inline constexpr int kCalendarHeight = 160;
inline constexpr int kCalendarNudge = 2;
// A press of the field's button this soon after the pop-up closed opens
// nothing: it is the press that closed it.
inline constexpr uint32_t kCalendarReopenGuardMs = 250;

inline constexpr int kCalendarWeeks = 6;
inline constexpr int kCalendarCells = kCalendarWeeks * 7;

// One cell of the day grid. Cells before and after the shown month hold the
// neighbouring months' days; cells outside years 1..9999 hold no day.
struct CalendarCell {
  int year = 0;
  int month = 0;
  int day = 0;  // 0: no day
  bool inMonth = false;
};
using CalendarGrid = std::array<CalendarCell, kCalendarCells>;

// Long month names, January first: the user's come from the system; these
// stand in where the system gives none.
using MonthNames = std::array<std::string, 12>;
MonthNames EnglishMonthNames();

class TCalendarModel {
public:
  // Starts at the value's day and time of day (to the second); a value that
  // names no day in years 1..9999 starts at 1970-01-01 00:00.
  explicit TCalendarModel(double value);

  int Year() const { return year_; }
  int Month() const { return month_; }
  int Day() const { return day_; }
  int Hour() const { return hour_; }
  int Minute() const { return minute_; }
  int Second() const { return second_; }

  // Stepping keeps the day, cut to the new month's length; a step past year
  // 1 or 9999 does nothing.
  void PrevMonth();
  void NextMonth();
  void PrevYear();
  void NextYear();
  // Picks a day; one of a neighbouring month shows that month. False (and no
  // change) for a day that does not exist.
  bool SelectDay(int year, int month, int day);
  // Moves the chosen day by a number of days (the arrow keys); false at the
  // ends of years 1..9999.
  bool MoveDays(int days);

  // Out-of-range values are held at the nearest end (hour 0..23, minute and
  // second 0..59).
  void SetHour(int hour);
  void SetMinute(int minute);
  void SetSecond(int second);

  // Six weeks from the Monday on or before the 1st of the shown month.
  CalendarGrid Grid() const;
  // The long month name, ", " and the year.
  std::string Title(const MonthNames& monthNames) const;
  // The chosen day at the chosen hour, minute and second: what OK gives.
  double Value() const;

private:
  void StepMonths(int months);

  int year_ = 1970;
  int month_ = 1;
  int day_ = 1;
  int hour_ = 0;
  int minute_ = 0;
  int second_ = 0;
};

// Screen rectangles in pixels; right and bottom lie just outside.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};
struct ScreenPoint {
  int x = 0;
  int y = 0;
};

// Top-left corner of a pop-up of the given size for a field: just below the
// field with its right edge at the field's right edge, then moved `nudge`
// pixels left and up; above the field when it would reach below the screen's
// bottom; never left of the screen's left edge nor above its top.
ScreenPoint CalendarPopupPosition(const ScreenRect& field, const ScreenRect& screen, int width, int height,
                                  int nudge);

// True when a press at `nowMs` comes too soon after the pop-up closed at
// `closedAtMs` (millisecond tick counts, which wrap around).
bool CalendarReopenTooSoon(uint32_t closedAtMs, uint32_t nowMs);

}  // namespace vz::app
