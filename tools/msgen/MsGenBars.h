#pragma once
// Deterministic price bars for generated directories. Everything derives
// from a seed through our own generator and plain IEEE arithmetic (no
// standard-library distributions, no transcendental functions), so the same
// seed gives the same bars in every build and on every platform.
#include <cstdint>
#include <vector>

#include "tools/msgen/MsGen.h"

namespace vz::msgen {

// splitmix64: small, fast, and good enough for test data.
class TSplitMix64 {
public:
  explicit TSplitMix64(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // Uniform in [0, 1), 53 bits.
  double NextUnit();
  // Uniform in [0, n), n > 0.
  uint32_t NextBelow(uint32_t n);
  // Roughly standard normal (mean 0, variance 1): a sum of four uniforms,
  // bounded to +-3.46.
  double NextNormalish();

private:
  uint64_t state_;
};

// How a price path moves.
struct MsGenWalk {
  double startPrice = 50.0;
  double dailyVolatility = 0.015;  // relative move per day, one standard deviation
  double tick = 0.01;              // prices are whole ticks
  double baseVolume = 200000.0;    // mean volume per day (daily) or per bar (intraday)
  double baseOpenInterest = 0.0;   // 0: open interest stays 0
};

struct MsGenDailyParams {
  int32_t firstDate = 20220103;  // YYYYMMDD, inclusive
  int32_t lastDate = 20261130;   // YYYYMMDD, inclusive
  MsGenWalk walk;
};

struct MsGenIntradayParams {
  int32_t firstDate = 20260901;
  int32_t lastDate = 20261130;
  int intervalMinutes = 1;
  int dayStartSeconds = 9 * 3600 + 30 * 60;  // first bar starts here
  int dayEndSeconds = 16 * 3600;             // last bar starts before this
  double repeatChance = 0.002;               // another bar on the same minute
  double skipChance = 0.01;                  // a slot without a bar
  MsGenWalk walk;
};

// One bar per weekday (Monday to Friday) from firstDate to lastDate, time 0.
// At most kMaxBarsPerFile bars.
std::vector<MsGenBar> GenerateDailyBars(uint64_t seed, const MsGenDailyParams& params);

// Bars at each interval of each weekday's trading hours, time HHMMSS of the
// bar's start, a few slots skipped and a few repeated on the same minute.
// At most kMaxBarsPerFile bars.
std::vector<MsGenBar> GenerateIntradayBars(uint64_t seed, const MsGenIntradayParams& params);

}  // namespace vz::msgen
