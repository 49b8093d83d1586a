// The real directories of the shared corpus, each opened in a scratch copy.
#include <gtest/gtest.h>

#include <map>

#include "MsTestSupport.h"
#include "metastock/MsPriceData.h"
#include "platform/FileSystem.h"
#include "support/ScratchDir.h"

namespace fs = std::filesystem;

namespace vz {
namespace {

struct TCorpusCase {
  const char* name;
  int securities;
};

class MsCorpusTest : public testing::TestWithParam<TCorpusCase> {};

std::map<std::string, std::string> DataFiles(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const std::string& name : platform::ListFileNames(dir.string()))
    if (name.size() > 1 && (name[0] == 'F' || name[0] == 'f') && std::isdigit(static_cast<unsigned char>(name[1])))
      files[name] = test::ReadFileBytes(dir / name);
  return files;
}

TEST_P(MsCorpusTest, OpensListsReadsAndClosesWithoutLoss) {
  if (!test::HaveCorpus()) GTEST_SKIP() << "no corpus";
  const TCorpusCase& c = GetParam();
  test::TScratchDir scratch;
  const fs::path dir = test::CopyCorpusDir(c.name, scratch.Path());
  const auto before = DataFiles(dir);
  const std::string masterPath = MsFindFile(dir.string(), kMsMasterName);
  const Bytes master = test::ReadBytes(masterPath);

  MsDirectory* open = MsOpenDirectory(dir.string(), 100, "Test program", "corpus");
  ASSERT_NE(open, nullptr) << MsLastError();
  EXPECT_EQ(open->securityCount, c.securities);
  size_t bars = 0;
  std::vector<MsBar> read;
  for (MsSecurity& s : open->securities) {
    const int32_t n = MsReadBars(*open, s, read);
    ASSERT_GE(n, 0) << s.symbol;
    bars += static_cast<size_t>(n);
    for (const MsBar& bar : read) ASSERT_TRUE(bar.close == bar.close) << s.symbol;  // no NaN from garbage words
  }
  EXPECT_GT(bars, 0u);
  EXPECT_EQ(MsCloseDirectory(open), 1) << MsLastError();

  // Every data file that was there keeps its bytes; only missing files of
  // listed securities were added.
  const auto after = DataFiles(dir);
  for (const auto& [name, bytes] : before) EXPECT_EQ(after.at(name), bytes) << name;
  // MASTER gets only the new stamp.
  Bytes masterAfter = test::ReadBytes(masterPath);
  ASSERT_EQ(masterAfter.size(), master.size());
  std::copy(master.begin() + 49, master.begin() + 53, masterAfter.begin() + 49);
  EXPECT_EQ(masterAfter, master);

  // A second opening finds the same list.
  open = MsOpenDirectory(dir.string(), 100, "Test program", "corpus");
  ASSERT_NE(open, nullptr) << MsLastError();
  EXPECT_EQ(open->securityCount, c.securities);
  MsCloseDirectory(open);
}

INSTANTIATE_TEST_SUITE_P(Corpus, MsCorpusTest,
                         testing::Values(TCorpusCase{"bbfinance", 40}, TCorpusCase{"cse_intra", 260},
                                         TCorpusCase{"equis_a", 2846}, TCorpusCase{"equis_b", 4},
                                         TCorpusCase{"m2pd", 422}, TCorpusCase{"mininge", 25},
                                         TCorpusCase{"oko_daily", 462}, TCorpusCase{"oko_intra", 1},
                                         TCorpusCase{"stooq", 1}),
                         [](const testing::TestParamInfo<TCorpusCase>& info) { return std::string(info.param.name); });

TEST(MsCorpus, StaleEmasterOfBbfinanceYieldsToMaster) {
  if (!test::HaveCorpus()) GTEST_SKIP() << "no corpus";
  test::TScratchDir scratch;
  const fs::path dir = test::CopyCorpusDir("bbfinance", scratch.Path());
  MsDirectory* open = MsOpenDirectory(dir.string(), 100, "Test program", "corpus");
  ASSERT_NE(open, nullptr) << MsLastError();
  bool haveMonc = false;
  std::vector<MsBar> bars;
  for (MsSecurity& s : open->securities) {
    EXPECT_NE(s.fileNumber, 16) << "EMASTER-only security listed";
    if (s.fileNumber == 28) {
      haveMonc = std::string(s.symbol) == "MONC";
      EXPECT_GT(MsReadBars(*open, s, bars), 0);
    }
  }
  EXPECT_TRUE(haveMonc);
  MsCloseDirectory(open);
  EXPECT_FALSE(platform::FileExists((dir / "F16.DAT").string()));
  // EMASTER keeps the record of F16 that MASTER does not list and gains MONC.
  const Bytes emaster = test::ReadBytes(MsFindFile(dir.string(), kMsEmasterName));
  int f16 = 0, f28 = 0;
  for (size_t i = 1; i <= LoadU16(emaster.data()) && 192 * (i + 1) <= emaster.size(); ++i) {
    f16 += emaster[192 * i + 2] == 16;
    f28 += emaster[192 * i + 2] == 28;
  }
  EXPECT_EQ(f16, 1);
  EXPECT_EQ(f28, 1);
}

TEST(MsCorpus, IntradayGoldenFileDecodes) {
  if (!test::HaveCorpus()) GTEST_SKIP() << "no corpus";
  test::TScratchDir scratch;
  const fs::path dir = test::CopyCorpusDir("oko_intra", scratch.Path());
  MsDirectory* open = MsOpenDirectory(dir.string(), 100, "Test program", "corpus");
  ASSERT_NE(open, nullptr) << MsLastError();
  ASSERT_EQ(open->securityCount, 1);
  EXPECT_EQ(open->securities[0].period, 'I');
  EXPECT_EQ(open->securities[0].interval, 1);
  std::vector<MsBar> bars;
  ASSERT_EQ(MsReadBars(*open, open->securities[0], bars), 64885);
  EXPECT_EQ(bars.front().time / 86400, 12054);  // 2003-01-02
  EXPECT_EQ(bars.back().time / 86400, 12237);   // 2003-07-04
  for (size_t i = 1; i < bars.size(); ++i) ASSERT_GE(bars[i].time, bars[i - 1].time) << i;
  MsCloseDirectory(open);
}

}  // namespace
}  // namespace vz
