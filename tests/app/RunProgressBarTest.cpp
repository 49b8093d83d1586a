#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/window/RunProgressBar.h"

namespace vz::app {
namespace {

TEST(ProgressPosition, MapsCountsOntoTheBar) {
  struct Case {
    int64_t done, total;
    int position;
  };
  const Case cases[] = {
      {0, 250, 0},
      {1, 3, 333},
      {2, 3, 666},  // rounded down: full only when the stage is
      {249, 250, 996},
      {250, 250, kProgressRange},
      {0, 0, kProgressRange},   // nothing to count: complete
      {5, 0, kProgressRange},
      {-4, 10, 0},              // out of range either way: on the bar's ends
      {12, 10, kProgressRange},
      {INT64_MAX / 2, INT64_MAX, 500},  // no overflow on huge counts
      {INT64_MAX - 1, INT64_MAX, 999},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressPosition(c.done, c.total), c.position) << c.done << "/" << c.total;
}

TEST(TRunProgressBar, ShowsFromTheFirstCountUntilTheRunEnds) {
  TRunProgressBar bar;
  EXPECT_FALSE(bar.End()) << "a run that never counted has no bar to remove";
  EXPECT_FALSE(bar.Shown().visible);

  EXPECT_TRUE(bar.Count(0, 4000));
  EXPECT_EQ(bar.Shown(), (ProgressShown{true, 0}));
  // Securities read below one step of the bar change nothing shown.
  EXPECT_FALSE(bar.Count(3, 4000));
  EXPECT_TRUE(bar.Count(4, 4000));
  EXPECT_EQ(bar.Shown().position, 1);
  EXPECT_TRUE(bar.Count(4000, 4000));
  EXPECT_EQ(bar.Shown().position, kProgressRange);
  // The next stage starts the bar again.
  EXPECT_TRUE(bar.Count(0, 30));
  EXPECT_EQ(bar.Shown(), (ProgressShown{true, 0}));

  EXPECT_TRUE(bar.End());
  EXPECT_EQ(bar.Shown(), ProgressShown{});
  EXPECT_FALSE(bar.End());
  // A later run shows it again from its first count.
  EXPECT_TRUE(bar.Count(0, 30));
  EXPECT_TRUE(bar.Shown().visible);
}

TEST(TRunProgressBar, RedrawsOnlyAtStepsOfTheBar) {
  // A day-by-day stage over 40 years: about 15,000 counts, at most one
  // redraw per step of the bar.
  TRunProgressBar bar;
  const int64_t days = 40 * 365;
  int redraws = 0;
  for (int64_t d = 0; d <= days; ++d) redraws += bar.Count(d, days) ? 1 : 0;
  EXPECT_EQ(redraws, kProgressRange + 1);
}

}  // namespace
}  // namespace vz::app
