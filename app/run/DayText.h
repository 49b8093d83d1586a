#pragma once
// Days and months as the program's texts show them to the user (notes, the
// run log, --verify): 2026-11-23 and 2026-11.
#include <string>

namespace vz::app {

// The day of a date-time.
std::string IsoDayText(double dateTime);
// A month counted as year * 12 + month - 1.
std::string IsoMonthText(int month);

}  // namespace vz::app
