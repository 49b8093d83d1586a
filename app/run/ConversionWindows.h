#pragma once
// How a run splits its range so that the bars it keeps at once fit its
// memory budget: consecutive windows of whole months, a month that alone
// does not fit in windows of whole days. The kept bars are estimated from
// each security's record count and the span of its dates, taking its bars
// as spread evenly over that span.
#include <cstdint>
#include <vector>

#include "app/run/Collection.h"
#include "app/run/RunSettings.h"

namespace vz::app {

// What the estimate knows of one security.
struct SecurityEstimate {
  bool intraday = false;
  int64_t records = 0;  // price records of its data file
  double first = 0;     // date-time of its first and last bar; first > last,
  double last = -1;     // or dates it does not know: spread over the range
};

// One window of a run: what the collection keeps, and the months and days
// whose archives the export writes from it.
struct ConversionWindow {
  CollectWindow collect;
  int firstMonth = 0;  // year * 12 + month - 1; firstMonth > lastMonth: none
  int lastMonth = -1;
  int64_t firstDay = 0;  // day numbers of the window's days
  int64_t lastDay = -1;
};

struct WindowPlan {
  std::vector<ConversionWindow> windows;  // one: the whole range in one go
  // Days whose bars alone are estimated beyond the budget: each is
  // converted as a window of its own, over the budget.
  std::vector<int64_t> daysOverBudget;
  int64_t estimatedBytes = 0;  // the whole range's kept bars and their working memory
};

// Estimated bytes of one kept intraday bar and one kept daily row, and of
// one intraday bar of a day while the export packs it.
inline constexpr int64_t kKeptIntradayBarBytes = 32;
inline constexpr int64_t kKeptDailyRowBytes = 24;
inline constexpr int64_t kPackedDayBarBytes = 400;      // four ticks, the day's files, the archive
inline constexpr int64_t kReadBarBytes = 2 * 56;        // one bar read, and its sorting

// Splits the range of `settings` for a budget of `budgetBytes`, with
// `packThreads` days packed at once by the export.
WindowPlan PlanWindows(const TRunSettings& settings, const std::vector<SecurityEstimate>& securities,
                       int64_t budgetBytes, int packThreads);

}  // namespace vz::app
