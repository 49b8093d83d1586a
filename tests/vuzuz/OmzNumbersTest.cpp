#include <gtest/gtest.h>

#include <string>

#include "vuzuz/OmzNumbers.h"
#include "vuzuz/OmzSymbol.h"

namespace vz::omz {
namespace {

TEST(RoundHalfAway, RoundsHalvesAwayFromZero) {
  const struct {
    double x, want;
  } cases[] = {{2.5, 3}, {-2.5, -3}, {2.4999, 2}, {-2.4999, -2}, {0.5, 1}, {-0.5, -1}, {123456.0, 123456}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfAway(c.x), c.want) << c.x;
}

TEST(PriceScaleCode, DropsTheExponentSign) {
  const struct {
    double size;
    int code;
  } cases[] = {{1, 101}, {0.1, 105}, {0.01, 109}, {0.001, 110}, {0.0001, 111}, {100, 109}, {10, 105}};
  for (const auto& c : cases) EXPECT_EQ(PriceScaleCode(c.size), c.code) << c.size;
}

TEST(PriceScaleCode, ReaderTickSizeMatchesEveryWrittenExponent) {
  for (int k = kCoarsestTickExponent; k <= kFinestTickExponent; ++k) {
    const double tick = TickSizeOfExponent(k);
    EXPECT_EQ(TickExponentOf(tick), k);
    EXPECT_EQ(TickSizeOfScaleCode(PriceScaleCode(tick)), tick) << k;
  }
  EXPECT_EQ(TickSizeOfExponent(4), 0.0001);
  for (int code : {0, 100, 102, 106, 108, 117, 255}) EXPECT_FALSE(TickSizeOfScaleCode(static_cast<uint8_t>(code)));
  for (double bad : {0.0, -0.01, 1e-12}) EXPECT_FALSE(TickExponentOf(bad)) << bad;
}

TEST(DayNumber, KeepsOnlyDaysThatFitSixteenBits) {
  EXPECT_EQ(DayNumber(37308 + 13.0 / 24), 37308);
  EXPECT_EQ(DayNumber(65535.9), 65535);
  EXPECT_FALSE(DayNumber(65536));
  EXPECT_FALSE(DayNumber(-1));
}

TEST(SymbolField, StoresShortSymbolsAsTheyAre) {
  EXPECT_EQ(SymbolFieldText(MakeSymbolField("AB").data()), "AB");
  const SymbolField twelve = MakeSymbolField("ABCDEFGHIJKL");
  EXPECT_EQ(std::string(twelve.begin(), twelve.end()), "ABCDEFGHIJKL");
  EXPECT_EQ(SymbolFieldText(twelve.data()), "ABCDEFGHIJKL");
}

TEST(SymbolField, KeepsLongSymbolsApartAndStable) {
  const SymbolField a = MakeSymbolField("EURUSD.FUTURE.1");
  const SymbolField b = MakeSymbolField("EURUSD.FUTURE.2");
  EXPECT_NE(a, b);
  EXPECT_EQ(a, MakeSymbolField("EURUSD.FUTURE.1"));
  EXPECT_EQ(SymbolFieldText(a.data()).substr(0, 8), "EURUSD.~");
  EXPECT_EQ(SymbolFieldText(a.data()).size(), kSymbolFieldWidth);
}

TEST(SymbolFieldRegistry, RejectsTwoSymbolsSharingAField) {
  TSymbolFieldRegistry registry;
  Failure error;
  const std::string longSymbol = "EURUSD.FUTURE.1";
  const SymbolField field = MakeSymbolField(longSymbol);
  ASSERT_TRUE(registry.Add(longSymbol, field, error));
  EXPECT_TRUE(registry.Add(longSymbol, field, error));
  // A short symbol spelled like the long one's field.
  const std::string lookalike = SymbolFieldText(field.data());
  EXPECT_FALSE(registry.Add(lookalike, MakeSymbolField(lookalike), error));
  EXPECT_EQ(error.code, Error::kSymbolFieldShared);
  EXPECT_NE(error.text.find(longSymbol), std::string::npos);
}

}  // namespace
}  // namespace vz::omz
