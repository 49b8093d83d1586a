// Generated bars: calendar, trading hours, price invariants, determinism.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "tools/msgen/MsGenBars.h"

namespace vz::msgen {
namespace {

namespace chr = std::chrono;

unsigned WeekdayOf(int32_t yyyymmdd) {
  const chr::year_month_day ymd{chr::year(yyyymmdd / 10000), chr::month(yyyymmdd / 100 % 100),
                                chr::day(yyyymmdd % 100)};
  EXPECT_TRUE(ymd.ok()) << yyyymmdd;
  return chr::weekday(chr::sys_days(ymd)).c_encoding();
}

void ExpectSaneBar(const MsGenBar& b, const char* what) {
  EXPECT_GE(b.high, std::max(b.open, b.close)) << what << " " << b.date << " " << b.time;
  EXPECT_LE(b.low, std::min(b.open, b.close)) << what << " " << b.date << " " << b.time;
  EXPECT_GT(b.low, 0.0f) << what;
  EXPECT_GE(b.volume, 1.0f) << what;
  EXPECT_EQ(b.volume, std::round(b.volume)) << what;
  EXPECT_EQ(b.openInterest, std::round(b.openInterest)) << what;
}

bool SameBars(const std::vector<MsGenBar>& a, const std::vector<MsGenBar>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(MsGenBar)) == 0;
}

TEST(TSplitMix64, MatchesTheReferenceSequence) {
  // First outputs of the published splitmix64 for seed 0.
  TSplitMix64 rng(0);
  EXPECT_EQ(rng.Next(), 0xE220A8397B1DCDAFull);
  EXPECT_EQ(rng.Next(), 0x6E789E6AA1B965F4ull);
  EXPECT_EQ(rng.Next(), 0x06C45D188009454Full);
}

TEST(TSplitMix64, DrawsStayInTheirRanges) {
  TSplitMix64 rng(42);
  double sum = 0;
  double sumSquares = 0;
  constexpr int kDraws = 20000;
  for (int i = 0; i < kDraws; ++i) {
    const double u = rng.NextUnit();
    ASSERT_TRUE(u >= 0.0 && u < 1.0);
    ASSERT_LT(rng.NextBelow(7), 7u);
    const double z = rng.NextNormalish();
    ASSERT_LE(std::abs(z), 3.47);
    sum += z;
    sumSquares += z * z;
  }
  EXPECT_NEAR(sum / kDraws, 0.0, 0.05);
  EXPECT_NEAR(sumSquares / kDraws, 1.0, 0.05);
}

TEST(GenerateDailyBars, OneBarPerWeekdayOfTheRange) {
  const struct {
    int32_t first, last;
    size_t weekdays;
  } cases[] = {
      {20261102, 20261130, 21},  // Monday to Monday
      {20261128, 20261129, 0},   // a weekend
      {20240226, 20240304, 6},   // across 29 February
      {20211201, 20261130, 1304},
  };
  for (const auto& c : cases) {
    MsGenDailyParams params;
    params.firstDate = c.first;
    params.lastDate = c.last;
    params.walk.baseOpenInterest = 1000;
    const auto bars = GenerateDailyBars(7, params);
    ASSERT_EQ(bars.size(), c.weekdays) << c.first;
    for (size_t i = 0; i < bars.size(); ++i) {
      const unsigned wd = WeekdayOf(bars[i].date);
      EXPECT_TRUE(wd >= 1 && wd <= 5) << bars[i].date;
      EXPECT_TRUE(bars[i].date >= c.first && bars[i].date <= c.last);
      if (i > 0) {
        EXPECT_GT(bars[i].date, bars[i - 1].date);
      }
      EXPECT_EQ(bars[i].time, 0);
      ExpectSaneBar(bars[i], "daily");
    }
  }
}

TEST(GenerateIntradayBars, BarsOnTheIntervalGridWithinTradingHours) {
  for (int interval : {1, 5, 15}) {
    MsGenIntradayParams params;
    params.firstDate = 20261102;
    params.lastDate = 20261113;
    params.intervalMinutes = interval;
    params.repeatChance = 0.02;
    const auto bars = GenerateIntradayBars(interval, params);
    const size_t slots = 10 * (390 / interval);
    EXPECT_GT(bars.size(), slots * 9 / 10) << interval;
    EXPECT_LT(bars.size(), slots * 11 / 10) << interval;
    size_t repeats = 0;
    for (size_t i = 0; i < bars.size(); ++i) {
      const int seconds = bars[i].time / 10000 * 3600 + bars[i].time / 100 % 100 * 60 + bars[i].time % 100;
      EXPECT_GE(seconds, params.dayStartSeconds);
      EXPECT_LT(seconds, params.dayEndSeconds);
      EXPECT_EQ((seconds - params.dayStartSeconds) % (interval * 60), 0) << bars[i].time;
      const unsigned wd = WeekdayOf(bars[i].date);
      EXPECT_TRUE(wd >= 1 && wd <= 5) << bars[i].date;
      if (i > 0) {
        const auto prev = std::make_pair(bars[i - 1].date, bars[i - 1].time);
        const auto cur = std::make_pair(bars[i].date, bars[i].time);
        EXPECT_LE(prev, cur);
        if (prev == cur) ++repeats;
      }
      ExpectSaneBar(bars[i], "intraday");
    }
    EXPECT_GT(repeats, 0u) << interval;
  }
}

TEST(GenerateIntradayBars, StopsAtWhatOneDataFileHolds) {
  MsGenIntradayParams params;
  params.firstDate = 20250101;
  params.lastDate = 20261130;
  EXPECT_EQ(GenerateIntradayBars(1, params).size(), kMaxBarsPerFile);
}

TEST(GenerateBars, SameSeedSameBarsOtherSeedOtherBars) {
  MsGenDailyParams daily;
  MsGenIntradayParams intraday;
  intraday.firstDate = 20261101;
  EXPECT_TRUE(SameBars(GenerateDailyBars(5, daily), GenerateDailyBars(5, daily)));
  EXPECT_FALSE(SameBars(GenerateDailyBars(5, daily), GenerateDailyBars(6, daily)));
  EXPECT_TRUE(SameBars(GenerateIntradayBars(5, intraday), GenerateIntradayBars(5, intraday)));
  EXPECT_FALSE(SameBars(GenerateIntradayBars(5, intraday), GenerateIntradayBars(6, intraday)));
}

}  // namespace
}  // namespace vz::msgen
