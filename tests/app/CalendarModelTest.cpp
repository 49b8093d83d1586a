#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/window/CalendarModel.h"
#include "vuzuz/Dates.h"

namespace vz::app {
namespace {

double At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  double value = 0;
  EXPECT_TRUE(TryEncodeDateTime(DateTimeParts{year, month, day, hour, minute, second, 0}, value));
  return value;
}

struct Ymd {
  int year;
  int month;
  int day;
};

void ExpectDay(const TCalendarModel& model, Ymd want) {
  EXPECT_EQ(model.Year(), want.year);
  EXPECT_EQ(model.Month(), want.month);
  EXPECT_EQ(model.Day(), want.day);
}

TEST(CalendarModel, StartsAtTheValuesDayAndSecondOrAt1970) {
  struct Case {
    double value;
    Ymd day;
    int hour, minute, second;
  };
  const Case cases[] = {
      {At(2001, 2, 3, 4, 5, 6), {2001, 2, 3}, 4, 5, 6},
      {At(2001, 2, 3, 23, 59, 59) + 0.9 / 86400, {2001, 2, 3}, 23, 59, 59},  // milliseconds dropped
      {0.0, {1899, 12, 30}, 0, 0, 0},
      {-1.25, {1899, 12, 29}, 6, 0, 0},  // the fraction counts forward from the day's midnight
      {std::numeric_limits<double>::quiet_NaN(), {1970, 1, 1}, 0, 0, 0},
      {1e12, {1970, 1, 1}, 0, 0, 0},
      {-1e12, {1970, 1, 1}, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const TCalendarModel model(c.value);
    ExpectDay(model, c.day);
    EXPECT_EQ(model.Hour(), c.hour);
    EXPECT_EQ(model.Minute(), c.minute);
    EXPECT_EQ(model.Second(), c.second);
  }
}

TEST(CalendarModel, StepsMonthsAndYearsAcrossYearEndsKeepingTheDayWithinTheMonth) {
  enum Step { PrevMonth, NextMonth, PrevYear, NextYear };
  struct Case {
    Ymd from;
    Step step;
    int times;
    Ymd to;
  };
  const Case cases[] = {
      {{2001, 1, 15}, PrevMonth, 1, {2000, 12, 15}},
      {{2000, 12, 15}, NextMonth, 1, {2001, 1, 15}},
      {{2000, 12, 15}, NextMonth, 12, {2001, 12, 15}},
      {{2001, 3, 15}, PrevMonth, 15, {1999, 12, 15}},
      {{2001, 1, 31}, NextMonth, 1, {2001, 2, 28}},
      {{2000, 3, 31}, PrevMonth, 1, {2000, 2, 29}},
      {{2000, 2, 29}, NextYear, 1, {2001, 2, 28}},
      {{2000, 2, 29}, PrevYear, 1, {1999, 2, 28}},
      {{2001, 5, 31}, PrevYear, 3, {1998, 5, 31}},
      // Past the ends of the calendar nothing moves.
      {{1, 1, 31}, PrevMonth, 1, {1, 1, 31}},
      {{1, 12, 1}, PrevYear, 1, {1, 12, 1}},
      {{9999, 12, 31}, NextMonth, 1, {9999, 12, 31}},
      {{9999, 1, 5}, NextYear, 1, {9999, 1, 5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from.year << "-" << c.from.month << "-" << c.from.day << " step "
                                    << c.step << " x" << c.times);
    TCalendarModel model(At(c.from.year, c.from.month, c.from.day, 13, 14, 15));
    for (int i = 0; i < c.times; ++i) {
      switch (c.step) {
        case PrevMonth: model.PrevMonth(); break;
        case NextMonth: model.NextMonth(); break;
        case PrevYear: model.PrevYear(); break;
        case NextYear: model.NextYear(); break;
      }
    }
    ExpectDay(model, c.to);
    EXPECT_EQ(model.Value(), At(c.to.year, c.to.month, c.to.day, 13, 14, 15));
  }
}

// Every month of three centuries: six weeks of consecutive days, each week
// from Monday, holding the whole month.
TEST(CalendarModel, GridShowsSixWeeksFromMondayHoldingTheWholeMonth) {
  for (int year = 1900; year <= 2100; ++year) {
    for (int month = 1; month <= 12; ++month) {
      TCalendarModel model(At(year, month, 1));
      const CalendarGrid grid = model.Grid();
      int inMonth = 0;
      double previous = 0;
      for (int i = 0; i < kCalendarCells; ++i) {
        const CalendarCell& cell = grid[static_cast<size_t>(i)];
        const double day = At(cell.year, cell.month, cell.day);
        if (i % 7 == 0) {
          ASSERT_EQ(DayOfWeek(day), 1) << year << "-" << month << " cell " << i;
        }
        if (i > 0) {
          ASSERT_EQ(day, previous + 1) << year << "-" << month << " cell " << i;
        }
        ASSERT_EQ(cell.inMonth, cell.year == year && cell.month == month);
        if (cell.inMonth) ++inMonth;
        previous = day;
      }
      ASSERT_EQ(inMonth, static_cast<int>(DayNumber(LastOfMonth(At(year, month, 1))) -
                                          DayNumber(At(year, month, 1)) + 1));
      // No week made only of the next month's days when it can be helped:
      // the 1st lies in the first week.
      ASSERT_LT(DayNumber(At(year, month, 1)) - DayNumber(At(grid[0].year, grid[0].month, grid[0].day)), 7);
    }
  }
}

TEST(CalendarModel, GridHoldsNoDayBeyondYear9999) {
  const CalendarGrid grid = TCalendarModel(At(9999, 12, 25)).Grid();
  // 9999-12-01 is a Wednesday: two days of November, 31 of December, then
  // nine cells past the calendar's end.
  EXPECT_EQ(grid[0].day, 29);
  EXPECT_EQ(grid[0].month, 11);
  EXPECT_EQ(grid[32].day, 31);
  for (int i = 33; i < kCalendarCells; ++i) EXPECT_EQ(grid[static_cast<size_t>(i)].day, 0) << i;
}

TEST(CalendarModel, TitleIsTheLongMonthNameAndTheYear) {
  TCalendarModel model(At(2001, 2, 3));
  EXPECT_EQ(model.Title(EnglishMonthNames()), "February, 2001");
  model.PrevMonth();
  model.PrevMonth();
  MonthNames german = EnglishMonthNames();
  german[11] = "Dezember";
  EXPECT_EQ(model.Title(german), "Dezember, 2000");
}

TEST(CalendarModel, OkGivesTheChosenDayAtTheSpinnersTime) {
  TCalendarModel model(At(2001, 2, 3, 4, 5, 6));
  EXPECT_EQ(model.Value(), At(2001, 2, 3, 4, 5, 6));

  EXPECT_TRUE(model.SelectDay(2001, 3, 1));  // a day of the next month shows that month
  ExpectDay(model, {2001, 3, 1});
  EXPECT_FALSE(model.SelectDay(2001, 2, 30));
  EXPECT_FALSE(model.SelectDay(10000, 1, 1));
  EXPECT_FALSE(model.SelectDay(2001, 0, 1));
  ExpectDay(model, {2001, 3, 1});

  model.SetHour(24);
  model.SetMinute(-1);
  model.SetSecond(75);
  EXPECT_EQ(model.Value(), At(2001, 3, 1, 23, 0, 59));
  model.SetHour(0);
  model.SetMinute(30);
  model.SetSecond(0);
  EXPECT_EQ(model.Value(), At(2001, 3, 1, 0, 30, 0));
}

TEST(CalendarModel, ArrowKeysMoveTheDayAcrossMonthsAndStopAtTheCalendarsEnds) {
  TCalendarModel model(At(2000, 12, 31));
  EXPECT_TRUE(model.MoveDays(1));
  ExpectDay(model, {2001, 1, 1});
  EXPECT_TRUE(model.MoveDays(-7));
  ExpectDay(model, {2000, 12, 25});

  TCalendarModel last(At(9999, 12, 31));
  EXPECT_FALSE(last.MoveDays(1));
  ExpectDay(last, {9999, 12, 31});
  TCalendarModel first(At(1, 1, 3));
  EXPECT_FALSE(first.MoveDays(-7));
  ExpectDay(first, {1, 1, 3});
}

TEST(CalendarPopupPosition, BelowTheFieldAboveNearTheBottomNeverOffTheLeft) {
  const ScreenRect screen{0, 0, 1280, 1024};
  struct Case {
    const char* name;
    ScreenRect field;
    ScreenRect screen;
    ScreenPoint at;
  };
  const Case cases[] = {
      {"below, right edges aligned", {500, 300, 629, 321}, screen, {629 - 184 - 2, 321 - 2}},
      {"reaching the bottom exactly", {500, 845, 629, 866}, screen, {443, 864}},
      {"one pixel beyond: above", {500, 846, 629, 867}, screen, {443, 846 - 160 - 2}},
      {"at the very bottom: above", {500, 1003, 629, 1024}, screen, {443, 1003 - 162}},
      {"left of 0: held at 0", {0, 300, 129, 321}, screen, {0, 319}},
      {"monitor left of the primary", {-1000, 300, -871, 321}, {-1280, 0, 0, 1024}, {-1057, 319}},
      {"screen lower than the pop-up", {0, 10, 129, 31}, {0, 0, 640, 100}, {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ScreenPoint at = CalendarPopupPosition(c.field, c.screen, kCalendarWidth, kCalendarHeight, kCalendarNudge);
    EXPECT_EQ(at.x, c.at.x);
    EXPECT_EQ(at.y, c.at.y);
  }
}

TEST(CalendarReopenTooSoon, Within250MsOfClosingAlsoAcrossTheTickCountersWrap) {
  struct Case {
    uint32_t closedAt;
    uint32_t now;
    bool tooSoon;
  };
  const Case cases[] = {
      {1000, 1000, true},          {1000, 1249, true},      {1000, 1250, false},
      {1000, 60000, false},        {0xFFFFFF9Cu, 100, true},  // 200 ms across the wrap
      {0xFFFFFF9Cu, 150, false},   {1000, 999, false},        // a clock that went back: allowed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.closedAt << " " << c.now);
    EXPECT_EQ(CalendarReopenTooSoon(c.closedAt, c.now), c.tooSoon);
  }
}

}  // namespace
}  // namespace vz::app
