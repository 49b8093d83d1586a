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

BarEntry Bar(int64_t time, float close, float volume = 100) {
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

TEST(CollectBars, KeepsIntradayPricesAsTheFloatsRead) {
  // MetaStock prices are floats and reach the collection as such: each is
  // kept exactly, the extremes and infinities included.
  const float kLargest = std::numeric_limits<float>::max();
  const float kInfinity = std::numeric_limits<float>::infinity();
  const struct {
    float close;
    float kept;
  } cases[] = {{1.25f, 1.25f},
               {0.1f, 0.1f},
               {kLargest, kLargest},
               {-kLargest, -kLargest},
               {std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::denorm_min()},
               {kInfinity, kInfinity},
               {-kInfinity, -kInfinity}};
  // The close of one intraday bar as the collection keeps it.
  auto keptClose = [](float close) {
    test::TFakeSource source;
    source.securities = {{MakeSecurity('I', "S", "n")}};
    source.securities[0].bars = {Bar(Seconds(2001, 4, 2, 10, 5), close)};
    SecurityTables tables;
    tables.descr = {{0, "S", "n", 1, 0, 1}};
    test::TRecordingStatus status;
    RunNotes notes;
    CollectedData data;
    CollectBars(source, Range(DateValue(2001, 4, 1), DateValue(2001, 4, 30)), status, tables, data, notes);
    if (data.rows.empty() || data.rows[0].bars.size() != 1) {
      ADD_FAILURE() << "the bar was not kept";
      return 0.0f;
    }
    return data.rows[0].bars[0].close;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.close);
    EXPECT_EQ(keptClose(c.close), c.kept);
  }
  EXPECT_TRUE(std::isnan(keptClose(std::nanf(""))));
}

TEST(CollectBars, KeepsDailyBarsOfWholeMonthsInTimeOrder) {
  test::TFakeSource source;
  source.securities = {{MakeSecurity('D', "ABCDEFGHIJKLMN", "n"), {}}};
  source.securities[0].bars = {
      Bar(Seconds(2001, 3, 31), 1),         Bar(Seconds(2001, 4, 1), 2),
      Bar(Seconds(2001, 4, 15), 3),         Bar(Seconds(2001, 4, 15), 4),  // same time: dropped
      Bar(Seconds(2001, 4, 14), 5),                                        // earlier: sorted in
      Bar(Seconds(2001, 4, 16), 6, 7e9),    Bar(Seconds(2001, 5, 31, 10, 0), 7),
      Bar(Seconds(2001, 6, 1), 8)};
  SecurityTables tables;
  tables.descrD = {{0, "ABCDEFGHIJKLMN", "n"}};
  test::TRecordingStatus status;
  RunNotes notes;
  CollectedData data;
  CollectBars(source, Range(DateValue(2001, 4, 10), DateValue(2001, 5, 20, 23, 59)), status, tables, data, notes);
  std::vector<double> closes, dates;
  for (const omz::DailyRow& r : DailyTable(data.daily)) {
    closes.push_back(r.close);
    dates.push_back(r.date);
    EXPECT_EQ(r.name, "ABCDEFGHIJKLMN");
    EXPECT_EQ(r.size, 0.0001);
  }
  EXPECT_EQ(closes, (std::vector<double>{2, 5, 3, 6, 7}));
  EXPECT_EQ(dates.back(), DateValue(2001, 5, 31));  // time of day dropped, bar kept
  EXPECT_EQ(DailyTable(data.daily)[3].volume, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(notes.reordered, std::vector<std::string>{"ABCDEFGHIJKLMN (1 reordered, 1 repeats dropped)"});
  EXPECT_FALSE(notes.LeftOut());
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
  RunNotes notes;
  CollectedData data;
  CollectBars(source, Range(DateValue(2001, 4, 10), DateValue(2001, 4, 11, 23, 59)), status, tables, data, notes);
  ASSERT_EQ(data.rows.size(), 3u);
  EXPECT_EQ(source.reads, (std::vector<int>{1, 0}));  // C is not read
  EXPECT_TRUE(data.rows[2].bars.empty());
  const auto& b = data.rows[1].bars;
  ASSERT_EQ(b.size(), 3u);
  EXPECT_EQ(data.rows[1].symbol, "B");
  EXPECT_NEAR(KeptBarTickTime(b[0]), DateValue(2001, 4, 9, 18, 0), 1e-9);
  EXPECT_NEAR(KeptBarTickTime(b[1]), DateValue(2001, 4, 10, 4, 0), 1e-9);
  EXPECT_EQ(b[1].close, 3);
  EXPECT_NEAR(KeptBarTickTime(b[2]), DateValue(2001, 4, 10, 17, 59), 1e-9);
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
  RunNotes notes;
  CollectedData data;
  const TRunSettings range = Range(DateValue(2001, 4, 10), DateValue(2001, 4, 20));
  CollectBars(source, range, status, tables, data, notes);
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
  RunNotes notes;
  status.stopAfter = 5;  // asked before every bar
  CollectedData data;
  EXPECT_TRUE(CollectBars(source, Range(DateValue(2001, 4, 1), DateValue(2001, 4, 30)), status, tables, data, notes));
  EXPECT_EQ(data.DailyRowCount(), 4);
  EXPECT_EQ(source.reads, (std::vector<int>{0}));
}

// Closes of the bars each intraday row keeps, in order.
std::vector<std::vector<double>> KeptCloses(const CollectedData& data) {
  std::vector<std::vector<double>> closes;
  for (const TickRow& row : data.rows) {
    closes.emplace_back();
    for (const KeptBar& bar : row.bars) closes.back().push_back(bar.close);
  }
  return closes;
}

TEST(CollectBars, BarsOutOfTimeOrderAreKeptOnceInTimeOrder) {
  // Closes number the bars by time; a repeat carries the number of the bar
  // it repeats plus 100.
  const struct {
    const char* what;
    std::vector<std::pair<int, int>> bars;  // (day in April 2001 * 10000 + hhmm, close)
    std::vector<double> kept;
    std::string note;
  } cases[] = {
      {"in order: as before", {{31000, 1}, {31005, 2}, {41000, 3}}, {1, 2, 3}, ""},
      {"in order with a repeated minute", {{31000, 1}, {31000, 101}, {31005, 2}}, {1, 2}, ""},
      {"a day written before the one ahead of it",
       {{41000, 3}, {31000, 1}, {31005, 2}, {41010, 4}, {41015, 5}}, {1, 2, 3, 4, 5},
       "S (2 reordered, 0 repeats dropped)"},
      {"the same bars written again and again",
       {{31000, 1}, {31005, 2}, {31000, 101}, {31005, 102}, {31000, 201}, {31005, 202}}, {1, 2},
       "S (2 reordered, 4 repeats dropped)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TFakeSource source;
    source.securities = {{MakeSecurity('I', "S", "n")}};
    for (const auto& [when, close] : c.bars)
      source.securities[0].bars.push_back(Bar(Seconds(2001, 4, when / 10000, when % 10000 / 100, when % 100 + 1), close));
    SecurityTables tables;
    tables.descr = {{0, "S", "n", 1, 0, 1}};
    test::TRecordingStatus status;
    RunNotes notes;
    CollectedData data;
    CollectBars(source, Range(DateValue(2001, 4, 1), DateValue(2001, 4, 30)), status, tables, data, notes);
    EXPECT_EQ(KeptCloses(data), std::vector<std::vector<double>>{c.kept});
    for (size_t i = 1; i < data.rows[0].bars.size(); ++i) EXPECT_LT(data.rows[0].bars[i - 1].time, data.rows[0].bars[i].time);
    EXPECT_EQ(notes.reordered, c.note.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.note});
    EXPECT_EQ(data.tickTotal, 4 * static_cast<int64_t>(c.kept.size()));
  }
}

TEST(CollectBars, SecurityWhoseDataCannotBeReadIsNamedAsLeftOut) {
  test::TFakeSource source;
  source.securities = {{MakeSecurity('D', "GONE", "n")}, {MakeSecurity('D', "OK", "n")},
                       {MakeSecurity('I', "LOOP", "n")}};
  source.securities[0].unreadable = "F1.DAT is missing";
  source.securities[1].bars = {Bar(Seconds(2001, 4, 2), 5)};
  source.securities[2].unreadable = "F3.DAT cannot be read: Too many levels of symbolic links";
  SecurityTables tables;
  tables.descrD = {{0, "GONE", "n"}, {1, "OK", "n"}};
  tables.descr = {{2, "LOOP", "n", 1, 0, 1}};
  test::TRecordingStatus status;
  RunNotes notes;
  CollectedData data;
  CollectBars(source, Range(DateValue(2001, 4, 1), DateValue(2001, 4, 30)), status, tables, data, notes);
  EXPECT_EQ(data.DailyRowCount(), 1);
  EXPECT_EQ(notes.unreadable, (std::vector<std::string>{"GONE (F1.DAT is missing)",
                                                        "LOOP (F3.DAT cannot be read: Too many levels of symbolic links)"}));
  EXPECT_TRUE(notes.LeftOut());
  EXPECT_NE(notes.Text().find("GONE (F1.DAT is missing)"), std::string::npos);
}

TEST(CollectBars, OneSecurityPerSymbol) {
  // Intraday: the finest interval wins, then the most bars, then the lower
  // file number. Daily: the most bars in the range, then the lower file
  // number.
  test::TFakeSource source;
  auto security = [](char period, int fileNumber, int interval) {
    app::SecurityEntry e = MakeSecurity(period, "EURUSD", "n", interval);
    e.fileNumber = fileNumber;
    return e;
  };
  source.securities = {{security('I', 7, 5)}, {security('I', 3, 1)}, {security('D', 9, 0)}, {security('D', 4, 0)},
                       {security('D', 2, 0)}};
  source.securities[0].bars = {Bar(Seconds(2001, 4, 2, 10, 5), 50), Bar(Seconds(2001, 4, 2, 10, 10), 51)};
  source.securities[1].bars = {Bar(Seconds(2001, 4, 2, 10, 1), 10)};
  source.securities[2].bars = {Bar(Seconds(2001, 4, 2), 90), Bar(Seconds(2001, 4, 3), 91)};
  source.securities[3].bars = {Bar(Seconds(2001, 4, 2), 40), Bar(Seconds(2001, 4, 3), 41), Bar(Seconds(2001, 6, 1), 42)};
  source.securities[4].bars = {Bar(Seconds(2001, 4, 2), 20)};
  SecurityTables tables;
  tables.descr = {{0, "EURUSD", "n", 5, 0, 1}, {1, "EURUSD", "n", 1, 0, 1}};
  tables.descrD = {{2, "EURUSD", "n"}, {3, "EURUSD", "n"}, {4, "EURUSD", "n"}};
  test::TRecordingStatus status;
  RunNotes notes;
  CollectedData data;
  CollectBars(source, Range(DateValue(2001, 4, 1), DateValue(2001, 4, 30)), status, tables, data, notes);
  EXPECT_EQ(KeptCloses(data), (std::vector<std::vector<double>>{{}, {10}}));
  EXPECT_EQ(data.tickTotal, 4);
  std::vector<double> daily;
  for (const omz::DailyRow& r : DailyTable(data.daily)) daily.push_back(r.close);
  EXPECT_EQ(daily, (std::vector<double>{40, 41}));  // F4 and F9 both hold 2 in April: F4 is lower
  EXPECT_EQ(notes.sharedSymbol, (std::vector<std::string>{"EURUSD (F9, 2 bars in the range)",
                                                          "EURUSD (F2, 1 bars in the range)",
                                                          "EURUSD at 5 minutes (F7)"}));
  EXPECT_FALSE(notes.LeftOut());
}

}  // namespace
}  // namespace vz::app

namespace vz::app {
namespace {

// Kept daily rows hold float prices; a security with a price no float holds
// (not from MetaStock's files) keeps all its prices as they came.
TEST(DailyRows, GiveBackExactlyWhatWasKept) {
  auto row = [](const char* name, double date, double price, int32_t volume) {
    omz::DailyRow r;
    r.name = name;
    r.date = date;
    r.open = price - 0.5;
    r.high = price + 1;
    r.low = price - 1;
    r.close = price;
    r.volume = volume;
    return r;
  };
  const std::vector<omz::DailyRow> table = {row("AAA", 40000, 2.5, 7), row("AAA", 40001, 1.1, -3),
                                            row("AAA", 40002, 7.75, 0), row("BBB", 40000, 3.25, 1 << 30),
                                            row("BBB", 40003, 65536.5, 5)};
  const std::vector<DailySecurity> daily = DailySecurities(table);
  ASSERT_EQ(daily.size(), 2u);
  EXPECT_EQ(daily[0].widePrices.size(), 12u);  // 1.1 and 0.6 are no floats
  EXPECT_TRUE(daily[1].widePrices.empty());    // every BBB price is a float
  const std::vector<omz::DailyRow> back = DailyTable(daily);
  ASSERT_EQ(back.size(), table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(back[i].name, table[i].name);
    EXPECT_EQ(back[i].date, table[i].date);
    EXPECT_EQ(back[i].open, table[i].open) << i;
    EXPECT_EQ(back[i].high, table[i].high) << i;
    EXPECT_EQ(back[i].low, table[i].low) << i;
    EXPECT_EQ(back[i].close, table[i].close) << i;
    EXPECT_EQ(back[i].volume, table[i].volume);
    EXPECT_EQ(back[i].size, 0.0001);
  }
}

}  // namespace
}  // namespace vz::app
