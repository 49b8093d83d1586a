// Every real MetaStock directory of the corpus that opens converts over a
// range covering its data; intraday archives read back as their bars.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "app/run/Analysis.h"
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
// listed intraday bar one minute earlier, inside the range, every distinct
// time once whatever the file order; four ticks on the UTC-5 clock (six
// hours earlier in a zone without daylight saving). Of securities sharing
// a symbol the finest interval counts (then the most bars, then the lower
// file number).
std::map<std::string, size_t> ExpectedTickCounts(const std::string& msDir, double from, double to) {
  bool raised = false;
  std::string why;
  auto source = OpenMsSource(msDir, raised, why);
  std::map<std::string, size_t> counts;
  if (!source) return counts;
  TRunSettings settings;
  test::TRecordingStatus status;
  SecurityTables tables;
  RunNotes notes;
  FillSecurityTables(*source, settings, status, tables, notes);
  struct Candidate {
    std::tuple<int, int64_t, int> rank;
    std::map<std::string, size_t> counts;
  };
  std::map<std::string, Candidate> bySymbol;
  std::vector<BarEntry> bars;
  for (const DescrRow& row : tables.descr) {
    if (!(row.DateFrom <= row.DateTo)) continue;
    source->ReadBars(row.No, bars, why);
    std::set<int64_t> times;
    for (const BarEntry& b : bars) times.insert(b.time - 60);
    Candidate c;
    int64_t kept = 0;
    for (int64_t shifted : times) {
      const double t = 25569.0 + static_cast<double>(shifted) / 86400;
      if (t < from || t > to) continue;
      ++kept;
      const int64_t day = static_cast<int64_t>(t);
      char name[32];
      const DateTimeParts p = DecodeDateTime(static_cast<double>(day));
      std::snprintf(name, sizeof name, "%04d_%02d/i%02d%02d%02d.omz", p.year, p.month, p.year % 100, p.month,
                    p.day);
      c.counts[name] += 4;
    }
    c.rank = {row.Interval, -kept, source->Security(row.No).fileNumber};
    const std::string symbol = row.Symbol.substr(0, 15);
    auto [it, fresh] = bySymbol.emplace(symbol, c);
    if (!fresh && c.rank < it->second.rank) it->second = c;
  }
  for (const auto& [symbol, c] : bySymbol)
    for (const auto& [name, n] : c.counts) counts[name] += n;
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
    std::vector<omz::TickBlockInfo> blocks;
    const auto ticks = test::IntradayArchiveTicks(e.path(), &blocks);
    EXPECT_EQ(ticks.size(), it->second) << rel;
    // Each symbol's ticks rise in time, and the index keys ascend.
    for (size_t i = 1; i < ticks.size(); ++i) {
      if (omz::TickSymbol(ticks[i]) == omz::TickSymbol(ticks[i - 1])) {
        ASSERT_LE(ticks[i - 1].dateTime, ticks[i].dateTime) << rel << " tick " << i;
      }
    }
    // Every block but the last of its symbol holds 60 ticks.
    for (size_t b = 0; b + 1 < blocks.size(); ++b) {
      if (blocks[b + 1].symbol == blocks[b].symbol) {
        ASSERT_EQ(blocks[b].count, 60) << rel << " block " << b;
      }
    }
    const auto keys = test::IntradayArchiveKeys(e.path());
    for (size_t i = 1; i < keys.size(); ++i) ASSERT_LT(keys[i - 1], keys[i]) << rel << " leaf " << i;
  }
  for (const auto& [name, count] : expected) EXPECT_TRUE(fs::exists(scratch.Path() / "out" / name)) << name;
  EXPECT_GT(archives, 0u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusConversion,
                         testing::Values("bbfinance", "cse_intra", "equis_a", "equis_b", "m2pd", "mininge",
                                         "oko_daily", "oko_intra", "stooq"));

}  // namespace
}  // namespace vz::app
