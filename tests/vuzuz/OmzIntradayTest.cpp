#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>

#include "support/ScratchDir.h"
#include "vuzuz/OmzIndex.h"
#include "vuzuz/OmzIntraday.h"
#include "vuzuz/OmzSymbol.h"

namespace vz::omz {
namespace {

constexpr double kDay = 37308;  // 2002-02-21
constexpr uint32_t kStamp = 1000000000;
const std::string kBase = "i020221";

Tick MakeTick(const std::string& symbol, double dateTime, double price, int32_t volume = 100, double size = 0.0001) {
  Tick t;
  SetTickSymbol(t, symbol);
  t.dateTime = dateTime;
  t.price = price;
  t.volume = volume;
  t.size = size;
  return t;
}

double Minute(int m) { return kDay + m / 1440.0; }

IntradayImage Build(const std::vector<Tick>& ticks) {
  IntradayImage image;
  Failure error;
  EXPECT_TRUE(BuildIntradayFiles(kBase, ticks, kStamp, image, error)) << error;
  return image;
}

// Reads both files back; every index the writer makes must have strictly
// ascending leaf keys, or a B-tree search can miss blocks.
IntradayContents Read(const IntradayImage& image) {
  IntradayContents contents;
  Failure error;
  EXPECT_TRUE(ReadIntradayFiles(image.dat, image.idx, contents, error)) << error;
  std::vector<IndexEntry> leaves;
  EXPECT_TRUE(ReadIndexLeaves(image.idx, leaves, error)) << error;
  for (size_t i = 1; i < leaves.size(); ++i) EXPECT_LT(leaves[i - 1].key, leaves[i].key) << "leaf " << i;
  return contents;
}

// n symbols of one tick each, in ascending order: n tick blocks, n leaf entries.
std::vector<Tick> OneTickPerSymbol(size_t n) {
  std::vector<Tick> ticks;
  char name[16];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(name, sizeof name, "S%05zu", i);
    ticks.push_back(MakeTick(name, Minute(600), 10 + i * 0.01));
  }
  return ticks;
}

bool AllFF(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0xFF) return false;
  return true;
}

TEST(IntradayFiles, OneTick) {
  const IntradayImage image = Build({MakeTick("AB", Minute(571), 12.3456, 77)});
  ASSERT_EQ(image.dat.size(), 4096u);
  const uint8_t* h = image.dat.data();
  EXPECT_EQ(LoadU32(h + 0x000), 4095u);
  EXPECT_EQ(LoadU32(h + 0x008), 3583u);
  EXPECT_EQ(LoadU32(h + 0x014), 1u);
  EXPECT_EQ(LoadU32(h + 0x018), 1u);
  EXPECT_EQ(LoadU32(h + 0x070), kStamp);
  EXPECT_TRUE(AllFF(h + 3584, 512));

  const uint8_t* b = h + 3072;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b), 12), std::string("AB\0\0\0\0\0\0\0\0\0\0", 12));
  EXPECT_EQ(b[12], 1);
  EXPECT_EQ(b[13], 0xDE);
  EXPECT_EQ(LoadU16(b + 14), 37308);
  EXPECT_EQ(LoadU16(b + 16), 0);   // block number
  EXPECT_EQ(b[18], 1);            // ticks in the block
  EXPECT_EQ(b[19], 111);          // scale code of 0.0001
  EXPECT_EQ(LoadU16(b + 20), 1);   // cumulative
  EXPECT_EQ(LoadI32(b + 22), 123456);
  EXPECT_EQ(LoadI16(b + 30), 0);   // last difference
  EXPECT_EQ(LoadI16(b + 32), 0);   // first tick's difference
  EXPECT_EQ(LoadI32(b + 34), 77);
  EXPECT_EQ(LoadU16(b + 38), 571);  // 09:31
  for (size_t i = 40; i < 512; ++i) ASSERT_EQ(b[i], 0) << i;

  ASSERT_EQ(image.idx.size(), 4096u);
  const uint8_t* x = image.idx.data();
  EXPECT_EQ(LoadU32(x + 0x000), 4095u);
  EXPECT_EQ(LoadU32(x + 0x008), 3071u);
  EXPECT_EQ(LoadU32(x + 0x018), 1u);
  EXPECT_EQ(LoadU32(x + 0x01C), 2048u);
  EXPECT_EQ(LoadU32(x + 0x048), 2048u);
  EXPECT_EQ(LoadU32(x + 0x06C), 5u);
  EXPECT_EQ(LoadU32(x + 0x070), kStamp);
  const uint8_t* leaf = x + 2048;
  EXPECT_EQ(LoadU16(leaf + 8), 1);
  EXPECT_EQ(LoadU16(leaf + 10), 21);
  EXPECT_EQ(leaf[17], 1);
  EXPECT_EQ(LoadU32(leaf + 18), 3072u);
  EXPECT_TRUE(AllFF(leaf + 988, 17));
  EXPECT_TRUE(AllFF(x + 3072, 1024));
}

TEST(IntradayFiles, HeaderFixedBytesAndPath) {
  const IntradayImage image = Build({MakeTick("AB", Minute(571), 1)});
  const uint8_t* h = image.dat.data();
  const struct {
    size_t offset;
    int width;
    uint32_t value;
  } fields[] = {{0x00C, 4, 512},     {0x028, 4, 0x81},     {0x02C, 4, 0x10000200}, {0x03C, 4, 0x04020200},
                {0x064, 4, 15},      {0x200, 2, 0xFEFE},   {0x202, 4, 512},        {0x206, 1, 9},
                {0x406, 1, 0xEA},    {0x426, 4, 18 + 517}, {0x42A, 4, kStamp},     {0x42E, 4, 280},
                {0x532, 2, 0xFFFF},  {0x540, 2, 1006},     {0x55E, 2, 982},        {0x584, 4, 0x20010},
                {0x588, 2, 1}};
  for (const auto& f : fields) {
    const uint32_t got = f.width == 1 ? h[f.offset] : f.width == 2 ? LoadU16(h + f.offset) : LoadU32(h + f.offset);
    EXPECT_EQ(got, f.value) << std::hex << f.offset;
  }
  EXPECT_TRUE(AllFF(h + 0x080, 384));
  EXPECT_TRUE(AllFF(h + 0x220, 480));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + 0x41E), 6), "FC!DEF");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + 0x58A)), "c:\\refresh\\i020221");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + 0x69D), 4), ".dat");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + 0x6A5), 4), ".idx");
  const uint8_t* x = image.idx.data();
  EXPECT_EQ(LoadU32(x + 0x028), 0x04000081u);
  EXPECT_EQ(LoadU16(x + 0x034), 970);
  EXPECT_EQ(x[0x042], 17);
  EXPECT_EQ(LoadU16(x + 0x400), 0xFEFE);
  EXPECT_TRUE(AllFF(x + 0x080, 896));
  EXPECT_TRUE(AllFF(x + 0x420, 992));
}

TEST(IntradayFiles, SixtyOneTicksWriteTheLastBlockFirst) {
  std::vector<Tick> ticks;
  for (int i = 0; i < 61; ++i) ticks.push_back(MakeTick("AB", Minute(540 + i), 10 + i * 0.01));
  const IntradayImage image = Build(ticks);
  const uint8_t* first = image.dat.data() + 3072;
  const uint8_t* second = image.dat.data() + 3584;
  EXPECT_EQ(LoadU16(first + 16), 1);
  EXPECT_EQ(first[18], 1);
  EXPECT_EQ(LoadU16(first + 20), 61);
  EXPECT_EQ(LoadI32(first + 22), 100000);  // base price stays the run's first
  EXPECT_EQ(LoadI16(first + 30), 6000);
  EXPECT_EQ(LoadU16(second + 16), 0);
  EXPECT_EQ(second[18], 60);
  EXPECT_EQ(LoadU16(second + 20), 60);
  EXPECT_EQ(LoadI16(second + 30), 5900);
  std::vector<IndexEntry> leaves;
  Failure error;
  ASSERT_TRUE(ReadIndexLeaves(image.idx, leaves, error)) << error;
  ASSERT_EQ(leaves.size(), 2u);
  EXPECT_EQ(leaves[0].pointer, 3584u);
  EXPECT_EQ(leaves[1].pointer, 3072u);
  EXPECT_EQ(LoadU32(image.dat.data() + 8), 4095u);
}

TEST(IntradayFiles, PriceDifferencesRoundHalfAwayFromZero) {
  const struct {
    double price;
    int16_t stored;
  } cases[] = {{12.5, 3}, {7.5, -3}, {10.4, 0}, {9.6, 0}, {32777, 32767}, {-32758, -32768}};
  for (const auto& c : cases) {
    const IntradayImage image = Build({MakeTick("A", Minute(1), 10, 1, 1), MakeTick("A", Minute(2), c.price, 1, 1)});
    const uint8_t* b = image.dat.data() + 3072;
    EXPECT_EQ(b[19], 101);
    EXPECT_EQ(LoadI32(b + 22), 10);
    EXPECT_EQ(LoadI16(b + 40), c.stored) << c.price;
  }
}

TEST(IndexFile, LevelsForEntryCounts) {
  const struct {
    size_t entries;
    uint32_t levelCounter;
    uint32_t root;
    uint16_t rootCount;
  } cases[] = {
      {1, 5, 2048, 1},       {46, 5, 2048, 46},       {47, 6, 4096, 2},
      {71, 6, 5120, 3},      {600, 6, 27648, 25},     {1128, 7, 2048 + 1024 * 49, 2},
  };
  for (const auto& c : cases) {
    const IntradayImage image = Build(OneTickPerSymbol(c.entries));
    const uint8_t* x = image.idx.data();
    EXPECT_EQ(LoadU32(x + 0x06C), c.levelCounter) << c.entries;
    EXPECT_EQ(LoadU32(x + 0x01C), c.root) << c.entries;
    EXPECT_EQ(LoadU32(x + 0x018), c.entries);
    EXPECT_EQ(image.idx.size() % 4096, 0u);
    EXPECT_EQ(LoadU32(x + 0x000), image.idx.size() - 1);
    const uint8_t* root = x + c.root;
    EXPECT_EQ(LoadU16(root + 8), c.rootCount) << c.entries;
    EXPECT_EQ(LoadU32(root + 0), 0u);
    EXPECT_TRUE(AllFF(root + 988, 17));
    if (c.levelCounter > 5) {
      EXPECT_EQ(root[17], 0);
      EXPECT_TRUE(AllFF(root + 18 + 21 * (c.rootCount - 1) + 4, 17)) << c.entries;
    }

    std::vector<IndexEntry> leaves;
    Failure error;
    ASSERT_TRUE(ReadIndexLeaves(image.idx, leaves, error)) << error;
    ASSERT_EQ(leaves.size(), c.entries);
    for (size_t i = 0; i < leaves.size(); ++i) {
      ASSERT_EQ(leaves[i].pointer, 3072 + 512 * i) << c.entries;
      const std::optional<IndexEntry> found = FindIndexEntry(image.idx, leaves[i].key);
      ASSERT_TRUE(found) << c.entries << " " << i;
      EXPECT_EQ(found->pointer, leaves[i].pointer);
    }
    IndexKey missing = leaves.back().key;
    missing[0] = 'T';
    EXPECT_FALSE(FindIndexEntry(image.idx, missing));
  }
}

TEST(IndexFile, FortySevenEntriesSplitTwentyFourAndTwentyThree) {
  const IntradayImage image = Build(OneTickPerSymbol(47));
  const uint8_t* n0 = image.idx.data() + 2048;
  const uint8_t* n1 = image.idx.data() + 3072;
  const uint8_t* root = image.idx.data() + 4096;
  EXPECT_EQ(LoadU32(n0 + 0), 3072u);
  EXPECT_EQ(LoadU32(n0 + 4), 0u);
  EXPECT_EQ(LoadU16(n0 + 8), 24);
  EXPECT_EQ(LoadU16(n0 + 10), 504);
  EXPECT_EQ(n0[17], 1);
  EXPECT_EQ(LoadU32(n1 + 0), 0u);
  EXPECT_EQ(LoadU32(n1 + 4), 2048u);
  EXPECT_EQ(LoadU16(n1 + 8), 23);
  // Uncounted slots of the first node carry the entries that follow it.
  EXPECT_TRUE(std::equal(n0 + 18 + 21 * 24, n0 + 18 + 21 * 47, n1 + 18));
  EXPECT_FALSE(AllFF(n0 + 988, 17));
  EXPECT_TRUE(AllFF(n1 + 988, 17));
  EXPECT_EQ(LoadU32(root + 18), 2048u);
  EXPECT_TRUE(std::equal(root + 22, root + 39, n0 + 18 + 21 * 23 + 4));
  EXPECT_EQ(LoadU32(root + 39), 3072u);
  EXPECT_TRUE(AllFF(root + 43, 17));
}

TEST(IndexFile, KeyBytesCompareAsSymbolDayBlock) {
  const SymbolField ab = MakeSymbolField("AB");
  const IndexKey key = MakeIndexKey(ab.data(), 37308, 2);
  const IndexKey expected = {'A', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xDE, 0x91, 0xBC, 0x00, 0x02};
  EXPECT_EQ(key, expected);
  EXPECT_LT(MakeIndexKey(ab.data(), 37308, 255), MakeIndexKey(ab.data(), 37308, 256));
  EXPECT_LT(MakeIndexKey(ab.data(), 37308, 9), MakeIndexKey(ab.data(), 37309, 0));

  std::vector<Tick> ticks;
  for (int i = 0; i < 121; ++i) ticks.push_back(MakeTick("AB", Minute(i), 10));
  const IntradayImage image = Build(ticks);
  std::vector<IndexEntry> leaves;
  Failure error;
  ASSERT_TRUE(ReadIndexLeaves(image.idx, leaves, error));
  ASSERT_EQ(leaves.size(), 3u);
  EXPECT_EQ(leaves[2].key, expected);
  EXPECT_EQ(leaves[2].pointer, 3072u);
}

TEST(IntradayFiles, PlainLayoutWhileDifferencesFit) {
  std::vector<Tick> ticks;
  for (int i = 0; i < 180; ++i) ticks.push_back(MakeTick("ES", Minute(i), 1000 + ((i % 7) - 3) * 0.5));
  const IntradayContents contents = Read(Build(ticks));
  ASSERT_EQ(contents.blocks.size(), 3u);
  for (const TickBlockInfo& b : contents.blocks) {
    EXPECT_EQ(b.count, 60);
    EXPECT_EQ(b.basePrice, 9985000);
  }
}

TEST(IntradayFiles, FarPricesStartFreshBlocksAndStayExact) {
  // An index future: 1-minute bars that leave the first price by more than
  // 3.2767 within minutes.
  std::vector<Tick> ticks;
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> move(-4, 4);
  double price = 10000;
  for (int i = 0; i < 1380; ++i) {
    price += std::round(move(rng) * 4) / 4;
    ticks.push_back(MakeTick("FDAX", Minute(i), price, i));
  }
  ticks.push_back(MakeTick("FDAX", Minute(1380), price + 3000));  // a jump past 16 bits at once
  const IntradayContents contents = Read(Build(ticks));
  ASSERT_EQ(contents.ticks.size(), ticks.size());
  for (size_t i = 0; i < ticks.size(); ++i) {
    EXPECT_NEAR(contents.ticks[i].price, ticks[i].price, 0.0001) << i;
    EXPECT_NEAR(contents.ticks[i].dateTime, ticks[i].dateTime, 0.5 / 1440) << i;
  }
  uint16_t cumulative = 0;
  for (size_t b = 0; b < contents.blocks.size(); ++b) {
    const TickBlockInfo& info = contents.blocks[b];
    EXPECT_EQ(info.block, b);
    EXPECT_LE(info.count, 60);
    cumulative = static_cast<uint16_t>(cumulative + info.count);
    EXPECT_EQ(info.cumulative, cumulative);
  }
  EXPECT_EQ(cumulative, ticks.size());
  EXPECT_GT(contents.blocks.size(), 24u);
}

TEST(IntradayFiles, PricesBeyondThirtyTwoBitsUseACoarserTick) {
  const IntradayContents contents =
      Read(Build({MakeTick("BIG", Minute(1), 250000.125), MakeTick("BIG", Minute(2), 250000.5)}));
  ASSERT_EQ(contents.blocks.size(), 1u);
  EXPECT_EQ(contents.blocks[0].scaleCode, 110);
  EXPECT_NEAR(contents.ticks[0].price, 250000.125, 0.0005);
  EXPECT_NEAR(contents.ticks[1].price, 250000.5, 0.0005);
}

TEST(IntradayFiles, LongSymbolsStayApartInStoredNameOrder) {
  // Runs come in the order of the whole symbols; their stored names sort
  // otherwise, and the file follows the stored names.
  const struct {
    std::vector<std::string> symbols;  // input order
  } cases[] = {
      {{"ABCDEFGHIJKLMN", "ABCDEFGHIJKLN"}},
      {{"ABCDEFGHIJKL", "EURUSD.FUT.A1", "EURUSD.FUT.A2"}},
      {{"EURUSD.FUT.A2", "EURUSD.FUT.A1", "ABCDEFGHIJKL", "AB"}},
  };
  for (const auto& c : cases) {
    std::vector<Tick> ticks;
    for (size_t i = 0; i < c.symbols.size(); ++i)
      for (int m = 0; m < 70; ++m) ticks.push_back(MakeTick(c.symbols[i], Minute(m), 1 + i));
    const IntradayContents contents = Read(Build(ticks));
    ASSERT_EQ(contents.ticks.size(), ticks.size());
    std::vector<SymbolField> stored;
    for (const std::string& symbol : c.symbols) stored.push_back(MakeSymbolField(symbol));
    std::sort(stored.begin(), stored.end());
    for (size_t i = 0; i < stored.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(TickSymbol(contents.ticks[70 * i]), SymbolFieldText(stored[i].data()));
      EXPECT_EQ(TickSymbol(contents.ticks[70 * i + 69]), SymbolFieldText(stored[i].data()));
    }
  }
}

TEST(IntradayFiles, FarPricesTakeTheFinestExactCoarserTick) {
  // Prices that leave 16 bits of 0.0001 from the first price: the finest
  // power of ten at which all are whole and all differences fit keeps
  // blocks of 60 on one base; only without one do blocks take fresh bases.
  const struct {
    const char* what;
    double first;
    double step;   // each tick moves by step, alternating up and down in a widening swing
    int scaleCode;
    bool full;     // every block but the last holds 60 ticks
  } cases[] = {
      {"within 3.2767 of the first: plain", 1.2345, 0.0001, 111, true},
      {"quarter points over 600 points: 0.01", 5000, 0.25, 109, true},
      {"whole points over 2,400 points: 0.1", 18000, 1, 105, true},
      {"tens of points over 24,000 points: 1", 40000, 10, 101, true},
      {"quarter points over 5,400 points: fresh bases", 18000, 2.25, 111, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Tick> ticks;
    for (int i = 0; i < 1200; ++i) {
      const double swing = (i % 2 ? 1 : -1) * (i + 1) * c.step;
      ticks.push_back(MakeTick("FDAX", Minute(i / 4), c.first + swing, i));
    }
    const IntradayContents contents = Read(Build(ticks));
    ASSERT_EQ(contents.ticks.size(), ticks.size());
    for (size_t i = 0; i < ticks.size(); ++i) ASSERT_NEAR(contents.ticks[i].price, ticks[i].price, 1e-6) << i;
    bool full = true;
    for (size_t b = 0; b + 1 < contents.blocks.size(); ++b) full = full && contents.blocks[b].count == 60;
    EXPECT_EQ(full, c.full);
    EXPECT_EQ(contents.blocks[0].scaleCode, c.scaleCode);
  }
}

TEST(IntradayFiles, LeavesOutOnlyTheRunsThatCannotBeStored) {
  std::vector<Tick> ticks = {MakeTick("AA", Minute(1), 1), MakeTick("BAD", Minute(1), std::nan("")),
                             MakeTick("CC", Minute(1), 3), MakeTick("AA", Minute(2), 2)};
  IntradayImage image;
  Failure error;
  EXPECT_FALSE(BuildIntradayFiles(kBase, ticks, kStamp, image, error));
  EXPECT_EQ(error.code, Error::kSymbolRunSplit) << error;
  std::vector<std::string> leftOut;
  ASSERT_TRUE(BuildIntradayFiles(kBase, ticks, kStamp, image, error, &leftOut)) << error;
  ASSERT_EQ(leftOut.size(), 2u);
  EXPECT_EQ(leftOut[0], "\"AA\": ticks not together in one run");
  EXPECT_NE(leftOut[1].find("\"BAD\""), std::string::npos) << leftOut[1];
  const IntradayContents contents = Read(image);
  ASSERT_EQ(contents.ticks.size(), 2u);
  EXPECT_EQ(TickSymbol(contents.ticks[0]), "AA");
  EXPECT_EQ(TickSymbol(contents.ticks[1]), "CC");
  // Nothing that can be stored: no files, and no failure.
  leftOut.clear();
  ASSERT_TRUE(BuildIntradayFiles(kBase, std::vector<Tick>{ticks[1]}, kStamp, image, error, &leftOut));
  EXPECT_TRUE(image.dat.empty());
  EXPECT_TRUE(image.idx.empty());
  EXPECT_EQ(leftOut.size(), 1u);
}

TEST(IntradayFiles, RefusesWhatCannotBeStoredRight) {
  const std::string lookalike = SymbolFieldText(MakeSymbolField("EURUSD.FUT.A1").data());
  const struct {
    const char* what;
    std::vector<Tick> ticks;
    Error fault;
  } cases[] = {
      {"tick 46 days after the first", {MakeTick("A", kDay, 1), MakeTick("A", kDay + 46, 1)}, Error::kMinuteUnstorable},
      {"tick before the first day", {MakeTick("A", kDay + 0.5, 1), MakeTick("A", kDay - 0.1, 1)},
       Error::kMinuteUnstorable},
      {"day beyond 16 bits", {MakeTick("A", 70000, 1)}, Error::kDayUnstorable},
      {"price not a number", {MakeTick("A", kDay, std::nan(""))}, Error::kPriceUnstorable},
      {"price beyond 32 bits at tick 1", {MakeTick("A", kDay, 3e9)}, Error::kPriceUnstorable},
      {"tick size zero", {MakeTick("A", kDay, 1, 1, 0)}, Error::kTickSizeUnusable},
      {"more than 65535 ticks", std::vector<Tick>(65536, MakeTick("A", kDay, 1)), Error::kTooManyTicks},
      {"long symbol and its look-alike", {MakeTick("EURUSD.FUT.A1", kDay, 1), MakeTick(lookalike, kDay, 1)},
       Error::kSymbolFieldShared},
  };
  for (const auto& c : cases) {
    IntradayImage image;
    Failure error;
    EXPECT_FALSE(BuildIntradayFiles(kBase, c.ticks, kStamp, image, error)) << c.what;
    EXPECT_EQ(error.code, c.fault) << c.what << ": " << error;
    EXPECT_TRUE(image.dat.empty() && image.idx.empty()) << c.what;
  }
  IntradayImage image;
  Failure error;
  EXPECT_FALSE(BuildIntradayFiles("../i0201", std::vector<Tick>{MakeTick("A", kDay, 1)}, kStamp, image, error));
  EXPECT_EQ(error.code, Error::kInvalidBaseName);
}

TEST(IntradayFiles, ReadsBackAGeneratedDay) {
  std::vector<Tick> ticks;
  std::mt19937 rng(11);
  const char* symbols[] = {"AAPL", "ABCDEFGHIJKL", "MSFT", "VERY.LONG.SYM"};
  for (const char* symbol : symbols) {
    double price = 100;
    for (int m = 0; m < 600; ++m) {
      price = std::max(0.01, price + (static_cast<int>(rng() % 2001) - 1000) * 0.0001);
      for (int k = 0; k < 4; ++k) ticks.push_back(MakeTick(symbol, Minute(570 + m), price, static_cast<int32_t>(rng())));
    }
  }
  const IntradayContents contents = Read(Build(ticks));
  ASSERT_EQ(contents.ticks.size(), ticks.size());
  for (size_t i = 0; i < ticks.size(); ++i) {
    ASSERT_EQ(TickSymbol(contents.ticks[i]), SymbolFieldText(MakeSymbolField(TickSymbol(ticks[i])).data()));
    ASSERT_NEAR(contents.ticks[i].price, ticks[i].price, 0.0001) << i;
    ASSERT_NEAR(contents.ticks[i].dateTime, ticks[i].dateTime, 0.5 / 1440) << i;
    ASSERT_EQ(contents.ticks[i].volume, ticks[i].volume);
  }
}

TEST(IntradayFiles, ReaderRejectsBrokenFiles) {
  const IntradayImage good = Build(OneTickPerSymbol(47));
  const struct {
    const char* what;
    bool inIndex;
    size_t offset;
    uint32_t value;
    Error fault;
  } cases[] = {
      {"root beyond the file", true, 0x01C, 1u << 20, Error::kIndexBadPointer},
      {"root inside the header", true, 0x01C, 1024, Error::kIndexBadPointer},
      {"node size field", true, 0x00C, 512, Error::kNotIndexFile},
      {"level counter below a leaf", true, 0x06C, 4, Error::kIndexLevels},
      {"too many levels", true, 0x06C, 40, Error::kIndexLevels},
      {"one level too few", true, 0x06C, 5, Error::kIndexLeafFlag},
      {"child pointing back at the root", true, 4096 + 18, 4096, Error::kIndexNodeTwice},
      {"child pointing past the file", true, 4096 + 18, 1u << 20, Error::kIndexBadPointer},
      {"leaf pointing into the header", true, 2048 + 18, 512, Error::kBlockBadPointer},
      {"leaf pointing between blocks", true, 2048 + 18, 3100, Error::kBlockBadPointer},
      {"node count zero", true, 2048 + 8, 0, Error::kIndexNodeCount},
      {"node count beyond the slots", true, 2048 + 8, 48, Error::kIndexNodeCount},
      {"block day changed", false, 3072 + 14, 1, Error::kBlockKeyMismatch},
      {"block mark changed", false, 3072 + 12, 0x00DE0002, Error::kNoTickBlock},
      {"tick count zero", false, 3072 + 16, 0x6F000000, Error::kTickCount},
      {"tick count above 60", false, 3072 + 16, 0x6F3D0000, Error::kTickCount},
      {"unknown scale code", false, 3072 + 16, 0x08010000, Error::kUnknownScaleCode},
      {"block size field", false, 0x00C, 256, Error::kNotIntradayData},
  };
  for (const auto& c : cases) {
    IntradayImage bad = good;
    StoreU32((c.inIndex ? bad.idx : bad.dat).data() + c.offset, c.value);
    IntradayContents contents;
    Failure error;
    EXPECT_FALSE(ReadIntradayFiles(bad.dat, bad.idx, contents, error)) << c.what;
    EXPECT_EQ(error.code, c.fault) << c.what << ": " << error;
  }
  IntradayContents contents;
  Failure error;
  EXPECT_FALSE(ReadIntradayFiles(good.dat, Bytes(good.idx.begin(), good.idx.begin() + 3000), contents, error));
  EXPECT_EQ(error.code, Error::kIndexBadPointer) << error;  // the root node is cut
  EXPECT_FALSE(ReadIntradayFiles(good.dat, Bytes(good.idx.begin(), good.idx.begin() + 2000), contents, error));
  EXPECT_EQ(error.code, Error::kIndexTruncated) << error;
  EXPECT_FALSE(ReadIntradayFiles(Bytes(good.dat.begin(), good.dat.begin() + 100), good.idx, contents, error));
  EXPECT_EQ(error.code, Error::kNotIntradayData) << error;
}

TEST(IntradayFiles, WritesBothFilesOrNone) {
  test::TScratchDir dir;
  Failure error;
  EXPECT_TRUE(WriteIntradayFiles(dir.Path(), kBase, {}, error));
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  const std::vector<Tick> ticks = {MakeTick("AB", Minute(1), 1)};
  ASSERT_TRUE(WriteIntradayFiles(dir.Path(), kBase, ticks, error)) << error;
  EXPECT_EQ(std::filesystem::file_size(dir.Path() / (kBase + ".DAT")), 4096u);
  EXPECT_EQ(std::filesystem::file_size(dir.Path() / (kBase + ".IDX")), 4096u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 2);
  const std::vector<Tick> bad = {MakeTick("AB", -5, 1)};
  EXPECT_FALSE(WriteIntradayFiles(dir.Path(), "i020222", bad, error));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 2);
}

}  // namespace
}  // namespace vz::omz
