#pragma once
// Puts a security's bars in time order before the collection's keep rule
// ("later than the bar before"), so that a file whose bars are out of order
// (repeated blocks, days appended late) gives every distinct bar once and
// each day's ticks rising, instead of losing bars and repeating others.
#include <cstddef>
#include <vector>

#include "app/run/AnalysisSource.h"

namespace vz::app {

struct BarOrderCounts {
  size_t reordered = 0;  // bars earlier than a bar before them in the file
  size_t repeats = 0;    // bars with the same time as the bar before them once sorted
};

// Sorts by time, stably: of bars with the same time the one first in the
// file stays first, and is the one the keep rule keeps. A file already in
// time order is left as it is.
BarOrderCounts SortBarsByTime(std::vector<BarEntry>& bars);

}  // namespace vz::app
