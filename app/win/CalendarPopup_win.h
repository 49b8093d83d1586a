#pragma once
// The calendar pop-up of a date-time field: a borderless window under the
// field (above it near the screen's bottom) with the month, its day grid and
// the time of day, from which the user picks a new value for the field.
#include <windows.h>

namespace vz::app {

// Shows the pop-up for `field`, starting at `value`, and waits until it
// closes. True when the user chose OK, `value` then holding the chosen day at
// the chosen hour, minute and second; false for Cancel, Escape, a click
// outside, and for a press that comes within 250 ms of the pop-up last
// closing (the press that closed it), which opens nothing. Either way the
// focus returns to the field. Runs on the field's thread.
bool ShowCalendarPopup(HWND field, double& value);

// What tests and tools find the pop-up by: its window class, its window text
// (the month title it shows) and the identifiers of its controls.
inline constexpr wchar_t kCalendarPopupClass[] = L"VzCalendarPopup";
enum CalendarPopupControl : int {
  kCalendarPrevYear = 101,
  kCalendarPrevMonth = 102,
  kCalendarNextMonth = 103,
  kCalendarNextYear = 104,
  kCalendarDays = 105,
  kCalendarHour = 106,
  kCalendarMinute = 107,
  kCalendarSecond = 108,
};

}  // namespace vz::app
