// The memory budget and how a range is split into windows for it.
#include <gtest/gtest.h>

#include "app/run/ConversionWindows.h"
#include "app/run/MemoryBudget.h"
#include "StagesFakes.h"
#include "vuzuz/Dates.h"

namespace vz::app {
namespace {

using test::DateValue;

TEST(MemoryBudget, DefaultIsAQuarterOfTheMemoryBetweenTheFloorAndTwoGiB) {
  const struct {
    uint64_t physical;
    int64_t budget;
  } cases[] = {
      {0, 2048 * kMiB},                       // unknown: the cap
      {uint64_t{4} << 30, 1024 * kMiB},       // 4 GiB
      {uint64_t{24} << 30, 2048 * kMiB},      // a quarter would be 6 GiB
      {uint64_t{128} << 20, 64 * kMiB},       // a quarter would be 32 MiB
  };
  for (const auto& c : cases) EXPECT_EQ(DefaultMemoryBudgetBytes(c.physical), c.budget) << c.physical;
  TRunSettings settings;
  settings.memoryBudgetMiB = 10;
  EXPECT_EQ(MemoryBudgetBytes(settings), 64 * kMiB);
  settings.memoryBudgetMiB = 300;
  EXPECT_EQ(MemoryBudgetBytes(settings), 300 * kMiB);
  settings.memoryBudgetBytes = 1000;  // the tests' exact budget has no floor
  EXPECT_EQ(MemoryBudgetBytes(settings), 1000);
}

struct Plan : testing::Test {
  TRunSettings settings;
  std::vector<SecurityEstimate> securities;
  Plan() {
    settings.from = DateValue(2025, 11, 15, 12, 0);
    settings.to = DateValue(2026, 3, 10, 23, 59);
    // 100 intraday securities of 100 bars a day over the range, and a
    // daily one over years.
    for (int i = 0; i < 100; ++i) {
      SecurityEstimate e;
      e.intraday = true;
      e.first = DateValue(2025, 11, 1);
      e.last = DateValue(2026, 3, 31);
      e.records = static_cast<int64_t>((e.last - e.first + 1) * 100);
      securities.push_back(e);
    }
    SecurityEstimate d;
    d.records = 2000;
    d.first = DateValue(2020, 1, 1);
    d.last = DateValue(2027, 1, 1);
    securities.push_back(d);
  }

  // The windows are consecutive, cover the range, and own every month of
  // the range's daily rows once.
  void CheckCover(const WindowPlan& plan) {
    ASSERT_FALSE(plan.windows.empty());
    EXPECT_EQ(plan.windows.front().firstDay, DayNumber(settings.from));
    EXPECT_EQ(plan.windows.back().lastDay, DayNumber(settings.to));
    int nextMonth = plan.windows.front().firstMonth;
    for (size_t w = 0; w < plan.windows.size(); ++w) {
      const ConversionWindow& window = plan.windows[w];
      EXPECT_LE(window.firstDay, window.lastDay);
      if (w > 0) {
        EXPECT_EQ(window.firstDay, plan.windows[w - 1].lastDay + 1);
        EXPECT_EQ(window.collect.from, static_cast<double>(window.firstDay));
      }
      if (window.firstMonth <= window.lastMonth) {
        EXPECT_EQ(window.firstMonth, nextMonth);
        EXPECT_EQ(window.collect.dailyLow, FirstOfMonth(window.firstDay));
        nextMonth = window.lastMonth + 1;
      } else {
        EXPECT_EQ(window.collect.dailyLow, window.collect.dailyBefore);  // keeps no daily rows
      }
    }
    const DateTimeParts last = DecodeDateTime(settings.to);
    EXPECT_EQ(nextMonth, last.year * 12 + last.month);
  }
};

TEST_F(Plan, OneWindowWhenTheBarsFitAndWholeMonthsOrDaysWhenNot) {
  // 10,000 bars a day of 32 bytes: some 9 MiB a month, and some 13 MiB that
  // do not grow with the window (a security read, the days being packed).
  const WindowPlan one = PlanWindows(settings, securities, 1 << 30, 2);
  ASSERT_EQ(one.windows.size(), 1u);
  CheckCover(one);

  const WindowPlan months = PlanWindows(settings, securities, 40 * kMiB, 2);
  CheckCover(months);
  EXPECT_GT(months.windows.size(), 1u);
  EXPECT_LT(months.windows.size(), 5u);
  for (const ConversionWindow& w : months.windows) {
    EXPECT_LE(w.firstMonth, w.lastMonth);  // whole months: each owns its months
    if (w.firstDay != DayNumber(settings.from)) EXPECT_EQ(FirstOfMonth(w.firstDay), w.firstDay);
  }
  EXPECT_TRUE(months.daysOverBudget.empty());

  const WindowPlan days = PlanWindows(settings, securities, 18 * kMiB, 2);
  CheckCover(days);
  EXPECT_GT(days.windows.size(), 5u);
  EXPECT_TRUE(days.daysOverBudget.empty());

  const WindowPlan tiny = PlanWindows(settings, securities, 1, 2);
  CheckCover(tiny);
  EXPECT_EQ(tiny.windows.size(), static_cast<size_t>(DayNumber(settings.to) - DayNumber(settings.from) + 1));
  EXPECT_EQ(tiny.daysOverBudget.size(), tiny.windows.size());
}

}  // namespace
}  // namespace vz::app
