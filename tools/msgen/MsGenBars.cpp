#include "tools/msgen/MsGenBars.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace vz::msgen {

namespace {

namespace chr = std::chrono;

// Volumes and open interest stay whole numbers that a float holds exactly.
constexpr double kMaxWholeFloat = 16000000.0;
constexpr double kSqrt3 = 1.7320508075688772;
constexpr int kMinutesPerSession = 390;

chr::sys_days ToDays(int32_t yyyymmdd) {
  return chr::sys_days(chr::year_month_day(chr::year(yyyymmdd / 10000),
                                           chr::month(static_cast<unsigned>(yyyymmdd / 100 % 100)),
                                           chr::day(static_cast<unsigned>(yyyymmdd % 100))));
}

int32_t ToYyyymmdd(chr::sys_days days) {
  const chr::year_month_day ymd(days);
  return static_cast<int>(ymd.year()) * 10000 + static_cast<int>(static_cast<unsigned>(ymd.month())) * 100 +
         static_cast<int>(static_cast<unsigned>(ymd.day()));
}

bool IsWeekday(chr::sys_days days) {
  const unsigned wd = chr::weekday(days).c_encoding();  // 0 Sunday .. 6 Saturday
  return wd != 0 && wd != 6;
}

// The weekdays of a range as YYYYMMDD.
std::vector<int32_t> Weekdays(int32_t firstDate, int32_t lastDate) {
  std::vector<int32_t> days;
  for (chr::sys_days d = ToDays(firstDate), end = ToDays(lastDate); d <= end; d += chr::days(1))
    if (IsWeekday(d)) days.push_back(ToYyyymmdd(d));
  return days;
}

// A random walk that turns out bars; `price` is the last close.
class TPricePath {
public:
  TPricePath(uint64_t seed, const MsGenWalk& walk)
      : rng_(seed), walk_(walk), price_(walk.startPrice), openInterest_(walk.baseOpenInterest) {}

  // One bar whose moves have the relative standard deviation `volatility`;
  // `gap` scales the jump between the last close and the open.
  MsGenBar Bar(double volatility, double gap, double meanVolume) {
    const double open = Step(price_, volatility * gap);
    // A pull towards the start price keeps long paths in a sensible range.
    const double pull = 0.002 * (walk_.startPrice / open - 1.0);
    const double close = Step(open * (1.0 + pull), volatility);
    const double reachUp = std::abs(rng_.NextNormalish()) * volatility * 0.6;
    const double reachDown = std::abs(rng_.NextNormalish()) * volatility * 0.6;
    price_ = close;

    MsGenBar bar;
    const double o = Quantize(open);
    const double c = Quantize(close);
    const double h = std::max({Quantize(std::max(open, close) * (1.0 + reachUp)), o, c});
    const double l = std::min({Quantize(std::min(open, close) * (1.0 - reachDown)), o, c});
    bar.open = static_cast<float>(o);
    bar.close = static_cast<float>(c);
    bar.high = static_cast<float>(h);
    bar.low = static_cast<float>(l);
    bar.volume = static_cast<float>(Whole(meanVolume * (0.3 + 1.4 * rng_.NextUnit())));
    if (walk_.baseOpenInterest > 0) {
      openInterest_ = std::max(0.0, openInterest_ + walk_.baseOpenInterest * 0.01 * rng_.NextNormalish());
      bar.openInterest = static_cast<float>(Whole(openInterest_));
    }
    return bar;
  }

  TSplitMix64& Rng() { return rng_; }

private:
  double Step(double from, double volatility) {
    // Never below ten ticks, so that low stays positive.
    return std::max(from * (1.0 + volatility * rng_.NextNormalish()), walk_.tick * 10);
  }
  double Quantize(double price) const { return std::max(std::round(price / walk_.tick), 1.0) * walk_.tick; }
  static double Whole(double v) { return std::clamp(std::round(v), 1.0, kMaxWholeFloat); }

  TSplitMix64 rng_;
  MsGenWalk walk_;
  double price_;
  double openInterest_;
};

int32_t Hhmmss(int seconds) { return seconds / 3600 * 10000 + seconds / 60 % 60 * 100 + seconds % 60; }

}  // namespace

uint64_t TSplitMix64::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double TSplitMix64::NextUnit() { return static_cast<double>(Next() >> 11) * 0x1p-53; }

uint32_t TSplitMix64::NextBelow(uint32_t n) { return static_cast<uint32_t>(((Next() >> 32) * n) >> 32); }

double TSplitMix64::NextNormalish() {
  const double sum = NextUnit() + NextUnit() + NextUnit() + NextUnit();
  return (sum - 2.0) * kSqrt3;
}

std::vector<MsGenBar> GenerateDailyBars(uint64_t seed, const MsGenDailyParams& params) {
  TPricePath path(seed, params.walk);
  std::vector<MsGenBar> bars;
  for (int32_t date : Weekdays(params.firstDate, params.lastDate)) {
    if (bars.size() == kMaxBarsPerFile) break;
    MsGenBar bar = path.Bar(params.walk.dailyVolatility, 0.3, params.walk.baseVolume);
    bar.date = date;
    bars.push_back(bar);
  }
  return bars;
}

std::vector<MsGenBar> GenerateIntradayBars(uint64_t seed, const MsGenIntradayParams& params) {
  TPricePath path(seed, params.walk);
  const int step = std::max(params.intervalMinutes, 1) * 60;
  // Volatility per bar so that a whole session moves like one day.
  const double volatility =
      params.walk.dailyVolatility * std::sqrt(static_cast<double>(step / 60) / kMinutesPerSession);
  std::vector<MsGenBar> bars;
  for (int32_t date : Weekdays(params.firstDate, params.lastDate)) {
    for (int t = params.dayStartSeconds; t < params.dayEndSeconds; t += step) {
      if (path.Rng().NextUnit() < params.skipChance) continue;
      int copies = path.Rng().NextUnit() < params.repeatChance ? 2 : 1;
      for (; copies > 0; --copies) {
        if (bars.size() == kMaxBarsPerFile) return bars;
        MsGenBar bar = path.Bar(volatility, 0.1, params.walk.baseVolume);
        bar.date = date;
        bar.time = Hhmmss(t);
        bars.push_back(bar);
      }
    }
  }
  return bars;
}

}  // namespace vz::msgen
