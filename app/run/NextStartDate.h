#pragma once
// Helpers of the next-start-date search, shared with the export's tests.
#include <string>

namespace vz::app {

// The decimal integer a text holds (an optional sign, then digits); false
// for anything else.
bool TryParseNameInt(const std::string& text, int& value);

// `today`'s date at 00:00 moved back by three calendar months, the day
// reduced to the last day of the target month when that month is shorter.
double ThreeMonthsBefore(double today);

}  // namespace vz::app
