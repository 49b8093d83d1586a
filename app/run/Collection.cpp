#include "app/run/Collection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <tuple>

#include "app/run/BarOrder.h"
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

// A price as a float. MetaStock's prices are 32-bit floats, so this is
// exact for them; a value beyond the float range (from another source)
// becomes an infinity, which no tick size holds either.
float PriceAsFloat(double price) {
  if (std::isnan(price)) return std::numeric_limits<float>::quiet_NaN();
  if (std::fabs(price) > std::numeric_limits<float>::max())
    return price > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
  return static_cast<float>(price);
}

std::string Progress(size_t i, size_t count) {
  return std::to_string(i) + "/" + std::to_string(count);
}

// Reads one security's bars in time order; false, with the security named
// in the note, when its data could not be read. Files out of order are
// sorted and named too.
bool ReadSortedBars(IMsSource& source, int no, const std::string& label, std::vector<BarEntry>& bars,
                    RunNotes& notes) {
  std::string why;
  if (!source.ReadBars(no, bars, why)) {
    bars.clear();
    notes.unreadable.push_back(label + " (" + why + ")");
    return false;
  }
  const BarOrderCounts counts = SortBarsByTime(bars);
  if (counts.reordered > 0)
    notes.reordered.push_back(label + " (" + std::to_string(counts.reordered) + " reordered, " +
                              std::to_string(counts.repeats) + " repeats dropped)");
  return true;
}

// Groups of table rows that would share one symbol in the archives: GlobalServer
// keeps one security per symbol. Row indices in table order.
template <class Rows, class SymbolOf>
std::vector<std::vector<size_t>> SharedSymbolGroups(const Rows& rows, SymbolOf symbolOf) {
  std::map<std::string, std::vector<size_t>> bySymbol;
  for (size_t r = 0; r < rows.size(); ++r) bySymbol[symbolOf(rows[r])].push_back(r);
  std::vector<std::vector<size_t>> groups;
  for (auto& [symbol, members] : bySymbol)
    if (members.size() > 1) groups.push_back(std::move(members));
  return groups;
}

void CollectDaily(IMsSource& source, const TRunSettings& settings, IRunStatus& status,
                  const SecurityTables& tables, CollectedData& data, RunNotes& notes, bool& stopped) {
  // Whole months; the last day counts whole, time of day included.
  const double low = FirstOfMonth(settings.from);
  const double highExclusive = LastOfMonth(settings.to) + 1;
  std::vector<BarEntry> bars;
  // Each security's rows apart until securities sharing a symbol are settled.
  std::vector<std::vector<omz::DailyRow>> perRow(tables.descrD.size());
  auto keepRows = [&] {
    for (std::vector<omz::DailyRow>& rows : perRow) {
      data.daily.insert(data.daily.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
      std::vector<omz::DailyRow>().swap(rows);
    }
  };
  const int64_t securities = static_cast<int64_t>(tables.descrD.size() + tables.descr.size());
  for (size_t q = 0; q < tables.descrD.size(); ++q) {
    const DescrDRow& row = tables.descrD[q];
    status.SetProgress(RunCounter::SecuritiesRead, static_cast<int64_t>(q), securities);
    status.SetStatus("Reading " + row.Symbol + "...");
    ReadSortedBars(source, row.No, row.Symbol, bars, notes);
    status.SetStatus("Creating daily data for " + row.Name + "...");
    int64_t previous = std::numeric_limits<int64_t>::min();
    for (size_t i = 0; i < bars.size(); ++i) {
      if (status.StopRequested()) {
        stopped = true;
        keepRows();
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
      perRow[q].push_back(std::move(out));
    }
  }
  std::vector<BarEntry>().swap(bars);
  // Of securities sharing a symbol the one with the most bars in the range
  // is converted (the lower file number when equal); two would give each
  // date twice in the month's block.
  for (const std::vector<size_t>& group :
       SharedSymbolGroups(tables.descrD, [](const DescrDRow& row) { return row.Symbol; })) {
    size_t best = group.front();
    for (size_t q : group) {
      const size_t n = perRow[q].size(), m = perRow[best].size();
      const int fq = source.Security(tables.descrD[q].No).fileNumber;
      const int fb = source.Security(tables.descrD[best].No).fileNumber;
      if (n > m || (n == m && fq < fb)) best = q;
    }
    for (size_t q : group) {
      if (q == best) continue;
      const DescrDRow& row = tables.descrD[q];
      notes.sharedSymbol.push_back(row.Symbol + " (F" + std::to_string(source.Security(row.No).fileNumber) + ", " +
                                   std::to_string(perRow[q].size()) + " bars in the range)");
      perRow[q].clear();
    }
  }
  keepRows();
}

void CollectIntraday(IMsSource& source, const TRunSettings& settings, IRunStatus& status,
                     const SecurityTables& tables, CollectedData& data, RunNotes& notes, bool& stopped) {
  data.rows.resize(tables.descr.size());
  // Each row's first and last kept shifted time, on the data clock.
  std::vector<std::pair<double, double>> bounds(tables.descr.size());
  std::vector<BarEntry> bars;
  std::vector<uint8_t> keep;
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
    ReadSortedBars(source, row.No, row.Symbol, bars, notes);
    status.SetStatus("Creating intraday data for " + row.Symbol + "...");
    // Which bars are kept: their shifted time (one minute earlier) inside
    // the range and later than the bar before them in time order.
    keep.assign(bars.size(), 0);
    size_t kept = 0;
    int64_t previous = std::numeric_limits<int64_t>::min();
    for (size_t i = 0; i < bars.size(); ++i) {
      const int64_t seconds = bars[i].time - kIntradayShiftSeconds;
      const double t = SecondsToDateTime(seconds);
      keep[i] = seconds > previous && t >= settings.from && t <= settings.to;
      previous = seconds;
      kept += keep[i];
    }
    out.bars.reserve(kept);
    for (size_t i = 0; i < bars.size(); ++i) {
      if (status.StopRequested()) {
        stopped = true;
        return;
      }
      if (!keep[i]) continue;
      const BarEntry& bar = bars[i];
      const int64_t seconds = bar.time - kIntradayShiftSeconds;
      const double t = SecondsToDateTime(seconds);
      if (out.bars.empty()) bounds[r].first = t;
      bounds[r].second = t;
      if (i % 1000 == 0) status.SetStatusDetail(Progress(i, bars.size()));
      out.bars.push_back({seconds, PriceAsFloat(bar.open), PriceAsFloat(bar.high), PriceAsFloat(bar.low),
                          PriceAsFloat(bar.close), SaturatedVolume(bar.volume)});
    }
  }
  // Of securities whose ticks would carry one symbol, the finest interval
  // is converted (then the most bars kept, then the lower file number);
  // merged, their ticks would go back in time and count volume twice.
  for (const std::vector<size_t>& group : SharedSymbolGroups(data.rows, [](const TickRow& row) { return row.symbol; })) {
    auto rank = [&](size_t r) {
      return std::make_tuple(tables.descr[r].Interval, -static_cast<int64_t>(data.rows[r].bars.size()),
                             source.Security(tables.descr[r].No).fileNumber);
    };
    size_t best = group.front();
    for (size_t r : group)
      if (rank(r) < rank(best)) best = r;
    for (size_t r : group) {
      if (r == best) continue;
      const DescrRow& row = tables.descr[r];
      notes.sharedSymbol.push_back(row.Symbol + " at " + std::to_string(row.Interval) + " minutes (F" +
                                   std::to_string(source.Security(row.No).fileNumber) + ")");
      std::vector<KeptBar>().swap(data.rows[r].bars);
    }
  }
  data.firstTickTime = settings.to;
  data.lastTickTime = settings.from;
  for (size_t r = 0; r < data.rows.size(); ++r) {
    if (data.rows[r].bars.empty()) continue;
    data.firstTickTime = std::min(data.firstTickTime, bounds[r].first);
    data.lastTickTime = std::max(data.lastTickTime, bounds[r].second);
    data.tickTotal += 4 * static_cast<int64_t>(data.rows[r].bars.size());
  }
  status.SetProgress(RunCounter::SecuritiesRead, securities, securities);
}

}  // namespace

double KeptBarDataTime(const KeptBar& bar) { return SecondsToDateTime(bar.time); }

double KeptBarTickTime(const KeptBar& bar) { return PlusOneToMinusFive(KeptBarDataTime(bar)); }

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
                 const SecurityTables& tables, CollectedData& data, RunNotes& notes) {
  data = CollectedData{};
  bool stopped = false;
  CollectDaily(source, settings, status, tables, data, notes, stopped);
  if (!stopped) CollectIntraday(source, settings, status, tables, data, notes, stopped);
  return true;
}

}  // namespace vz::app
