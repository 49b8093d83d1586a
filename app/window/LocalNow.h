#pragma once
// The local date and time now, as a date-time value (days since 1899-12-30,
// the fraction the time of day): the window's clock for its date range.

namespace vz::app {

double NowValue();

}  // namespace vz::app
