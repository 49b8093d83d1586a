#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "app/console/InspectMetastock.h"
#include "support/ScratchDir.h"
#include "tools/msgen/MsGen.h"

namespace vz {
namespace {

class InspectMetastockTest : public testing::Test {
protected:
  void SetUp() override {
    msgen::MsGenDirectory d;
    msgen::MsGenSecurity daily;
    daily.fileNumber = 3;
    daily.symbol = "ABCDEFGHIJKL";
    daily.name = "D1_Daily security";
    daily.fieldMask = msgen::kMaskDohlcvi;
    daily.bars = {{20020221, 0, 1.1f, 2.25f, 0.1f, 1.9f, 12345, 7}, {20390105, 0, 3.3f, 4.4f, 3.0f, 4.0f, 500, 8}};
    msgen::MsGenSecurity intraday;
    intraday.fileNumber = 300;
    intraday.symbol = "M5_X";
    intraday.name = "M5_Intraday";
    intraday.period = 'I';
    intraday.interval = 5;
    intraday.fieldMask = msgen::kMaskDtohlcv;
    intraday.bars = {{20020221, 93000, 10, 11, 9, 10.5f, 100, 0}, {20020221, 93500, 10.5f, 12, 10, 11, 200, 0}};
    d.securities = {daily, intraday};
    std::string error;
    ASSERT_TRUE(msgen::WriteMetastockDirectory(d, scratch_.Path(), &error)) << error;
  }
  std::string Dir() const { return scratch_.Path().string(); }
  test::TScratchDir scratch_;
};

TEST_F(InspectMetastockTest, ListsEverySecurityInListOrder) {
  std::ostringstream out, err;
  ASSERT_EQ(RunListCommand(Dir(), out, err), 0) << err.str();
  EXPECT_EQ(out.str(),
            "3\tABCDEFGHIJKL\tD1_Daily security\tD\t0\t2002-02-21 00:00:00\t2039-01-05 00:00:00\t2\n"
            "300\tM5_X\tM5_Intraday\tI\t5\t2002-02-21 00:00:00\t2002-02-21 00:00:00\t2\n");
  EXPECT_EQ(err.str(), "");
}

TEST_F(InspectMetastockTest, PrintsBarsThatReadBackToTheSameFloats) {
  std::ostringstream out, err;
  ASSERT_EQ(RunBarsCommand(Dir(), "ABCDEFGHIJKL", out, err), 0) << err.str();
  EXPECT_EQ(out.str(),
            "2002-02-21 00:00:00,1.10000002,2.25,0.100000001,1.89999998,12345,7\n"
            "2039-01-05 00:00:00,3.29999995,4.4000001,3,4,500,8\n");
  EXPECT_EQ(std::strtof("1.10000002", nullptr), 1.1f);
  std::ostringstream intraday;
  ASSERT_EQ(RunBarsCommand(Dir(), "M5_X", intraday, err), 0);
  EXPECT_EQ(intraday.str(), "2002-02-21 09:30:00,10,11,9,10.5,100,0\n2002-02-21 09:35:00,10.5,12,10,11,200,0\n");
}

TEST_F(InspectMetastockTest, FailsWithAMessage) {
  const struct {
    std::string dir;
    std::string symbol;
    const char* message;
  } cases[] = {{Dir(), "NOPE", "not listed"}, {Dir() + "/missing", "M5_X", "Can't open"}};
  for (const auto& c : cases) {
    std::ostringstream out, err;
    EXPECT_NE(RunBarsCommand(c.dir, c.symbol, out, err), 0);
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "");
  }
  std::ostringstream out, err;
  EXPECT_NE(RunListCommand(Dir() + "/missing", out, err), 0);
  EXPECT_NE(err.str().find("no such folder"), std::string::npos) << err.str();
}

namespace fs = std::filesystem;

// An output that refuses every byte, as a full disk does.
class TFullBuffer : public std::streambuf {
protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
};

TEST_F(InspectMetastockTest, OutputThatCannotBeWrittenFails) {
  TFullBuffer full;
  std::ostream out(&full);
  std::ostringstream err;
  EXPECT_EQ(RunListCommand(Dir(), out, err), 1);
  EXPECT_NE(err.str().find("Can't write the output"), std::string::npos) << err.str();
  std::ostream bars(&full);
  EXPECT_EQ(RunBarsCommand(Dir(), "M5_X", bars, err), 1);
}

// Names, bytes and permissions of every entry: equal snapshots mean the
// directory was left exactly as it was.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string kind = e.is_regular_file() ? test::ReadFileBytes(e.path()) : "(not a file)";
    files[e.path().filename().string()] = kind + "|" + std::to_string(static_cast<int>(e.status().permissions()));
  }
  return files;
}

// Lists a directory and prints the bars of its first listed security.
void ListAndPrintBars(const std::string& dir) {
  std::ostringstream out, err;
  ASSERT_EQ(RunListCommand(dir, out, err), 0) << err.str();
  const std::string first = out.str().substr(0, out.str().find('\n'));
  const size_t tab = first.find('\t');
  ASSERT_NE(tab, std::string::npos) << dir;
  const std::string symbol = first.substr(tab + 1, first.find('\t', tab + 1) - tab - 1);
  std::ostringstream bars;
  RunBarsCommand(dir, symbol, bars, err);
}

TEST_F(InspectMetastockTest, LeavesTheDirectoryByteIdentical) {
  const auto before = Snapshot(scratch_.Path());
  ListAndPrintBars(Dir());
  std::ostringstream out, err;
  EXPECT_NE(RunBarsCommand(Dir(), "NOPE", out, err), 0);
  EXPECT_EQ(Snapshot(scratch_.Path()), before);
}

TEST(InspectMetastockCorpus, LeavesEveryCorpusDirectoryByteIdentical) {
  if (!test::HaveCorpus()) GTEST_SKIP() << "no corpus";
  for (const char* name :
       {"bbfinance", "cse_intra", "equis_a", "equis_b", "m2pd", "mininge", "oko_daily", "oko_intra", "stooq"}) {
    test::TScratchDir scratch;
    const fs::path dir = test::CopyCorpusDir(name, scratch.Path());
    const auto before = Snapshot(dir);
    ListAndPrintBars(dir.string());
    EXPECT_EQ(Snapshot(dir), before) << name;
  }
}

TEST_F(InspectMetastockTest, BarsOfOneOfSeveralSecuritiesSharingASymbol) {
  msgen::MsGenDirectory d;
  msgen::MsGenSecurity one;
  one.fileNumber = 1;
  one.symbol = "EURUSD";
  one.name = "EURUSD";
  one.period = 'I';
  one.interval = 1;
  one.fieldMask = msgen::kMaskDtohlcv;
  one.bars = {{20020221, 93000, 1, 1, 1, 1, 10, 0}};
  msgen::MsGenSecurity five = one;
  five.fileNumber = 2;
  five.interval = 5;
  five.bars = {{20020221, 93500, 2, 2, 2, 2, 20, 0}};
  d.securities = {one, five};
  test::TScratchDir scratch;
  std::string error;
  ASSERT_TRUE(msgen::WriteMetastockDirectory(d, scratch.Path(), &error)) << error;
  const std::string dir = scratch.Path().string();
  const struct {
    const char* argument;
    std::string bars;  // "" = refused
    const char* note;
  } cases[] = {
      {"EURUSD", "2002-02-21 09:30:00,1,1,1,1,10,0\n", "listed 2 times; these are the bars of the first (F1.DAT, F2.DAT)"},
      {"F2.DAT", "2002-02-21 09:35:00,2,2,2,2,20,0\n", ""},
      {"f1.dat", "2002-02-21 09:30:00,1,1,1,1,10,0\n", ""},
      {"F3.DAT", "", "not listed"},
      {"F2.MWD", "", "not listed"},
      {"F02.DAT", "", "not listed"},
  };
  for (const auto& c : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(RunBarsCommand(dir, c.argument, out, err), c.bars.empty() ? 1 : 0) << c.argument;
    EXPECT_EQ(out.str(), c.bars) << c.argument;
    if (*c.note == '\0')
      EXPECT_EQ(err.str(), "") << c.argument;
    else
      EXPECT_NE(err.str().find(c.note), std::string::npos) << c.argument << ": " << err.str();
  }
}

}  // namespace
}  // namespace vz
