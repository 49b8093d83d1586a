// The archive export: names and folders, contents, free space, write
// failures and stops.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "app/run/Export.h"
#include "StagesArchives.h"
#include "StagesFakes.h"
#include "support/ScratchDir.h"
#include "vuzuz/ShowError.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;
using test::DateValue;

// Captures ShowError texts for the life of the object.
class TErrorRecorder {
public:
  TErrorRecorder() {
    previous_ = SetErrorSink([this](const std::string& text) { errors.push_back(text); });
  }
  ~TErrorRecorder() { SetErrorSink(previous_); }
  std::vector<std::string> errors;

private:
  ErrorSink previous_;
};

omz::DailyRow Daily(const std::string& name, double date, double close, int32_t volume = 10) {
  return omz::DailyRow{name, date, close, close + 1, close - 1, close, volume, 0.0001};
}

// A kept bar at a time on the data clock (the UTC-5 time is six hours less).
KeptBar Kept(double dataTime, double close, int32_t volume = 100) {
  const auto seconds = static_cast<int64_t>(std::llround((dataTime - DateValue(1970, 1, 1)) * 86400));
  return KeptBar{seconds, static_cast<float>(close - 0.5), static_cast<float>(close + 1), static_cast<float>(close - 1),
                 static_cast<float>(close), volume};
}

struct ExportFixture : testing::Test {
  test::TFixedZone zone;
  test::TScratchDir dir;
  test::TRecordingStatus status;
  TErrorRecorder recorder;
  RunNotes notes;
  TRunSettings settings;
  CollectedData data;

  ExportFixture() { settings.output = dir.Path().generic_string() + "/"; }

  void Range(double from, double to) {
    settings.from = from;
    settings.to = to;
    data.firstTickTime = to;
    data.lastTickTime = from;
  }
  void AddRow(const std::string& symbol, std::vector<KeptBar> bars) {
    for (const KeptBar& b : bars) {
      data.firstTickTime = std::min(data.firstTickTime, KeptBarDataTime(b));
      data.lastTickTime = std::max(data.lastTickTime, KeptBarDataTime(b));
    }
    data.tickTotal += 4 * static_cast<int64_t>(bars.size());
    data.rows.push_back(TickRow{symbol, std::move(bars)});
  }
  bool Export(int packThreads = 1, uint64_t freeBytes = uint64_t{1} << 40) {
    ExportOptions options;
    options.packThreads = packThreads;
    options.freeSpace = [freeBytes](const std::string&) { return freeBytes; };
    return WriteArchives(settings, status, data, notes, options);
  }
  fs::path Out(const std::string& name) const { return dir.Path() / name; }
};

TEST_F(ExportFixture, WritesOneDailyArchivePerMonthWithBars) {
  Range(DateValue(2001, 3, 15), DateValue(2001, 6, 2));
  // Two securities, months March, April and June; none in May.
  data.daily = DailySecurities({Daily("AAA", DateValue(2001, 3, 1), 1), Daily("AAA", DateValue(2001, 4, 30), 2),
                Daily("AAA", DateValue(2001, 6, 1), 3), Daily("BB", DateValue(2001, 3, 31), 4),
                Daily("BB", DateValue(2001, 4, 2), 5)});
  ASSERT_TRUE(Export());
  EXPECT_TRUE(fs::exists(Out("d0103.omz")));
  EXPECT_FALSE(fs::exists(Out("d0105.omz")));
  EXPECT_EQ(test::EntryNames(test::ArchiveEntries(Out("d0104.omz"))), (std::vector<std::string>{"d0104", "d0104.DLY"}));
  const auto april = test::DailyArchiveRows(Out("d0104.omz"));
  ASSERT_EQ(april.size(), 2u);
  EXPECT_EQ(april[0].name, "AAA");
  EXPECT_EQ(april[0].date, DateValue(2001, 4, 30));
  EXPECT_NEAR(april[0].close, 2, 1e-9);
  EXPECT_EQ(april[1].name, "BB");
  EXPECT_EQ(test::DailyArchiveRows(Out("d0106.omz")).size(), 1u);
  // Nothing but the archives is left behind.
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir.Path())) files += entry.path().extension() == ".omz" ? 0 : 1;
  EXPECT_EQ(files, 0u);
  EXPECT_EQ(status.details, (std::vector<std::string>{"03.01", "04.01", "05.01", "06.01"}));
}

TEST_F(ExportFixture, WritesDayArchivesInMonthFoldersGroupedBySecurity) {
  Range(DateValue(2001, 4, 25), DateValue(2001, 5, 5));
  AddRow("AA", {Kept(DateValue(2001, 4, 27, 10, 0), 1, 1000), Kept(DateValue(2001, 4, 30, 0, 5), 2, 0)});
  AddRow("BB", {Kept(DateValue(2001, 4, 27, 9, 0), 3), Kept(DateValue(2001, 4, 27, 23, 59), 4)});
  for (int threads : {0, 2}) {
    SCOPED_TRACE(threads);
    CollectedData copy = data;
    ASSERT_TRUE(WriteArchives(settings, status, copy, notes, ExportOptions{[](const std::string&) {
                                return uint64_t{1} << 40; }, threads}));
    EXPECT_FALSE(fs::exists(Out("2001_05")));
    EXPECT_EQ(test::EntryNames(test::ArchiveEntries(Out("2001_04/i010430.omz"))),
              (std::vector<std::string>{"i010430", "i010430.DAT", "i010430.IDX"}));
    const auto ticks = test::IntradayArchiveTicks(Out("2001_04/i010427.omz"));
    // AA's bar then BB's two bars, four ticks each: open, high, low, close.
    ASSERT_EQ(ticks.size(), 12u);
    EXPECT_EQ(omz::TickSymbol(ticks[0]), "AA");
    EXPECT_EQ(omz::TickSymbol(ticks[4]), "BB");
    const int32_t volumes[4] = {1, 1, 1, 997};
    const double prices[4] = {0.5, 2, 0, 1};
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(ticks[k].volume, volumes[k]);
      EXPECT_NEAR(ticks[k].price, prices[k], 1e-9);
      EXPECT_NEAR(ticks[k].dateTime, DateValue(2001, 4, 27, 4, 0), 1e-9);
    }
    EXPECT_NEAR(ticks[11].dateTime, DateValue(2001, 4, 27, 17, 59), 1e-9);
    // A bar of volume 0 gives a close tick of -3.
    const auto day30 = test::IntradayArchiveTicks(Out("2001_04/i010430.omz"));
    ASSERT_EQ(day30.size(), 4u);
    EXPECT_EQ(day30[3].volume, -3);
    fs::remove_all(Out("2001_04"));
  }
}

TEST_F(ExportFixture, TooLittleFreeSpaceFailsAtFirstDayAfterDailyArchives) {
  Range(DateValue(2001, 4, 1), DateValue(2001, 4, 30));
  data.daily = DailySecurities({Daily("AAA", DateValue(2001, 4, 2), 1)});
  AddRow("AA", {Kept(DateValue(2001, 4, 3, 10, 0), 1)});
  fs::create_directories(Out("2001_04"));
  test::WriteFileBytes(Out("2001_04/i010403.omz"), "old archive");
  EXPECT_FALSE(Export(1, kMinFreeBytes - 1));
  EXPECT_EQ(recorder.errors, (std::vector<std::string>{"Insufficient disk space"}));
  EXPECT_EQ(test::DailyArchiveRows(Out("d0104.omz")).size(), 1u);
  EXPECT_EQ(test::ReadFileBytes(Out("2001_04/i010403.omz")), "old archive");
  size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(Out("2001_04"))) entries += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(entries, 1u);  // no set files left behind
  EXPECT_TRUE(data.rows.empty());  // released at every end
}

TEST_F(ExportFixture, UnwritableMonthFolderFailsWithMessageAndKeepsArchives) {
  Range(DateValue(2001, 4, 1), DateValue(2001, 4, 30));
  data.daily = DailySecurities({Daily("AAA", DateValue(2001, 4, 2), 7)});
  AddRow("AA", {Kept(DateValue(2001, 4, 3, 10, 0), 1), Kept(DateValue(2001, 4, 4, 10, 0), 1)});
  test::WriteFileBytes(Out("d0104.omz"), "previous month archive");
  test::WriteFileBytes(Out("2001_04"), "a file where the month folder should be");
  EXPECT_FALSE(Export());
  ASSERT_EQ(recorder.errors.size(), 1u);
  EXPECT_NE(recorder.errors[0].find("i010403"), std::string::npos) << recorder.errors[0];
  // The daily archive was replaced by a whole new one.
  const auto rows = test::DailyArchiveRows(Out("d0104.omz"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_NEAR(rows[0].close, 7, 1e-9);
}

TEST_F(ExportFixture, MissingOutputDirectoryFailsOnFirstSet) {
  settings.output = dir.File("missing/");
  Range(DateValue(2001, 4, 1), DateValue(2001, 4, 30));
  data.daily = DailySecurities({Daily("AAA", DateValue(2001, 4, 2), 7)});
  EXPECT_FALSE(Export(0));
  EXPECT_EQ(recorder.errors.size(), 1u);
}

TEST_F(ExportFixture, StopEndsAfterTheCurrentDay) {
  Range(DateValue(2001, 4, 1), DateValue(2001, 4, 30));
  AddRow("AA", {Kept(DateValue(2001, 4, 3, 10, 0), 1), Kept(DateValue(2001, 4, 4, 10, 0), 1),
                Kept(DateValue(2001, 4, 5, 10, 0), 1)});
  status.stopAfter = 3;  // one question per month (April), then per day: 3rd, 4th
  EXPECT_TRUE(Export());
  EXPECT_TRUE(fs::exists(Out("2001_04/i010403.omz")));
  EXPECT_TRUE(fs::exists(Out("2001_04/i010404.omz")));
  EXPECT_FALSE(fs::exists(Out("2001_04/i010405.omz")));
  for (const auto& entry : fs::directory_iterator(Out("2001_04"))) EXPECT_EQ(entry.path().extension(), ".omz");
}

TEST_F(ExportFixture, WhatTheFilesCannotHoldIsLeftOutAloneAndNamed) {
  // One corrupt price never costs the other securities their month or day,
  // nor its own security the rest of its bars.
  Range(DateValue(2001, 3, 1), DateValue(2001, 4, 30));
  data.daily = DailySecurities({Daily("AAA", DateValue(2001, 3, 2), 1.7e38), Daily("AAA", DateValue(2001, 3, 5), 2),
                Daily("BBB", DateValue(2001, 3, 2), 3), Daily("AAA", DateValue(2001, 4, 2), 5)});
  AddRow("AA", {Kept(DateValue(2001, 4, 3, 10, 0), 1.7e38), Kept(DateValue(2001, 4, 3, 10, 1), 2)});
  AddRow("BB", {Kept(DateValue(2001, 4, 3, 10, 0), 3)});
  AddRow("CC", {Kept(DateValue(2001, 4, 4, 10, 0), std::nan(""))});  // its day holds nothing else
  fs::create_directories(Out("2001_04"));
  test::WriteFileBytes(Out("2001_04/i010404.omz"), "earlier archive");
  EXPECT_TRUE(Export());
  std::vector<std::pair<std::string, double>> march;
  for (const omz::DailyRow& r : test::DailyArchiveRows(Out("d0103.omz"))) march.emplace_back(r.name, r.close);
  EXPECT_EQ(march, (std::vector<std::pair<std::string, double>>{{"AAA", 2}, {"BBB", 3}}));
  EXPECT_EQ(test::DailyArchiveRows(Out("d0104.omz")).size(), 1u);
  std::vector<std::string> symbols;
  for (const omz::Tick& t : test::IntradayArchiveTicks(Out("2001_04/i010403.omz"))) symbols.push_back(omz::TickSymbol(t));
  EXPECT_EQ(symbols, (std::vector<std::string>{"AA", "AA", "AA", "AA", "BB", "BB", "BB", "BB"}));
  // A day left with nothing to hold keeps the archive that was there.
  EXPECT_EQ(test::ReadFileBytes(Out("2001_04/i010404.omz")), "earlier archive");
  ASSERT_EQ(notes.leftOutData.size(), 3u);
  EXPECT_NE(notes.leftOutData[0].find("d0103: \"AAA\": 1 row (price 1.7e+38"), std::string::npos)
      << notes.leftOutData[0];
  EXPECT_EQ(notes.leftOutData[1], "\"AA\": 1 bar with a price no tick size can hold");
  EXPECT_EQ(notes.leftOutData[2], "\"CC\": 1 bar with a price no tick size can hold");
  EXPECT_TRUE(notes.skippedSets.empty());
  EXPECT_TRUE(notes.LeftOut());
  EXPECT_TRUE(recorder.errors.empty());
}

TEST_F(ExportFixture, SetsBeforeAFailedOneAreWrittenAndLaterOnesDropped) {
  // May's folder is short of space: whatever the threads, April's sets are
  // written whole and nothing of May, and the first failure is the one told.
  for (int threads : {0, 1, 2}) {
    SCOPED_TRACE(threads);
    test::TScratchDir out;
    settings.output = out.Path().generic_string() + "/";
    Range(DateValue(2001, 4, 1), DateValue(2001, 5, 31));
    data = CollectedData{};
    data.daily = DailySecurities({Daily("AAA", DateValue(2001, 4, 2), 1), Daily("AAA", DateValue(2001, 5, 2), 2)});
    std::vector<KeptBar> bars;
    for (int day : {3, 4, 5}) bars.push_back(Kept(DateValue(2001, 4, day, 10, 0), day));
    for (int day : {2, 3, 4}) bars.push_back(Kept(DateValue(2001, 5, day, 10, 0), day));
    AddRow("AA", bars);
    recorder.errors.clear();
    ExportOptions options;
    options.packThreads = threads;
    options.freeSpace = [](const std::string& folder) {
      return folder.find("2001_05") == std::string::npos ? uint64_t{1} << 40 : kMinFreeBytes - 1;
    };
    EXPECT_FALSE(WriteArchives(settings, status, data, notes, options));
    EXPECT_EQ(recorder.errors, (std::vector<std::string>{"Insufficient disk space"}));
    EXPECT_EQ(test::DailyArchiveRows(out.Path() / "d0104.omz").size(), 1u);
    EXPECT_EQ(test::DailyArchiveRows(out.Path() / "d0105.omz").size(), 1u);
    for (const char* day : {"i010403.omz", "i010404.omz", "i010405.omz"})
      EXPECT_EQ(test::IntradayArchiveTicks(out.Path() / "2001_04" / day).size(), 4u) << day;
    size_t mayFiles = 0;
    if (fs::exists(out.Path() / "2001_05"))
      for (const auto& entry : fs::directory_iterator(out.Path() / "2001_05")) mayFiles += entry.is_regular_file();
    EXPECT_EQ(mayFiles, 0u);
  }
}

TEST_F(ExportFixture, RemovesTemporaryArchivesAKilledRunLeft) {
  Range(DateValue(2001, 4, 1), DateValue(2001, 4, 30));
  data.daily = DailySecurities({Daily("AAA", DateValue(2001, 4, 2), 1)});
  AddRow("AA", {Kept(DateValue(2001, 4, 3, 10, 0), 1)});
  fs::create_directories(Out("2001_04"));
  fs::create_directories(Out("2001_03"));
  const char* leftovers[] = {"d0104.omz.123456-0.tmp", "2001_04/i010402.omz.99-12.tmp"};
  const char* others[] = {"notes.tmp", "d0104.omz.tmp", "d0104.omz.12a-1.tmp", "x.omz.1-2.tmp.keep",
                          "2001_03/i010302.omz.1-2.tmp"};  // a folder this run does not write into
  for (const char* name : leftovers) test::WriteFileBytes(Out(name), "partial archive");
  for (const char* name : others) test::WriteFileBytes(Out(name), "user file");
  EXPECT_TRUE(Export(2));
  for (const char* name : leftovers) EXPECT_FALSE(fs::exists(Out(name))) << name;
  for (const char* name : others) EXPECT_TRUE(fs::exists(Out(name))) << name;
  EXPECT_EQ(test::DailyArchiveRows(Out("d0104.omz")).size(), 1u);
  EXPECT_EQ(test::IntradayArchiveTicks(Out("2001_04/i010403.omz")).size(), 4u);
}

}  // namespace
}  // namespace vz::app
