// Every real MetaStock directory of the corpus that opens converts over a
// range covering its data; intraday archives read back as their bars.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/run/AnalysisSource.h"
#include "app/run/Conversion.h"
#include "StagesArchives.h"
#include "StagesFakes.h"
#include "support/ScratchDir.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;

struct DayTicks {
  std::vector<omz::Tick> ticks;
};

// Ticks per archive path, computed from the directory's own bars: each
// listed intraday bar one minute earlier, inside the range, later than the
// bar before it; four ticks on the UTC-5 clock (six hours earlier in a zone
// without daylight saving).
std::map<std::string, size_t> ExpectedTickCounts(const std::string& msDir, double from, double to) {
  bool raised = false;
  std::string why;
  auto source = OpenMsSource(msDir, raised, why);
  std::map<std::string, size_t> counts;
  if (!source) return counts;
  std::vector<BarEntry> bars;
  for (int q = 0; q < source->SecurityCount(); ++q) {
    const SecurityEntry s = source->Security(q);
    if (!s.inUse || s.hidden || s.period != 'I') continue;
    source->ReadBars(q, bars);
    int64_t previous = INT64_MIN;
    for (const BarEntry& b : bars) {
      const int64_t shifted = b.time - 60;
      const bool keep = shifted > previous;
      previous = shifted;
      const double t = 25569.0 + static_cast<double>(shifted) / 86400;
      if (!keep || t < from || t > to) continue;
      const int64_t day = static_cast<int64_t>(t);
      char name[32];
      const DateTimeParts p = DecodeDateTime(static_cast<double>(day));
      std::snprintf(name, sizeof name, "%04d_%02d/i%02d%02d%02d.omz", p.year, p.month, p.year % 100, p.month,
                    p.day);
      counts[name] += 4;
    }
  }
  source->Close();
  return counts;
}

class CorpusConversion : public testing::TestWithParam<const char*> {};

TEST_P(CorpusConversion, ConvertsWithoutLosingBars) {
  if (!test::HaveCorpus()) GTEST_SKIP() << "no corpus";
  test::TFixedZone zone;
  test::TScratchDir scratch;
  const fs::path ms = test::CopyCorpusDir(GetParam(), scratch.Path());
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
    if (!conversion.AnalyseSecurities()) {
      // Directories the library refuses (no EMASTER) fail the first stage.
      SUCCEED() << GetParam() << " does not open";
      return;
    }
    ASSERT_TRUE(conversion.CollectPriceData());
    ASSERT_TRUE(conversion.ExportArchives()) << conversion.Notes();
    RecordProperty("notes", conversion.Notes());
  }
  const auto expected = ExpectedTickCounts(settings.msDir, settings.from, settings.to);
  size_t archives = 0;
  for (const auto& e : fs::recursive_directory_iterator(scratch.Path() / "out")) {
    if (!e.is_regular_file()) continue;
    ASSERT_EQ(e.path().extension(), ".omz") << e.path();
    ++archives;
    const std::string rel = fs::relative(e.path(), scratch.Path() / "out").generic_string();
    if (rel.find('/') == std::string::npos) {
      EXPECT_FALSE(test::DailyArchiveRows(e.path()).empty()) << rel;
      continue;
    }
    const auto it = expected.find(rel);
    ASSERT_NE(it, expected.end()) << rel;
    EXPECT_EQ(test::IntradayArchiveTicks(e.path()).size(), it->second) << rel;
  }
  for (const auto& [name, count] : expected) EXPECT_TRUE(fs::exists(scratch.Path() / "out" / name)) << name;
  EXPECT_GT(archives, 0u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusConversion,
                         testing::Values("bbfinance", "cse_intra", "equis_a", "equis_b", "m2pd", "mininge",
                                         "oko_daily", "oko_intra", "stooq"));

}  // namespace
}  // namespace vz::app
