#pragma once
// --verify, the comparison of an archive with what the source gives for it:
// every row and every bar, each difference named with its security, day
// and (for bars) the time the MetaStock directory gives the bar.
#include <cstddef>
#include <string>
#include <vector>

#include "vuzuz/OmzTypes.h"

namespace vz::app {

struct Differences {
  std::vector<std::string> first;  // the first `limit` differences, in symbol and time order
  size_t count = 0;                // all of them
};

// Rows of a daily archive against the source's rows for its month.
Differences CompareDailyRows(const std::vector<omz::DailyRow>& archive, const std::vector<omz::DailyRow>& source,
                             size_t limit);

// Ticks of a day archive against the source's ticks for its day. Ticks
// come four to a bar (open, high, low, close) at the bar's minute.
Differences CompareTicks(const std::vector<omz::Tick>& archive, const std::vector<omz::Tick>& source, size_t limit);

}  // namespace vz::app
