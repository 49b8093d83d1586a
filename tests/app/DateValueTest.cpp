#include <gtest/gtest.h>

#include "app/DateValue.h"

namespace vz::app {
namespace {

TEST(DateValue, EncodesKnownDaysAndRejectsMissingOnes) {
  struct Case {
    int y, m, d;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {1899, 12, 30, true, 0},     {1970, 1, 1, true, 25569},  {2000, 1, 1, true, 36526},
      {2000, 2, 29, true, 36585},  {2099, 12, 31, true, 73050}, {2001, 2, 29, false, 0},
      {2001, 2, 30, false, 0},     {2001, 13, 1, false, 0},    {2001, 0, 1, false, 0},
      {0, 1, 1, false, 0},         {10000, 1, 1, false, 0},    {2001, 4, 31, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
    double value = -1;
    ASSERT_EQ(TryEncodeDate(c.y, c.m, c.d, value), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(value, c.value);
    const CalendarDate back = DecodeDate(value + 0.75);  // the time of day does not move the day
    EXPECT_EQ(back.year, c.y);
    EXPECT_EQ(back.month, c.m);
    EXPECT_EQ(back.day, c.d);
  }
}

}  // namespace
}  // namespace vz::app
