#include "app/run/ConversionWindows.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "vuzuz/Dates.h"

namespace vz::app {

namespace {

// Months as year * 12 + month - 1.
int MonthOf(int64_t day) {
  const DateTimeParts parts = DecodeDateTime(static_cast<double>(day));
  return parts.year * 12 + parts.month - 1;
}

int64_t FirstDayOfMonth(int month) {
  double value = 0;
  TryEncodeDate(month / 12, month % 12 + 1, 1, value);
  return DayNumber(value);
}

// Bytes per day of the range: the intraday bars kept on each day, and the
// daily rows of each month (charged to the month's first day in the range,
// where the window that keeps them begins).
struct DayCosts {
  std::vector<double> intraday;      // per day of the range
  std::vector<double> dailyOfMonth;  // per day of the range; nonzero on a month's first day in the range
  double largestDayBars = 0;         // intraday bars of the fullest day
  int64_t largestSecurityRecords = 0;
};

DayCosts EstimateDays(const TRunSettings& settings, const std::vector<SecurityEstimate>& securities, int64_t day0,
                      int64_t day1) {
  const size_t days = static_cast<size_t>(day1 - day0 + 1);
  DayCosts costs;
  costs.intraday.assign(days, 0.0);
  costs.dailyOfMonth.assign(days, 0.0);
  std::vector<double> change(days + 1, 0.0);  // intraday bars per day, as differences
  const int64_t dailyLow = DayNumber(FirstOfMonth(settings.from));
  const int64_t dailyHigh = DayNumber(LastOfMonth(settings.to));
  for (const SecurityEstimate& s : securities) {
    if (s.records <= 0) continue;
    costs.largestSecurityRecords = std::max(costs.largestSecurityRecords, s.records);
    const bool known = s.first <= s.last;
    int64_t a = known ? DayNumber(s.first) : (s.intraday ? day0 : dailyLow);
    int64_t b = known ? DayNumber(s.last) : (s.intraday ? day1 : dailyHigh);
    const double perDay = static_cast<double>(s.records) / static_cast<double>(b - a + 1);
    if (s.intraday) {
      a = std::max(a, day0);
      b = std::min(b, day1);
      if (a > b) continue;
      change[static_cast<size_t>(a - day0)] += perDay;
      change[static_cast<size_t>(b - day0 + 1)] -= perDay;
    } else {
      a = std::max(a, dailyLow);
      b = std::min(b, dailyHigh);
      // Each month's rows go to the month's first day in the range.
      for (int64_t d = a; d <= b;) {
        const int64_t monthEnd = DayNumber(LastOfMonth(static_cast<double>(d)));
        const int64_t end = std::min(b, monthEnd);
        const int64_t charged = std::max(day0, FirstDayOfMonth(MonthOf(d)));
        if (charged <= day1) costs.dailyOfMonth[static_cast<size_t>(charged - day0)] +=
                               perDay * static_cast<double>(end - d + 1) * kKeptDailyRowBytes;
        d = end + 1;
      }
    }
  }
  double running = 0;
  for (size_t i = 0; i < days; ++i) {
    running += change[i];
    costs.intraday[i] = running * kKeptIntradayBarBytes;
    costs.largestDayBars = std::max(costs.largestDayBars, running);
  }
  return costs;
}

}  // namespace

WindowPlan PlanWindows(const TRunSettings& settings, const std::vector<SecurityEstimate>& securities,
                       int64_t budgetBytes, int packThreads) {
  WindowPlan plan;
  ConversionWindow whole;
  whole.collect = WholeRangeWindow(settings);
  whole.firstMonth = MonthOf(DayNumber(settings.from));
  whole.lastMonth = MonthOf(DayNumber(settings.to));
  whole.firstDay = DayNumber(settings.from);
  whole.lastDay = DayNumber(settings.to);
  const int64_t day0 = whole.firstDay, day1 = whole.lastDay;
  // A range that is no range, or one beyond any calendar: one window.
  if (!(settings.from <= settings.to) || day1 - day0 > 400000 || YearOf(settings.from) == 0 ||
      YearOf(settings.to) == 0) {
    plan.windows.push_back(whole);
    return plan;
  }
  const DayCosts costs = EstimateDays(settings, securities, day0, day1);
  // What does not grow with the window: the largest security's bars while
  // they are read, and the days the export gathers and packs at once.
  const double inFlightDays = std::max(1, packThreads) + 1.0;
  const double fixed = static_cast<double>(costs.largestSecurityRecords) * kReadBarBytes +
                       costs.largestDayBars * kPackedDayBarBytes * inFlightDays;
  const double capacity = static_cast<double>(budgetBytes) - fixed;
  double total = fixed;
  for (size_t i = 0; i < costs.intraday.size(); ++i) total += costs.intraday[i] + costs.dailyOfMonth[i];
  plan.estimatedBytes = static_cast<int64_t>(std::min(total, 9e18));
  if (total <= static_cast<double>(budgetBytes)) {
    plan.windows.push_back(whole);
    return plan;
  }

  std::vector<double> before(costs.intraday.size() + 1, 0.0);  // bytes of the days before each
  for (size_t i = 0; i < costs.intraday.size(); ++i)
    before[i + 1] = before[i] + costs.intraday[i] + costs.dailyOfMonth[i];
  auto cost = [&](int64_t a, int64_t b) {  // days [a, b] of the range
    return before[static_cast<size_t>(b - day0 + 1)] - before[static_cast<size_t>(a - day0)];
  };
  auto add = [&](int64_t a, int64_t b, bool ownsMonths) {
    ConversionWindow w;
    w.firstDay = a;
    w.lastDay = b;
    w.collect.from = a == day0 ? -std::numeric_limits<double>::infinity() : static_cast<double>(a);
    w.collect.before = b == day1 ? std::numeric_limits<double>::infinity() : static_cast<double>(b + 1);
    if (ownsMonths) {
      w.firstMonth = MonthOf(a);
      w.lastMonth = MonthOf(b);
      w.collect.dailyLow = static_cast<double>(FirstDayOfMonth(w.firstMonth));
      w.collect.dailyBefore = LastOfMonth(static_cast<double>(b)) + 1;
    }
    plan.windows.push_back(w);
  };
  // Whole months while they fit; a month that does not fit alone goes in
  // runs of whole days, the first of which keeps the month's daily rows.
  int64_t start = day0;
  while (start <= day1) {
    int64_t end = std::min(day1, DayNumber(LastOfMonth(static_cast<double>(start))));
    if (cost(start, end) > capacity) {
      // Days of this month, as many as fit in each window.
      const int64_t monthEnd = end;
      bool first = true;
      int64_t a = start;
      while (a <= monthEnd) {
        int64_t b = a;
        if (cost(a, a) > capacity) plan.daysOverBudget.push_back(a);
        while (b < monthEnd && cost(a, b + 1) <= capacity) ++b;
        add(a, b, first);
        first = false;
        a = b + 1;
      }
      start = monthEnd + 1;
      continue;
    }
    while (end < day1) {
      const int64_t nextEnd = std::min(day1, DayNumber(LastOfMonth(static_cast<double>(end + 1))));
      if (cost(start, nextEnd) > capacity) break;
      end = nextEnd;
    }
    add(start, end, true);
    start = end + 1;
  }
  return plan;
}

}  // namespace vz::app
