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

// The keep rule of a security's bars, which the caller has put in time
// order: a bar is kept when its time (for intraday bars shifted one minute
// back) is later than that of the bar before it, kept or not, and lies in
// [low, before) and in [rangeLow, rangeHigh].
struct KeepRule {
  int64_t shiftSeconds = 0;
  double low = 0;
  double before = 0;
  double rangeLow = -std::numeric_limits<double>::infinity();
  double rangeHigh = std::numeric_limits<double>::infinity();
};

// What a kept bar carries on: its (shifted) time and its values.
struct KeptValues {
  int64_t seconds = 0;
  double time = 0;  // seconds as a date-time on the data clock
  double open = 0, high = 0, low = 0, close = 0, volume = 0;
};

// The one place that reads a security's bars: calls keep(i, values) for
// every bar i the rule keeps, in order; keep returns false to stop the walk
// (a stop request). Returns the number of bars kept.
// The bars are in time order (ReadSortedBars), so the walk starts at the
// first bar of the span and ends at the first beyond it: a window of a long
// file costs its own bars, not the file's.
template <class Keep>
size_t KeepBars(const std::vector<BarEntry>& bars, const KeepRule& rule, Keep&& keep) {
  auto timeOf = [&](const BarEntry& bar) { return SecondsToDateTime(bar.time - rule.shiftSeconds); };
  const double low = std::max(rule.low, rule.rangeLow);
  const auto first = std::partition_point(bars.begin(), bars.end(), [&](const BarEntry& bar) { return timeOf(bar) < low; });
  size_t kept = 0;
  int64_t previous = first == bars.begin() ? std::numeric_limits<int64_t>::min() : (first - 1)->time - rule.shiftSeconds;
  for (size_t i = static_cast<size_t>(first - bars.begin()); i < bars.size(); ++i) {
    const BarEntry& bar = bars[i];
    const int64_t seconds = bar.time - rule.shiftSeconds;
    const bool rising = seconds > previous;
    previous = seconds;
    const double t = SecondsToDateTime(seconds);
    if (t >= rule.before || t > rule.rangeHigh) break;
    if (!rising) continue;
    ++kept;
    if (!keep(i, KeptValues{seconds, t, bar.open, bar.high, bar.low, bar.close, bar.volume})) break;
  }
  return kept;
}

KeepRule DailyRule(const CollectWindow& window) {
  KeepRule rule;
  rule.low = window.dailyLow;
  rule.before = window.dailyBefore;
  return rule;
}

KeepRule IntradayRule(const TRunSettings& settings, const CollectWindow& window) {
  KeepRule rule;
  rule.shiftSeconds = kIntradayShiftSeconds;
  rule.low = window.from;
  rule.before = window.before;
  rule.rangeLow = settings.from;
  rule.rangeHigh = settings.to;
  return rule;
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

std::string TickSymbolOf(const DescrRow& row) { return CutText(row.Symbol, kTickSymbolWidth); }

void CollectDaily(IMsSource& source, const CollectWindow& window, const SharedSymbolChoice& choice,
                  IRunStatus& status, const SecurityTables& tables, CollectedData& data, RunNotes& notes,
                  bool& stopped) {
  const KeepRule rule = DailyRule(window);
  std::vector<BarEntry> bars;
  const int64_t securities = static_cast<int64_t>(tables.descrD.size() + tables.descr.size());
  for (size_t q = 0; q < tables.descrD.size(); ++q) {
    const DescrDRow& row = tables.descrD[q];
    status.SetProgress(RunCounter::SecuritiesRead, static_cast<int64_t>(q), securities);
    status.SetStatus("Reading " + row.Symbol + "...");
    ReadSortedBars(source, row.No, row.Symbol, bars, notes);
    status.SetStatus("Creating daily data for " + row.Name + "...");
    // Securities that share a symbol with the one converted are read (for
    // the note on their files) but keep nothing.
    if (q < choice.dailyDropped.size() && choice.dailyDropped[q]) continue;
    // Counted first, so that the rows are allocated at exactly their number.
    const size_t kept = KeepBars(bars, rule, [](size_t, const KeptValues&) { return true; });
    if (kept == 0) continue;
    DailySecurity out;
    out.symbol = row.Symbol;
    out.rows.reserve(kept);
    KeepBars(bars, rule, [&](size_t i, const KeptValues& bar) {
      if (status.StopRequested()) {
        stopped = true;
        return false;
      }
      if (i % 100 == 0) status.SetStatusDetail(Progress(i, bars.size()));
      out.Add(static_cast<int32_t>(std::floor(bar.time)), SaturatedVolume(bar.volume), bar.open, bar.high, bar.low,
              bar.close);
      return true;
    });
    out.Fit();
    if (!out.rows.empty()) data.daily.push_back(std::move(out));
    if (stopped) return;
  }
}

void CollectIntraday(IMsSource& source, const TRunSettings& settings, const CollectWindow& window,
                     const SharedSymbolChoice& choice, IRunStatus& status, const SecurityTables& tables,
                     CollectedData& data, RunNotes& notes, bool& stopped) {
  const KeepRule rule = IntradayRule(settings, window);
  data.rows.resize(tables.descr.size());
  std::vector<BarEntry> bars;
  const int64_t securities = static_cast<int64_t>(tables.descrD.size() + tables.descr.size());
  // The data clock's first and last kept times start at the range's ends,
  // as an empty collection leaves them.
  data.firstTickTime = settings.to;
  data.lastTickTime = settings.from;
  for (size_t r = 0; r < tables.descr.size(); ++r) {
    if (status.StopRequested()) {
      stopped = true;
      return;
    }
    status.SetProgress(RunCounter::SecuritiesRead, static_cast<int64_t>(tables.descrD.size() + r), securities);
    const DescrRow& row = tables.descr[r];
    TickRow& out = data.rows[r];
    out.symbol = TickSymbolOf(row);
    if (!(row.DateFrom <= row.DateTo)) continue;
    status.SetStatus("Reading " + row.Symbol + "...");
    ReadSortedBars(source, row.No, row.Symbol, bars, notes);
    status.SetStatus("Creating intraday data for " + row.Symbol + "...");
    if (r < choice.intradayDropped.size() && choice.intradayDropped[r]) continue;
    // Counted first, so that the row is allocated at exactly its bars.
    out.bars.reserve(KeepBars(bars, rule, [](size_t, const KeptValues&) { return true; }));
    KeepBars(bars, rule, [&](size_t i, const KeptValues& bar) {
      if (status.StopRequested()) {
        stopped = true;
        return false;
      }
      if (i % 1000 == 0) status.SetStatusDetail(Progress(i, bars.size()));
      out.bars.push_back({bar.seconds, PriceAsFloat(bar.open), PriceAsFloat(bar.high), PriceAsFloat(bar.low),
                          PriceAsFloat(bar.close), SaturatedVolume(bar.volume)});
      return true;
    });
    if (stopped) return;
    if (out.bars.empty()) continue;
    data.firstTickTime = std::min(data.firstTickTime, KeptBarDataTime(out.bars.front()));
    data.lastTickTime = std::max(data.lastTickTime, KeptBarDataTime(out.bars.back()));
    data.tickTotal += 4 * static_cast<int64_t>(out.bars.size());
  }
  status.SetProgress(RunCounter::SecuritiesRead, securities, securities);
}

// Bars security `no` keeps under `rule` over the whole range (0 when its
// data cannot be read: it then keeps nothing in any window either).
size_t CountKept(IMsSource& source, int no, const std::string& label, const KeepRule& rule,
                 std::vector<BarEntry>& bars) {
  RunNotes unused;  // the collection names the security when it reads it
  ReadSortedBars(source, no, label, bars, unused);
  return KeepBars(bars, rule, [](size_t, const KeptValues&) { return true; });
}

}  // namespace

namespace {

// Whether a price survives the trip through a float unchanged (NaN does,
// as far as any file can tell).
bool FloatHolds(double price) { return std::isnan(price) || static_cast<double>(static_cast<float>(price)) == price; }

}  // namespace

void DailySecurity::Add(int32_t day, int32_t volume, double open, double high, double low, double close) {
  const double prices[4] = {open, high, low, close};
  const bool exact = FloatHolds(open) && FloatHolds(high) && FloatHolds(low) && FloatHolds(close);
  if (!exact && widePrices.empty()) {
    // The first price no float holds: the rows so far get their prices
    // kept wide too.
    widePrices.reserve(4 * rows.capacity());
    for (const KeptDailyRow& r : rows) widePrices.insert(widePrices.end(), {r.open, r.high, r.low, r.close});
  }
  if (!widePrices.empty()) widePrices.insert(widePrices.end(), std::begin(prices), std::end(prices));
  rows.push_back({day, volume, PriceAsFloat(open), PriceAsFloat(high), PriceAsFloat(low), PriceAsFloat(close)});
}

void DailySecurity::Fit() {
  rows.shrink_to_fit();
  widePrices.shrink_to_fit();
}

omz::DailyRow DailyRowOf(const DailySecurity& security, size_t i) {
  const KeptDailyRow& row = security.rows[i];
  omz::DailyRow out;
  out.name = security.symbol;
  out.date = row.day;
  if (security.widePrices.empty()) {
    out.open = row.open;
    out.high = row.high;
    out.low = row.low;
    out.close = row.close;
  } else {
    out.open = security.widePrices[4 * i];
    out.high = security.widePrices[4 * i + 1];
    out.low = security.widePrices[4 * i + 2];
    out.close = security.widePrices[4 * i + 3];
  }
  out.volume = row.volume;
  out.size = kDailyTickSize;
  return out;
}

std::vector<omz::DailyRow> DailyTable(const std::vector<DailySecurity>& daily) {
  std::vector<omz::DailyRow> table;
  for (const DailySecurity& security : daily)
    for (size_t i = 0; i < security.rows.size(); ++i) table.push_back(DailyRowOf(security, i));
  return table;
}

std::vector<DailySecurity> DailySecurities(const std::vector<omz::DailyRow>& table) {
  std::vector<DailySecurity> daily;
  for (const omz::DailyRow& row : table) {
    if (daily.empty() || daily.back().symbol != row.name) daily.push_back({row.name, {}, {}});
    daily.back().Add(static_cast<int32_t>(std::floor(row.date)), row.volume, row.open, row.high, row.low, row.close);
  }
  return daily;
}

int64_t CollectedData::DailyRowCount() const {
  int64_t count = 0;
  for (const DailySecurity& security : daily) count += static_cast<int64_t>(security.rows.size());
  return count;
}

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

CollectWindow WholeRangeWindow(const TRunSettings& settings) {
  CollectWindow window;
  window.from = -std::numeric_limits<double>::infinity();
  window.before = std::numeric_limits<double>::infinity();
  // Whole months; the last day counts whole, time of day included.
  window.dailyLow = FirstOfMonth(settings.from);
  window.dailyBefore = LastOfMonth(settings.to) + 1;
  return window;
}

SharedSymbolChoice ChooseSharedSymbols(IMsSource& source, const TRunSettings& settings, IRunStatus& status,
                                       const SecurityTables& tables) {
  SharedSymbolChoice choice;
  choice.dailyDropped.assign(tables.descrD.size(), 0);
  choice.intradayDropped.assign(tables.descr.size(), 0);
  const CollectWindow whole = WholeRangeWindow(settings);
  std::vector<BarEntry> bars;
  // Daily: of securities sharing a symbol the one with the most bars in
  // the range's months is converted (the lower file number when equal);
  // two would give each date twice in the month's block.
  for (const std::vector<size_t>& group :
       SharedSymbolGroups(tables.descrD, [](const DescrDRow& row) { return row.Symbol; })) {
    if (status.StopRequested()) {
      choice.stopped = true;
      return choice;
    }
    std::vector<size_t> counts;
    for (size_t q : group) {
      const DescrDRow& row = tables.descrD[q];
      status.SetStatus("Reading " + row.Symbol + "...");
      counts.push_back(CountKept(source, row.No, row.Symbol, DailyRule(whole), bars));
    }
    size_t best = 0;
    for (size_t k = 0; k < group.size(); ++k) {
      const int fk = source.Security(tables.descrD[group[k]].No).fileNumber;
      const int fb = source.Security(tables.descrD[group[best]].No).fileNumber;
      if (counts[k] > counts[best] || (counts[k] == counts[best] && fk < fb)) best = k;
    }
    for (size_t k = 0; k < group.size(); ++k) {
      if (k == best) continue;
      const DescrDRow& row = tables.descrD[group[k]];
      choice.dailyDropped[group[k]] = 1;
      choice.notes.push_back(row.Symbol + " (F" + std::to_string(source.Security(row.No).fileNumber) + ", " +
                             std::to_string(counts[k]) + " bars in the range)");
    }
  }
  // Intraday, on the symbol as the ticks carry it: the finest interval is
  // converted (then the most bars kept, then the lower file number);
  // merged, their ticks would go back in time and count volume twice.
  for (const std::vector<size_t>& group : SharedSymbolGroups(tables.descr, TickSymbolOf)) {
    if (status.StopRequested()) {
      choice.stopped = true;
      return choice;
    }
    std::vector<std::tuple<int, int64_t, int>> ranks;
    for (size_t r : group) {
      const DescrRow& row = tables.descr[r];
      size_t kept = 0;
      if (row.DateFrom <= row.DateTo) {
        status.SetStatus("Reading " + row.Symbol + "...");
        kept = CountKept(source, row.No, row.Symbol, IntradayRule(settings, whole), bars);
      }
      ranks.emplace_back(row.Interval, -static_cast<int64_t>(kept), source.Security(row.No).fileNumber);
    }
    size_t best = 0;
    for (size_t k = 0; k < group.size(); ++k)
      if (ranks[k] < ranks[best]) best = k;
    for (size_t k = 0; k < group.size(); ++k) {
      if (k == best) continue;
      const DescrRow& row = tables.descr[group[k]];
      choice.intradayDropped[group[k]] = 1;
      choice.notes.push_back(row.Symbol + " at " + std::to_string(row.Interval) + " minutes (F" +
                             std::to_string(source.Security(row.No).fileNumber) + ")");
    }
  }
  return choice;
}

bool CollectWindowBars(IMsSource& source, const TRunSettings& settings, const CollectWindow& window,
                       const SharedSymbolChoice& choice, IRunStatus& status, const SecurityTables& tables,
                       CollectedData& data, RunNotes& notes) {
  data = CollectedData{};
  bool stopped = false;
  CollectDaily(source, window, choice, status, tables, data, notes, stopped);
  if (!stopped) CollectIntraday(source, settings, window, choice, status, tables, data, notes, stopped);
  return true;
}

bool CollectBars(IMsSource& source, const TRunSettings& settings, IRunStatus& status,
                 const SecurityTables& tables, CollectedData& data, RunNotes& notes) {
  data = CollectedData{};
  const SharedSymbolChoice choice = ChooseSharedSymbols(source, settings, status, tables);
  if (choice.stopped) return true;
  CollectWindowBars(source, settings, WholeRangeWindow(settings), choice, status, tables, data, notes);
  notes.sharedSymbol.insert(notes.sharedSymbol.end(), choice.notes.begin(), choice.notes.end());
  return true;
}

}  // namespace vz::app
