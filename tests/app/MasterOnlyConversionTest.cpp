// Directories with MASTER and data files but no EMASTER convert end to end,
// and their archives read back as their bars.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "StagesArchives.h"
#include "StagesFakes.h"
#include "app/run/Conversion.h"
#include "metastock/MsDirectory.h"
#include "metastock/MsPriceData.h"
#include "support/ScratchDir.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;

// Each price of the directory's bars, per security label (symbol, else name)
// and day.
using TPrices = std::map<std::string, std::map<int64_t, std::set<double>>>;

TPrices DirectoryPrices(const std::string& dir, int shiftSeconds) {
  TPrices prices;
  MsDirectory* opened = MsOpenDirectoryToRead(dir);
  EXPECT_NE(opened, nullptr) << MsLastError();
  if (!opened) return prices;
  std::vector<MsBar> bars;
  for (MsSecurity& s : opened->securities) {
    if (MsReadBars(*opened, s, bars) < 0) continue;
    const std::string label = s.symbol[0] ? s.symbol : s.name;
    for (const MsBar& b : bars)
      for (double p : {b.open, b.high, b.low, b.close})
        prices[label.substr(0, 15)][(b.time - shiftSeconds) / 86400].insert(std::round(p * 10000));
  }
  MsCloseDirectory(opened);
  return prices;
}

class MasterOnlyConversion : public testing::TestWithParam<const char*> {};

TEST_P(MasterOnlyConversion, ConvertsAndReadsBackAsItsBars) {
  if (!test::HaveCorpus()) GTEST_SKIP() << "no corpus";
  test::TFixedZone zone;
  test::TScratchDir scratch;
  const fs::path ms = test::CopyCorpusDir(GetParam(), scratch.Path());
  ASSERT_FALSE(fs::exists(ms / "EMASTER"));
  TRunSettings settings;
  settings.msDir = ms.generic_string() + "/";
  settings.output = (scratch.Path() / "out").generic_string() + "/";
  settings.from = test::DateValue(1980, 1, 1);
  settings.to = test::DateValue(2030, 12, 31, 23, 59);
  settings.autoClose = true;
  fs::create_directories(scratch.Path() / "out");
  test::TRecordingStatus status;
  {
    TConversion conversion(settings, status);
    ASSERT_TRUE(conversion.AnalyseSecurities());
    ASSERT_TRUE(conversion.CollectPriceData());
    ASSERT_TRUE(conversion.ExportArchives()) << conversion.Notes();
  }
  EXPECT_FALSE(fs::exists(ms / "EMASTER"));

  // Daily rows by their day; ticks one minute earlier, six hours behind
  // (UTC-5 against the fixed zone's UTC+1).
  const TPrices daily = DirectoryPrices(ms.string(), 0);
  const TPrices intraday = DirectoryPrices(ms.string(), 60 + 6 * 3600);
  size_t checked = 0;
  for (const auto& e : fs::recursive_directory_iterator(scratch.Path() / "out")) {
    if (!e.is_regular_file()) continue;
    const bool isDaily = e.path().parent_path() == scratch.Path() / "out";
    if (isDaily) {
      for (const omz::DailyRow& row : test::DailyArchiveRows(e.path())) {
        const int64_t day = static_cast<int64_t>(row.date) - 25569;
        const auto& days = daily.at(row.name);
        ASSERT_TRUE(days.count(day)) << row.name << " " << day;
        for (double p : {row.open, row.high, row.low, row.close})
          EXPECT_TRUE(days.at(day).count(std::round(p * 10000))) << row.name << " " << day << " " << p;
        ++checked;
      }
    } else {
      for (const omz::Tick& tick : test::IntradayArchiveTicks(e.path())) {
        const int64_t day = static_cast<int64_t>(std::floor(tick.dateTime)) - 25569;
        const auto& days = intraday.at(omz::TickSymbol(tick));
        ASSERT_TRUE(days.count(day)) << omz::TickSymbol(tick) << " " << day;
        EXPECT_TRUE(days.at(day).count(std::round(tick.price * 10000))) << tick.price;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 0u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, MasterOnlyConversion, testing::Values("mininge", "stooq"));

}  // namespace
}  // namespace vz::app
