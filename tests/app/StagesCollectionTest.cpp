// The price data collection over in-memory bars.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/run/Collection.h"
#include "StagesFakes.h"

namespace vz::app {
namespace {

using test::DateValue;
using test::MakeSecurity;
using test::Seconds;

BarEntry Bar(int64_t time, double close, double volume = 100) {
  return BarEntry{time, close - 1, close + 1, close - 2, close, volume};
}

TRunSettings Range(double from, double to) {
  TRunSettings s;
  s.from = from;
  s.to = to;
  return s;
}

TEST(SaturatedVolume, TruncatesAndSaturates) {
  EXPECT_EQ(SaturatedVolume(12.9), 12);
  EXPECT_EQ(SaturatedVolume(-12.9), -12);
  EXPECT_EQ(SaturatedVolume(5e9), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(SaturatedVolume(-5e9), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(SaturatedVolume(std::nan("")), 0);
  EXPECT_EQ(CloseTickVolume(1000), 997);
  EXPECT_EQ(CloseTickVolume(0), -3);
  EXPECT_EQ(CloseTickVolume(std::numeric_limits<int32_t>::min() + 1), std::numeric_limits<int32_t>::min());
}

TEST(CollectBars, KeepsDailyBarsOfWholeMonthsInRisingOrder) {
  test::TFakeSource source;
  source.securities = {{MakeSecurity('D', "ABCDEFGHIJKLMN", "n"), {}}};
  source.securities[0].bars = {
      Bar(Seconds(2001, 3, 31), 1),         Bar(Seconds(2001, 4, 1), 2),
      Bar(Seconds(2001, 4, 15), 3),         Bar(Seconds(2001, 4, 15), 4),  // same time: dropped
      Bar(Seconds(2001, 4, 14), 5),                                        // earlier: dropped
      Bar(Seconds(2001, 4, 16), 6, 7e9),    Bar(Seconds(2001, 5, 31, 10, 0), 7),
      Bar(Seconds(2001, 6, 1), 8)};
  SecurityTables tables;
  tables.descrD = {{0, "ABCDEFGHIJKLMN", "n"}};
  test::TRecordingStatus status;
  CollectedData data;
  CollectBars(source, Range(DateValue(2001, 4, 10), DateValue(2001, 5, 20, 23, 59)), status, tables, data);
  std::vector<double> closes, dates;
  for (const omz::DailyRow& r : data.daily) {
    closes.push_back(r.close);
    dates.push_back(r.date);
    EXPECT_EQ(r.name, "ABCDEFGHIJKLMN");
    EXPECT_EQ(r.size, 0.0001);
  }
  EXPECT_EQ(closes, (std::vector<double>{2, 3, 6, 7}));
  EXPECT_EQ(dates.back(), DateValue(2001, 5, 31));  // time of day dropped, bar kept
  EXPECT_EQ(data.daily[2].volume, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(status.statuses.front(), "Reading ABCDEFGHIJKLMN...");
}

TEST(CollectBars, ShiftsAndFiltersIntradayBars) {
  test::TFakeSource source;
  source.securities = {{MakeSecurity('I', "B", "n")}, {MakeSecurity('I', "A", "n")}, {MakeSecurity('I', "C", "n")}};
  source.securities[0].bars = {
      Bar(Seconds(2001, 4, 10, 0, 0), 1),   // shifted to 04-09 23:59: before the range
      Bar(Seconds(2001, 4, 10, 0, 1), 2),   // shifted to 00:00: first kept
      Bar(Seconds(2001, 4, 10, 10, 1), 3),  // 10:00, on the UTC-5 clock 04:00
      Bar(Seconds(2001, 4, 10, 10, 1), 4),  // same time: dropped
      Bar(Seconds(2001, 4, 11, 0, 0), 5),   // 04-10 23:59
      Bar(Seconds(2001, 4, 12, 0, 1), 6)};  // after the range
  source.securities[1].bars = {Bar(Seconds(2001, 4, 10, 12, 0), 9)};
  source.securities[2].bars = {Bar(Seconds(2001, 4, 10, 12, 0), 9)};
  SecurityTables tables;
  tables.descr = {{1, "A", "n", 1, 0, 1}, {0, "B", "n", 1, 0, 1}, {2, "C", "n", 1, 2, 1}};  // C: from > to
  test::TRecordingStatus status;
  CollectedData data;
  CollectBars(source, Range(DateValue(2001, 4, 10), DateValue(2001, 4, 11, 23, 59)), status, tables, data);
  ASSERT_EQ(data.rows.size(), 3u);
  EXPECT_EQ(source.reads, (std::vector<int>{1, 0}));  // C is not read
  EXPECT_TRUE(data.rows[2].bars.empty());
  const auto& b = data.rows[1].bars;
  ASSERT_EQ(b.size(), 3u);
  EXPECT_EQ(data.rows[1].symbol, "B");
  EXPECT_NEAR(b[0].time, DateValue(2001, 4, 9, 18, 0), 1e-9);
  EXPECT_NEAR(b[1].time, DateValue(2001, 4, 10, 4, 0), 1e-9);
  EXPECT_EQ(b[1].close, 3);
  EXPECT_NEAR(b[2].time, DateValue(2001, 4, 10, 17, 59), 1e-9);
  EXPECT_EQ(data.tickTotal, 16);
  // Each row holds exactly the bars it keeps, whatever the largest row.
  EXPECT_EQ(b.capacity(), 3u);
  EXPECT_EQ(data.rows[0].bars.capacity(), 1u);
  EXPECT_NEAR(data.firstTickTime, DateValue(2001, 4, 10), 1e-9);
  EXPECT_NEAR(data.lastTickTime, DateValue(2001, 4, 10, 23, 59), 1e-9);
}

TEST(CollectBars, NoIntradayBarsLeaveTickTimesAtTheRange) {
  test::TFakeSource source;
  source.securities = {{MakeSecurity('I', "A", "n")}};
  SecurityTables tables;
  tables.descr = {{0, "A", "n", 1, 0, 1}};
  test::TRecordingStatus status;
  CollectedData data;
  const TRunSettings range = Range(DateValue(2001, 4, 10), DateValue(2001, 4, 20));
  CollectBars(source, range, status, tables, data);
  EXPECT_EQ(data.firstTickTime, range.to);
  EXPECT_EQ(data.lastTickTime, range.from);
  EXPECT_EQ(data.tickTotal, 0);
}

TEST(CollectBars, StopRequestEndsTheStage) {
  test::TFakeSource source;
  source.securities = {{MakeSecurity('D', "A", "n")}, {MakeSecurity('D', "B", "n")}};
  for (int d = 1; d <= 20; ++d) source.securities[0].bars.push_back(Bar(Seconds(2001, 4, d), d));
  source.securities[1].bars = source.securities[0].bars;
  SecurityTables tables;
  tables.descrD = {{0, "A", "n"}, {1, "B", "n"}};
  test::TRecordingStatus status;
  status.stopAfter = 5;  // asked before every bar
  CollectedData data;
  EXPECT_TRUE(CollectBars(source, Range(DateValue(2001, 4, 1), DateValue(2001, 4, 30)), status, tables, data));
  EXPECT_EQ(data.daily.size(), 4u);
  EXPECT_EQ(source.reads, (std::vector<int>{0}));
}

}  // namespace
}  // namespace vz::app
