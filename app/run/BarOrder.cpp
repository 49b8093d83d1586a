#include "app/run/BarOrder.h"

#include <algorithm>

namespace vz::app {

BarOrderCounts SortBarsByTime(std::vector<BarEntry>& bars) {
  BarOrderCounts counts;
  if (bars.empty()) return counts;
  int64_t latest = bars.front().time;
  for (const BarEntry& bar : bars) {
    if (bar.time < latest) ++counts.reordered;
    latest = std::max(latest, bar.time);
  }
  if (counts.reordered > 0)
    std::stable_sort(bars.begin(), bars.end(), [](const BarEntry& a, const BarEntry& b) { return a.time < b.time; });
  for (size_t i = 1; i < bars.size(); ++i)
    if (bars[i].time == bars[i - 1].time) ++counts.repeats;
  return counts;
}

}  // namespace vz::app
