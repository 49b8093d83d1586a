#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "support/ScratchDir.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzDescriptor.h"
#include "vuzuz/OmzFile.h"
#include "vuzuz/OmzSymbol.h"

namespace vz::omz {
namespace {

DailyRow Row(const std::string& name, double date, double open, double size = 0.0001) {
  DailyRow row;
  row.name = name;
  row.date = date;
  row.open = open;
  row.high = open + 1;
  row.low = open - 1;
  row.close = open + 0.5;
  row.volume = 1000;
  row.size = size;
  return row;
}

Bytes Build(const std::vector<DailyRow>& rows) {
  Bytes bytes;
  Failure error;
  EXPECT_TRUE(BuildDailyFile(rows, bytes, error)) << error;
  return bytes;
}

TEST(DescriptorFile, IsThirtyTwoBytesWithFormatFour) {
  test::TScratchDir dir;
  Failure error;
  ASSERT_TRUE(WriteDescriptorFile(dir.Path(), "d0203", error)) << error;
  Bytes expected(32, 0);
  expected[2] = 4;
  const std::string bytes = test::ReadFileBytes(dir.Path() / "d0203");
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), expected);
  EXPECT_FALSE(WriteDescriptorFile(dir.Path(), "../x", error));
  EXPECT_EQ(error.code, Error::kInvalidBaseName);
}

TEST(DailyFile, WritesOneBlockPerNameRun) {
  const struct {
    std::vector<std::string> names;
    std::vector<std::pair<std::string, int>> blocks;
  } cases[] = {
      {{"AAA", "AAA", "AAA", "BB", "BB"}, {{"AAA", 3}, {"BB", 2}}},
      {{"AAA", "BB", "AAA"}, {{"AAA", 1}, {"BB", 1}, {"AAA", 1}}},
      {{"X"}, {{"X", 1}}},
  };
  for (const auto& c : cases) {
    std::vector<DailyRow> rows;
    for (const auto& name : c.names) rows.push_back(Row(name, 37308, 10));
    const Bytes bytes = Build(rows);
    EXPECT_EQ(bytes.size(), 32 * c.blocks.size() + 26 * rows.size());
    std::vector<DailyBlock> blocks;
    Failure error;
    ASSERT_TRUE(ReadDailyFile(bytes, blocks, error)) << error;
    ASSERT_EQ(blocks.size(), c.blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
      EXPECT_EQ(blocks[i].name, c.blocks[i].first);
      EXPECT_EQ(blocks[i].records.size(), static_cast<size_t>(c.blocks[i].second));
    }
  }
}

TEST(DailyFile, BlockAndRecordBytes) {
  DailyRow row = Row("ABCDEFGHIJKL", 37308 + (13 * 60 + 14) / 1440.0, 12.3456);
  row.volume = -7;
  const Bytes bytes = Build({row});
  ASSERT_EQ(bytes.size(), 58u);
  const Bytes header(bytes.begin(), bytes.begin() + 32);
  Bytes expected(32, 0);
  expected[0] = 1;
  expected[2] = 0xDE;
  for (int i = 0; i < 12; ++i) expected[3 + i] = static_cast<uint8_t>('A' + i);
  expected[15] = 111;
  expected[16] = 1;
  EXPECT_EQ(header, expected);
  const uint8_t* r = bytes.data() + 32;
  EXPECT_EQ(LoadU16(r), 37308);
  EXPECT_EQ(LoadI32(r + 2), 123456);
  EXPECT_EQ(LoadI32(r + 6), 133456);
  EXPECT_EQ(LoadI32(r + 10), 113456);
  EXPECT_EQ(LoadI32(r + 14), 128456);
  EXPECT_EQ(LoadI32(r + 18), -7);
  EXPECT_EQ(LoadU32(r + 22), 0u);
}

TEST(DailyFile, RoundsHalfAwayFromZeroAtTheRowsTickSize) {
  const struct {
    double open, size;
    int32_t stored;
    int code;
  } cases[] = {{2.5, 1, 3, 101}, {-2.5, 1, -3, 101}, {2.25, 0.1, 23, 105}, {-0.015, 0.01, -2, 109}};
  for (const auto& c : cases) {
    const Bytes bytes = Build({Row("A", 37000, c.open, c.size)});
    EXPECT_EQ(LoadI32(bytes.data() + 32 + 2), c.stored) << c.open;
    EXPECT_EQ(bytes[15], c.code) << c.open;
  }
}

TEST(DailyFile, CoarsensTheTickWherePricesExceedThirtyTwoBits) {
  // 214748.3647 is the largest price that fits at 0.0001.
  const struct {
    double open;
    int code;
    double tick;
  } cases[] = {{214747.3, 111, 0.0001}, {300000.125, 110, 0.001}, {-300000.125, 110, 0.001}, {5e8, 101, 1}};
  for (const auto& c : cases) {
    std::vector<DailyRow> rows = {Row("BRK", 37000, 10), Row("BRK", 37001, c.open)};
    const Bytes bytes = Build(rows);
    std::vector<DailyBlock> blocks;
    Failure error;
    ASSERT_TRUE(ReadDailyFile(bytes, blocks, error)) << error;
    EXPECT_EQ(blocks[0].scaleCode, c.code) << c.open;
    const std::vector<DailyRow> back = DailyRowsOf(blocks);
    for (size_t i = 0; i < rows.size(); ++i)
      EXPECT_NEAR(back[i].open, rows[i].open, c.tick / 2 + 1e-9) << c.open;
  }
}

TEST(DailyFile, RefusesWhatCannotBeStoredRight) {
  const std::string longSymbol = "EURUSD.FUTURE.1";
  const std::string lookalike = SymbolFieldText(MakeSymbolField(longSymbol).data());
  const struct {
    const char* what;
    std::vector<DailyRow> rows;
    Error fault;
  } cases[] = {
      {"price beyond 32 bits at tick 1", {Row("A", 37000, 3e9)}, Error::kPriceUnstorable},
      {"not a number", {Row("A", 37000, std::nan(""))}, Error::kPriceUnstorable},
      {"day before 1899-12-30", {Row("A", -2, 1)}, Error::kDayUnstorable},
      {"day after 2079", {Row("A", 70000, 1)}, Error::kDayUnstorable},
      {"tick size zero", {Row("A", 37000, 1, 0)}, Error::kTickSizeUnusable},
      {"long symbol against its look-alike",
       {Row(longSymbol, 37000, 1), Row(lookalike, 37000, 1)},
       Error::kSymbolFieldShared},
  };
  for (const auto& c : cases) {
    Bytes bytes;
    Failure error;
    EXPECT_FALSE(BuildDailyFile(c.rows, bytes, error)) << c.what;
    EXPECT_EQ(error.code, c.fault) << c.what << ": " << error;
    EXPECT_FALSE(error.text.empty()) << c.what;
    // Asked to, the writer leaves out only what cannot be stored and
    // writes the rest as it would without it.
    std::vector<DailyRow> rows = c.rows;
    rows.push_back(Row("ZZ", 37001, 2));
    std::vector<std::string> leftOut;
    ASSERT_TRUE(BuildDailyFile(rows, bytes, error, &leftOut)) << c.what << ": " << error;
    EXPECT_EQ(leftOut.size(), 1u) << c.what;
    std::vector<DailyRow> kept;
    if (c.rows.size() == 2) kept.push_back(c.rows[0]);  // the first of two names sharing a field stays
    kept.push_back(rows.back());
    Bytes expected;
    ASSERT_TRUE(BuildDailyFile(kept, expected, error)) << c.what;
    EXPECT_EQ(bytes, expected) << c.what;
  }
}

TEST(DailyFile, EmptyTableWritesNoFile) {
  test::TScratchDir dir;
  Failure error;
  EXPECT_TRUE(WriteDailyFile(dir.Path(), "d0203", {}, error));
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(DailyFile, RoundTripsGeneratedMonthsToTheTickSize) {
  test::TScratchDir dir;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> move(-3, 3);
  std::vector<DailyRow> rows;
  const char* names[] = {"AAPL", "BRK.A", "LONG.SYMBOL.ONE", "LONG.SYMBOL.TWO", "ZZ"};
  for (const char* name : names) {
    double price = std::string(name) == "BRK.A" ? 400000 : 50;
    for (int day = 0; day < 22; ++day) {
      price = std::max(1.0, price + move(rng));
      DailyRow row = Row(name, 37316 + day, price);
      row.volume = static_cast<int32_t>(rng() % 1000000);
      rows.push_back(row);
    }
  }
  Failure error;
  ASSERT_TRUE(WriteDailyFile(dir.Path(), "d0203", rows, error)) << error;
  Bytes bytes;
  ASSERT_TRUE(ReadWholeFile(dir.Path() / "d0203.DLY", bytes, error)) << error;
  std::vector<DailyBlock> blocks;
  ASSERT_TRUE(ReadDailyFile(bytes, blocks, error)) << error;
  const std::vector<DailyRow> back = DailyRowsOf(blocks);
  ASSERT_EQ(back.size(), rows.size());
  EXPECT_NE(blocks[2].name, blocks[3].name);
  for (size_t i = 0; i < rows.size(); ++i) {
    const double tol = back[i].size / 2 + 1e-9;
    EXPECT_EQ(back[i].date, std::trunc(rows[i].date));
    EXPECT_NEAR(back[i].open, rows[i].open, tol) << i;
    EXPECT_NEAR(back[i].high, rows[i].high, tol) << i;
    EXPECT_NEAR(back[i].low, rows[i].low, tol) << i;
    EXPECT_NEAR(back[i].close, rows[i].close, tol) << i;
    EXPECT_EQ(back[i].volume, rows[i].volume);
  }
}

TEST(DailyFile, ReaderRejectsBrokenFiles) {
  const Bytes good = Build({Row("AAA", 37000, 1), Row("AAA", 37001, 2)});
  const struct {
    const char* what;
    size_t offset;
    uint8_t value;
    size_t keep;
    Error fault;
  } cases[] = {
      {"truncated record", 0, 1, good.size() - 1, Error::kRecordCountBeyondFile},
      {"truncated header", 0, 1, 20, Error::kDailyHeaderTruncated},
      {"count beyond the file", 16, 3, good.size(), Error::kRecordCountBeyondFile},
      {"negative count", 19, 0x80, good.size(), Error::kRecordCountBeyondFile},
      {"wrong mark", 2, 0xDD, good.size(), Error::kNoDailyBlock},
      {"wrong word", 0, 2, good.size(), Error::kNoDailyBlock},
      {"unknown scale code", 15, 108, good.size(), Error::kUnknownScaleCode},
  };
  for (const auto& c : cases) {
    Bytes bad(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(c.keep));
    if (c.offset < bad.size()) bad[c.offset] = c.value;
    std::vector<DailyBlock> blocks;
    Failure error;
    EXPECT_FALSE(ReadDailyFile(bad, blocks, error)) << c.what;
    EXPECT_EQ(error.code, c.fault) << c.what << ": " << error;
    EXPECT_NE(error.text.find("at offset 0"), std::string::npos) << c.what << ": " << error;
  }
}

}  // namespace
}  // namespace vz::omz
