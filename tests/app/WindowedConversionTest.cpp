// A range converted in several windows (its bars over a small memory
// budget) against the same range in one go: the same archives, byte for
// byte, and the same notes; a stop between or inside windows leaves only
// whole archives, each the one a whole run writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <map>
#include <string>

#include "app/run/Conversion.h"
#include "app/run/Export.h"
#include "dates/ZoneRecords.h"
#include "StagesArchives.h"
#include "StagesFakes.h"
#include "support/ScratchDir.h"
#include "tools/msgen/MsGen.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;
using test::DateValue;

// Europe's daylight saving (last Sunday of March to the last of October):
// the tick clock's shift changes inside the range.
class TEuropeZone {
public:
  TEuropeZone() {
    platform::TimeZoneQuery query;
    query.resultCode = platform::kTimeZoneIdStandard;
    query.record = test::Record(-60, test::Rule(3, 5, 0, 2), test::Rule(10, 5, 0, 3), -60);
    previous_ = SetTimeZoneSource(std::make_shared<TFixedTimeZoneSource>(query, -3600));
  }
  ~TEuropeZone() { SetTimeZoneSource(previous_); }

private:
  std::shared_ptr<ITimeZoneSource> previous_;
};

int32_t DateNumber(double day) {
  const DateTimeParts p = DecodeDateTime(day);
  return p.year * 10000 + p.month * 100 + p.day;
}

msgen::MsGenBar Bar(double day, int minuteOfDay, float close) {
  msgen::MsGenBar b;
  b.date = DateNumber(day);
  b.time = minuteOfDay / 60 * 10000 + minuteOfDay % 60 * 100;
  b.open = close - 0.25f;
  b.high = close + 0.5f;
  b.low = close - 0.5f;
  b.close = close;
  b.volume = 100 + minuteOfDay;
  return b;
}

msgen::MsGenSecurity Security(int fileNumber, const std::string& symbol, char period, int interval) {
  msgen::MsGenSecurity s;
  s.fileNumber = fileNumber;
  s.symbol = symbol;
  s.name = symbol;
  s.period = period;
  s.interval = interval;
  s.fieldMask = msgen::kMaskDtohlcv;
  return s;
}

// Intraday bars every `step` minutes around the clock (midnight bars count
// for the day before), daily bars on every day, from 2025-12-15 to
// 2026-04-10: the range crosses month and year ends and the start of
// daylight saving.
msgen::MsGenDirectory Directory() {
  const double first = DateValue(2025, 12, 15), last = DateValue(2026, 4, 10);
  msgen::MsGenDirectory d;
  auto intraday = [&](int fileNumber, const std::string& symbol, int interval, int step, float base) {
    msgen::MsGenSecurity s = Security(fileNumber, symbol, 'I', interval);
    for (double day = first; day <= last; ++day)
      for (int minute = 0; minute < 1440; minute += step)
        s.bars.push_back(Bar(day, minute, base + static_cast<float>(minute % 97) / 4));
    return s;
  };
  d.securities.push_back(intraday(1, "AAA", 1, 90, 10));
  d.securities.push_back(intraday(2, "BBB", 5, 120, 50));
  // Out of order: a block of January written again after March, and a
  // repeated bar.
  msgen::MsGenSecurity late = intraday(3, "CCC", 1, 180, 20);
  std::vector<msgen::MsGenBar> again(late.bars.begin() + 300, late.bars.begin() + 360);
  late.bars.insert(late.bars.end() - 40, again.begin(), again.end());
  late.bars.insert(late.bars.begin() + 100, late.bars[100]);
  d.securities.push_back(late);
  // One symbol at two intervals: the finest is converted.
  d.securities.push_back(intraday(4, "EURUSD", 5, 60, 1));
  d.securities.push_back(intraday(5, "EURUSD", 1, 240, 1));
  // Daily: one symbol twice, the one with fewer bars in the first month
  // having more over the range (the choice is made over the whole range).
  msgen::MsGenSecurity daily = Security(6, "DLY", 'D', 0);
  for (double day = first; day <= last; ++day) daily.bars.push_back(Bar(day, 0, 30 + static_cast<float>(day) / 100));
  d.securities.push_back(daily);
  msgen::MsGenSecurity dupA = Security(7, "DUP", 'D', 0), dupB = Security(8, "DUP", 'D', 0);
  for (double day = first; day <= last; ++day) {
    if (day < DateValue(2026, 1, 1)) dupA.bars.push_back(Bar(day, 0, 5));
    if (static_cast<int>(day) % 2 == 0) dupB.bars.push_back(Bar(day, 0, 6));
  }
  d.securities.push_back(dupA);
  d.securities.push_back(dupB);
  return d;
}

using Files = std::map<std::string, std::string>;  // path in the output -> bytes

Files OutputFiles(const fs::path& out) {
  Files files;
  for (const auto& e : fs::recursive_directory_iterator(out)) {
    if (!e.is_regular_file()) continue;
    Bytes bytes;
    omz::Failure error;
    EXPECT_TRUE(omz::ReadWholeFile(e.path(), bytes, error)) << error;
    files[fs::relative(e.path(), out).generic_string()] = std::string(bytes.begin(), bytes.end());
  }
  return files;
}

// Stops the run when the second window begins: after the first window's
// archives, before the second is read.
class TStopAtWindow : public test::TRecordingStatus {
public:
  void LogLine(const std::string& text) override {
    if (text.rfind("Window 2 of", 0) == 0) stop = true;
  }
  bool StopRequested() const override { return stop || TRecordingStatus::StopRequested(); }
  bool stop = false;
};

struct WindowedConversion : testing::Test {
  TEuropeZone zone;
  test::TScratchDir dir;
  TRunSettings settings;

  WindowedConversion() {
    std::string error;
    EXPECT_TRUE(msgen::WriteMetastockDirectory(Directory(), dir.Path() / "ms", &error)) << error;
    settings.msDir = (dir.Path() / "ms").generic_string() + "/";
    settings.from = DateValue(2025, 12, 20, 12, 0);
    settings.to = DateValue(2026, 4, 5, 23, 59);
    settings.autoClose = true;
  }

  struct Result {
    Files files;
    std::string notes;
    size_t windows = 0;
  };

  Result Run(const std::string& name, int64_t budgetBytes, test::TRecordingStatus& status) {
    TRunSettings s = settings;
    s.memoryBudgetBytes = budgetBytes;
    const fs::path out = dir.Path() / name;
    fs::create_directories(out);
    s.output = out.generic_string() + "/";
    ExportOptions options;
    options.stampTime = [] { return 1767225600u; };
    TConversion conversion(s, status);
    conversion.SetExportOptions(options);
    EXPECT_TRUE(conversion.AnalyseSecurities());
    EXPECT_TRUE(conversion.CollectPriceData());
    if (!status.StopRequested()) EXPECT_TRUE(conversion.ExportArchives());
    return {OutputFiles(out), conversion.Notes(), conversion.Windows()};
  }
};

TEST_F(WindowedConversion, GivesTheArchivesAndNotesOfOneWindow) {
  test::TRecordingStatus wholeStatus;
  const Result whole = Run("whole", int64_t{1} << 40, wholeStatus);
  ASSERT_EQ(whole.windows, 1u);
  ASSERT_GT(whole.files.size(), 100u);
  EXPECT_NE(whole.notes.find("CCC"), std::string::npos) << whole.notes;
  EXPECT_NE(whole.notes.find("DUP (F7"), std::string::npos) << whole.notes;
  EXPECT_NE(whole.notes.find("EURUSD at 5 minutes"), std::string::npos) << whole.notes;

  // Budgets that split the range into months and into single days (each
  // of them beyond so small a budget, which the note then says).
  for (const int64_t budget : {int64_t{420000}, int64_t{480000}, int64_t{1}}) {
    SCOPED_TRACE(budget);
    test::TRecordingStatus status;
    const Result windowed = Run("b" + std::to_string(budget), budget, status);
    EXPECT_GT(windowed.windows, 2u);
    EXPECT_EQ(windowed.files.size(), whole.files.size());
    for (const auto& [path, bytes] : whole.files) {
      const auto it = windowed.files.find(path);
      ASSERT_NE(it, windowed.files.end()) << path;
      EXPECT_TRUE(it->second == bytes) << path;
    }
    const std::string overBudget = "\nBars of a single day beyond the memory budget";
    if (budget == 1) {
      EXPECT_EQ(windowed.windows, static_cast<size_t>(DateValue(2026, 4, 5) - DateValue(2025, 12, 20) + 1));
      const size_t at = windowed.notes.find(overBudget);
      ASSERT_NE(at, std::string::npos) << windowed.notes;
      EXPECT_NE(windowed.notes.find("2026-03-29", at), std::string::npos);
      EXPECT_EQ(windowed.notes.substr(0, at), whole.notes);
    } else {
      EXPECT_EQ(windowed.notes, whole.notes);
    }
  }
}

TEST_F(WindowedConversion, AStopLeavesOnlyWholeArchivesOfTheWholeRun) {
  test::TRecordingStatus wholeStatus;
  const Result whole = Run("whole", int64_t{1} << 40, wholeStatus);
  auto checkPart = [&](const Result& part) {
    EXPECT_LT(part.files.size(), whole.files.size());
    for (const auto& [path, bytes] : part.files) {
      const auto it = whole.files.find(path);
      ASSERT_NE(it, whole.files.end()) << path;  // no temporary or unpacked file
      EXPECT_TRUE(it->second == bytes) << path;
    }
  };
  {
    SCOPED_TRACE("between windows");
    TStopAtWindow status;
    const Result part = Run("between", 480000, status);
    EXPECT_GT(part.windows, 2u);
    EXPECT_FALSE(part.files.empty());  // the first window's archives
    checkPart(part);
  }
  // Stops asked for a third and two thirds into a whole windowed run.
  test::TRecordingStatus counting;
  counting.stopAfter = std::numeric_limits<long>::max();  // never reached, but every question counted
  Run("counting", 480000, counting);
  ASSERT_GT(counting.asked, 30);
  for (const long stopAfter : {counting.asked / 3, counting.asked * 2 / 3}) {
    SCOPED_TRACE(stopAfter);
    test::TRecordingStatus status;
    status.stopAfter = stopAfter;
    checkPart(Run("inside" + std::to_string(stopAfter), 480000, status));
  }
}

}  // namespace
}  // namespace vz::app
