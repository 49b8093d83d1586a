#include "app/run/Collection.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "vuzuz/Dates.h"

namespace vz::app {

namespace {

constexpr double kUnixEpochDay = 25569.0;  // 1970-01-01 as a date-time
constexpr double kSecondsPerDay = 86400.0;
constexpr double kDailyTickSize = 0.0001;
constexpr int64_t kIntradayShiftSeconds = 60;

double SecondsToDateTime(int64_t seconds) {
  return kUnixEpochDay + static_cast<double>(seconds) / kSecondsPerDay;
}

std::string Progress(size_t i, size_t count) {
  return std::to_string(i) + "/" + std::to_string(count);
}

void CollectDaily(IMsSource& source, const TRunSettings& settings, IRunStatus& status,
                  const SecurityTables& tables, CollectedData& data, bool& stopped) {
  // Whole months; the last day counts whole, time of day included.
  const double low = FirstOfMonth(settings.from);
  const double highExclusive = LastOfMonth(settings.to) + 1;
  std::vector<BarEntry> bars;
  const int64_t securities = static_cast<int64_t>(tables.descrD.size() + tables.descr.size());
  int64_t read = 0;
  for (const DescrDRow& row : tables.descrD) {
    status.SetProgress(RunCounter::SecuritiesRead, read++, securities);
    status.SetStatus("Reading " + row.Symbol + "...");
    source.ReadBars(row.No, bars);
    status.SetStatus("Creating daily data for " + row.Name + "...");
    int64_t previous = std::numeric_limits<int64_t>::min();
    for (size_t i = 0; i < bars.size(); ++i) {
      if (status.StopRequested()) {
        stopped = true;
        return;
      }
      if (i % 100 == 0) status.SetStatusDetail(Progress(i, bars.size()));
      const BarEntry& bar = bars[i];
      const bool rising = bar.time > previous;
      previous = bar.time;
      const double t = SecondsToDateTime(bar.time);
      if (!rising || t < low || t >= highExclusive) continue;
      omz::DailyRow out;
      out.name = row.Symbol;
      out.date = std::floor(t);
      out.open = bar.open;
      out.high = bar.high;
      out.low = bar.low;
      out.close = bar.close;
      out.volume = SaturatedVolume(bar.volume);
      out.size = kDailyTickSize;
      data.daily.push_back(std::move(out));
    }
  }
  std::vector<BarEntry>().swap(bars);
}

void CollectIntraday(IMsSource& source, const TRunSettings& settings, IRunStatus& status,
                     const SecurityTables& tables, CollectedData& data, bool& stopped) {
  data.rows.resize(tables.descr.size());
  data.firstTickTime = settings.to;
  data.lastTickTime = settings.from;
  std::vector<BarEntry> bars;
  std::vector<double> shifted;
  const int64_t securities = static_cast<int64_t>(tables.descrD.size() + tables.descr.size());
  for (size_t r = 0; r < tables.descr.size(); ++r) {
    if (status.StopRequested()) {
      stopped = true;
      return;
    }
    status.SetProgress(RunCounter::SecuritiesRead, static_cast<int64_t>(tables.descrD.size() + r), securities);
    const DescrRow& row = tables.descr[r];
    TickRow& out = data.rows[r];
    out.symbol = CutText(row.Symbol, kTickSymbolWidth);
    if (!(row.DateFrom <= row.DateTo)) continue;
    status.SetStatus("Reading " + row.Symbol + "...");
    source.ReadBars(row.No, bars);
    status.SetStatus("Creating intraday data for " + row.Symbol + "...");
    // Shifted times (one minute earlier) and which bars are kept: inside the
    // range and later than the bar before them in the file.
    shifted.resize(bars.size());
    size_t kept = 0;
    int64_t previous = std::numeric_limits<int64_t>::min();
    for (size_t i = 0; i < bars.size(); ++i) {
      const int64_t seconds = bars[i].time - kIntradayShiftSeconds;
      const double t = SecondsToDateTime(seconds);
      const bool keep = seconds > previous && t >= settings.from && t <= settings.to;
      previous = seconds;
      shifted[i] = keep ? t : std::numeric_limits<double>::quiet_NaN();
      if (keep) ++kept;
    }
    out.bars.reserve(kept);
    for (size_t i = 0; i < bars.size(); ++i) {
      if (status.StopRequested()) {
        stopped = true;
        return;
      }
      const double t = shifted[i];
      if (std::isnan(t)) continue;
      data.lastTickTime = std::max(data.lastTickTime, t);
      data.firstTickTime = std::min(data.firstTickTime, t);
      if (i % 1000 == 0) status.SetStatusDetail(Progress(i, bars.size()));
      const BarEntry& bar = bars[i];
      out.bars.push_back({PlusOneToMinusFive(t), bar.open, bar.high, bar.low, bar.close,
                          SaturatedVolume(bar.volume)});
    }
    data.tickTotal += 4 * static_cast<int64_t>(out.bars.size());
  }
  status.SetProgress(RunCounter::SecuritiesRead, securities, securities);
}

}  // namespace

int32_t SaturatedVolume(double volume) {
  if (std::isnan(volume)) return 0;
  if (volume >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (volume <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(volume);
}

int32_t CloseTickVolume(int32_t barVolume) {
  const int64_t v = static_cast<int64_t>(barVolume) - 3;
  return static_cast<int32_t>(std::max<int64_t>(v, std::numeric_limits<int32_t>::min()));
}

bool CollectBars(IMsSource& source, const TRunSettings& settings, IRunStatus& status,
                 const SecurityTables& tables, CollectedData& data) {
  data = CollectedData{};
  bool stopped = false;
  CollectDaily(source, settings, status, tables, data, stopped);
  if (!stopped) CollectIntraday(source, settings, status, tables, data, stopped);
  return true;
}

}  // namespace vz::app
