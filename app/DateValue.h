#pragma once
// Calendar dates as the program's date-time values: days since 1899-12-30,
// the fraction being the time of day. The small set the front end needs to
// read dates from the command line and from archive names.

namespace vz::app {

// The value of a calendar date at 00:00; false when the date does not exist
// (or lies outside years 1 to 9999).
bool TryEncodeDate(int year, int month, int day, double& value);

struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

// The calendar date of a value's day (its integer part, rounded down).
CalendarDate DecodeDate(double value);

// The local date and time now, as a value.
double NowValue();

}  // namespace vz::app
