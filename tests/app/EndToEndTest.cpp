// Whole conversions of generated MetaStock directories, checked against
// bars computed here from the directory's description.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "app/run/Conversion.h"
#include "StagesArchives.h"
#include "StagesFakes.h"
#include "support/ScratchDir.h"
#include "tools/msgen/MsGen.h"
#include "tools/msgen/MsSample.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;
using test::DateValue;

msgen::MsGenBar GenBar(int32_t date, int32_t time, float close, float volume = 500) {
  msgen::MsGenBar b;
  b.date = date;
  b.time = time;
  b.open = close - 0.25f;
  b.high = close + 0.5f;
  b.low = close - 0.5f;
  b.close = close;
  b.volume = volume;
  return b;
}

double BarDateTime(const msgen::MsGenBar& b) {
  return DateValue(b.date / 10000, b.date / 100 % 100, b.date % 100, b.time / 10000, b.time / 100 % 100);
}

msgen::MsGenDirectory Directory(float closeShift) {
  msgen::MsGenDirectory d;
  msgen::MsGenSecurity daily;
  daily.fileNumber = 1;
  daily.symbol = "ACME";
  daily.name = "D1_ACME";
  daily.fieldMask = msgen::kMaskDtohlcv;  // with a time of day
  for (int32_t date : {20010330, 20010402, 20010417, 20010502, 20010531})
    daily.bars.push_back(GenBar(date, date == 20010531 ? 100000 : 0, 10 + closeShift + date % 100));
  daily.bars.push_back(GenBar(20010601, 0, 99));
  msgen::MsGenSecurity odd = daily;  // "_" without a period prefix
  odd.fileNumber = 2;
  odd.symbol = "BKG.L";
  odd.name = "BKG_u.L";
  odd.fieldMask = msgen::kMaskDohlcv;
  for (auto& b : odd.bars) b.time = 0;
  msgen::MsGenSecurity eur;
  eur.fileNumber = 3;
  eur.symbol = "EURUSD";
  eur.name = "M5_EURUSD";
  eur.period = 'I';
  eur.interval = 1;
  eur.fieldMask = msgen::kMaskDtohlcv;
  eur.bars = {GenBar(20010425, 120000, 1.5f),  GenBar(20010427, 0, 1.25f + closeShift),
              GenBar(20010427, 100100, 1.75f), GenBar(20010427, 100100, 1.8f),  // repeated minute
              GenBar(20010427, 235900, 1.5f),  GenBar(20010430, 90000, 2.0f, 3e9f),
              GenBar(20010521, 100, 2.5f)};
  msgen::MsGenSecurity abc = eur;
  abc.fileNumber = 4;
  abc.symbol = "ABC";
  abc.name = "ABC";
  abc.bars = {GenBar(20010427, 93000, 7.0f), GenBar(20010427, 93100, 7.5f)};
  d.securities = {daily, odd, eur, abc};
  return d;
}

// Daily rows the archive of a month must hold, in table order (symbols
// sorted), computed from the description.
std::vector<omz::DailyRow> ExpectedDaily(const msgen::MsGenDirectory& d, int yyyymm) {
  std::vector<const msgen::MsGenSecurity*> daily;
  for (const auto& s : d.securities)
    if (s.period == 'D') daily.push_back(&s);
  std::sort(daily.begin(), daily.end(), [](auto* a, auto* b) { return a->symbol < b->symbol; });
  std::vector<omz::DailyRow> rows;
  for (const auto* s : daily)
    for (const auto& b : s->bars)
      if (b.date / 100 == yyyymm)
        rows.push_back({s->symbol, DateValue(b.date / 10000, b.date / 100 % 100, b.date % 100), b.open, b.high,
                        b.low, b.close, static_cast<int32_t>(b.volume), 0.0001});
  return rows;
}

// Ticks of each day (on the data clock) within [from, to]: each bar one
// minute earlier, repeated minutes dropped, four ticks six hours earlier.
std::map<int, std::vector<omz::Tick>> ExpectedTicks(const msgen::MsGenDirectory& d, double from, double to) {
  std::vector<const msgen::MsGenSecurity*> intraday;
  for (const auto& s : d.securities)
    if (s.period == 'I') intraday.push_back(&s);
  std::sort(intraday.begin(), intraday.end(), [](auto* a, auto* b) { return a->symbol < b->symbol; });
  std::map<int, std::vector<omz::Tick>> days;
  for (const auto* s : intraday) {
    double previous = 0;
    for (const auto& b : s->bars) {
      const double t = BarDateTime(b) - 1.0 / 1440;
      const bool keep = t > previous + 1e-9 && t >= from && t <= to;
      previous = t;
      if (!keep) continue;
      const int volume = b.volume >= 2147483647.0f ? 2147483647 : static_cast<int>(b.volume);
      const double prices[4] = {b.open, b.high, b.low, b.close};
      const int volumes[4] = {1, 1, 1, volume - 3};
      for (int k = 0; k < 4; ++k) {
        omz::Tick tick;
        omz::SetTickSymbol(tick, s->symbol);
        tick.dateTime = t - 0.25;
        tick.price = prices[k];
        tick.volume = volumes[k];
        days[static_cast<int>(t)].push_back(tick);
      }
    }
  }
  return days;
}

struct EndToEnd : testing::Test {
  test::TFixedZone zone;
  test::TScratchDir dir;
  TRunSettings settings;

  EndToEnd() {
    settings.msDir = (dir.Path() / "ms").generic_string() + "/";
    settings.output = (dir.Path() / "out").generic_string() + "/";
    settings.from = DateValue(2001, 4, 26);
    settings.to = DateValue(2001, 5, 20, 23, 59);
    settings.autoClose = true;  // notes are read from the object
    fs::create_directories(dir.Path() / "out");
  }

  // Runs the three stages; the messages shown are returned in `messages`.
  std::string Run(const msgen::MsGenDirectory& d, std::vector<std::string>* messages = nullptr) {
    std::string error;
    EXPECT_TRUE(msgen::WriteMetastockDirectory(d, dir.Path() / "ms", &error)) << error;
    test::TRecordingStatus status;
    TConversion conversion(settings, status);
    EXPECT_TRUE(conversion.AnalyseSecurities());
    EXPECT_TRUE(conversion.CollectPriceData());
    EXPECT_TRUE(conversion.ExportArchives());
    if (messages) *messages = status.messages;
    else EXPECT_TRUE(status.messages.empty());
    return conversion.Notes();
  }

  std::set<std::string> OutputFiles() const {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir.Path() / "out"))
      if (e.is_regular_file()) names.insert(fs::relative(e.path(), dir.Path() / "out").generic_string());
    return names;
  }

  void CheckArchives(const msgen::MsGenDirectory& d) {
    for (int month : {200104, 200105}) {
      SCOPED_TRACE(month);
      const std::string name = "d01" + std::to_string(month % 100 + 100).substr(1) + ".omz";
      const auto got = test::DailyArchiveRows(dir.Path() / "out" / name);
      const auto want = ExpectedDaily(d, month);
      ASSERT_EQ(got.size(), want.size());
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].name, want[i].name);
        EXPECT_EQ(got[i].date, want[i].date);
        EXPECT_NEAR(got[i].open, want[i].open, 1e-6);
        EXPECT_NEAR(got[i].close, want[i].close, 1e-6);
        EXPECT_EQ(got[i].volume, want[i].volume);
      }
    }
    for (const auto& [day, want] : ExpectedTicks(d, settings.from, settings.to)) {
      // Every expected day lies in April 2001.
      const int dd = day - static_cast<int>(DateValue(2001, 4, 1)) + 1;
      const std::string path = "2001_04/i0104" + std::to_string(100 + dd).substr(1) + ".omz";
      SCOPED_TRACE(path);
      const auto got = test::IntradayArchiveTicks(dir.Path() / "out" / path);
      ASSERT_EQ(got.size(), want.size());
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(omz::TickSymbol(got[i]), omz::TickSymbol(want[i])) << i;
        EXPECT_NEAR(got[i].dateTime, want[i].dateTime, 1e-6) << i;
        EXPECT_NEAR(got[i].price, want[i].price, 1e-6) << i;
        EXPECT_EQ(got[i].volume, want[i].volume) << i;
      }
    }
  }
};

TEST_F(EndToEnd, ConvertsAndReplacesArchivesAndFindsNextStart) {
  const msgen::MsGenDirectory first = Directory(0);
  settings.autoClose = false;
  std::vector<std::string> messages;
  const std::string notes = Run(first, &messages);
  // The unreadable period text is named once, in the run's one message.
  EXPECT_NE(notes.find("BKG.L"), std::string::npos) << notes;
  EXPECT_EQ(messages, std::vector<std::string>{notes});
  settings.autoClose = true;
  EXPECT_EQ(OutputFiles(), (std::set<std::string>{"d0104.omz", "d0105.omz", "2001_04/i010426.omz",
                                                  "2001_04/i010427.omz", "2001_04/i010430.omz"}));
  CheckArchives(first);
  // The directory was closed: its working files are gone.
  EXPECT_FALSE(fs::exists(dir.Path() / "ms" / "~MSFL.USR"));

  const msgen::MsGenDirectory second = Directory(1);
  Run(second);
  EXPECT_EQ(OutputFiles().size(), 5u);
  CheckArchives(second);
  EXPECT_EQ(FindNextStartDate(settings.output, DateValue(2001, 6, 1)), DateValue(2001, 4, 30));
}

TEST_F(EndToEnd, SelectedSecuritiesOnly) {
  settings.selected = true;
  msgen::MsGenDirectory d = Directory(0);
  fs::create_directories(dir.Path() / "ms");
  test::WriteFileBytes(dir.Path() / "ms" / "IMASTER", "Header\nSymbol;ABC\nActive;True\n\nSymbol;ACME\nActive;T\n");
  Run(d);
  EXPECT_EQ(test::DailyArchiveRows(dir.Path() / "out" / "d0104.omz").size(), 2u);  // ACME's April only
  for (const omz::Tick& t : test::IntradayArchiveTicks(dir.Path() / "out" / "2001_04" / "i010427.omz"))
    EXPECT_EQ(omz::TickSymbol(t), "ABC");
}

TEST_F(EndToEnd, SampleConvertsOneSecurityPerSymbolWithAscendingKeys) {
  // The sample holds EURUSD at 1 and at 5 minutes: the 1-minute security's
  // bars are the symbol's ticks, the other is named in the note.
  const msgen::MsGenDirectory sample = msgen::SampleDirectory();
  settings.from = DateValue(2026, 11, 24);
  settings.to = DateValue(2026, 11, 25, 23, 59);
  const std::string notes = Run(sample);
  EXPECT_NE(notes.find("EURUSD at 5 minutes"), std::string::npos) << notes;
  const msgen::MsGenSecurity* oneMinute = nullptr;
  for (const auto& s : sample.securities)
    if (s.symbol == "EURUSD" && s.period == 'I' && s.interval == 1) oneMinute = &s;
  ASSERT_NE(oneMinute, nullptr);
  msgen::MsGenDirectory alone;
  alone.securities = {*oneMinute};
  const auto want = ExpectedTicks(alone, settings.from, settings.to);
  ASSERT_FALSE(want.empty());
  for (const auto& [day, ticks] : want) {
    const DateTimeParts p = DecodeDateTime(day);
    char name[32];
    std::snprintf(name, sizeof name, "2026_11/i26%02d%02d.omz", p.month, p.day);
    SCOPED_TRACE(name);
    std::vector<omz::Tick> eur;
    for (const omz::Tick& t : test::IntradayArchiveTicks(dir.Path() / "out" / name))
      if (omz::TickSymbol(t) == "EURUSD") eur.push_back(t);
    ASSERT_EQ(eur.size(), ticks.size());
    for (size_t i = 0; i < eur.size(); ++i) {
      EXPECT_NEAR(eur[i].dateTime, ticks[i].dateTime, 1e-6) << i;
      EXPECT_NEAR(eur[i].price, ticks[i].price, 1e-4) << i;
    }
    const auto keys = test::IntradayArchiveKeys(dir.Path() / "out" / name);
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()) && std::adjacent_find(keys.begin(), keys.end()) == keys.end());
  }
}

TEST_F(EndToEnd, SecuritiesWhoseDataCannotBeReadAreNamedAndLeftOut) {
  const msgen::MsGenDirectory d = Directory(0);
  std::string error;
  ASSERT_TRUE(msgen::WriteMetastockDirectory(d, dir.Path() / "ms", &error)) << error;
  fs::remove(dir.Path() / "ms" / "F1.DAT");  // ACME: missing
  fs::remove(dir.Path() / "ms" / "F4.DAT");  // ABC: a folder in its place
  fs::create_directory(dir.Path() / "ms" / "F4.DAT");
  // EURUSD: a link to itself, where the system lets us make one.
  std::error_code linkError;
  const std::string eurBytes = test::ReadFileBytes(dir.Path() / "ms" / "F3.DAT");
  fs::remove(dir.Path() / "ms" / "F3.DAT");
  fs::create_symlink("F3.DAT", dir.Path() / "ms" / "F3.DAT", linkError);
  const bool loop = !linkError;
  if (!loop) test::WriteFileBytes(dir.Path() / "ms" / "F3.DAT", eurBytes);
  test::TRecordingStatus status;
  TConversion conversion(settings, status);
  ASSERT_TRUE(conversion.AnalyseSecurities());
  ASSERT_TRUE(conversion.CollectPriceData());
  ASSERT_TRUE(conversion.ExportArchives());
  EXPECT_TRUE(conversion.LeftOut());
  const std::string notes = conversion.Notes();
  EXPECT_NE(notes.find("ACME (F1.DAT is missing)"), std::string::npos) << notes;
  EXPECT_NE(notes.find("ABC (F4.DAT is not a regular file)"), std::string::npos) << notes;
  if (loop) {
    EXPECT_NE(notes.find("EURUSD (F3.DAT cannot be read: "), std::string::npos) << notes;
  }
  // The others are converted.
  for (const omz::DailyRow& r : test::DailyArchiveRows(dir.Path() / "out" / "d0104.omz")) EXPECT_EQ(r.name, "BKG.L");
  if (!loop) {
    for (const omz::Tick& t : test::IntradayArchiveTicks(dir.Path() / "out" / "2001_04" / "i010427.omz"))
      EXPECT_EQ(omz::TickSymbol(t), "EURUSD");
  }
}

TEST_F(EndToEnd, MissingDirectoryFailsAnalysis) {
  test::TRecordingStatus status;
  TConversion conversion(settings, status);
  EXPECT_FALSE(conversion.AnalyseSecurities());
  EXPECT_EQ(status.statuses.front(), "Analysing MetaStock directory...");
}

}  // namespace
}  // namespace vz::app
