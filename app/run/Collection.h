#pragma once
// The price data collection: reads every chosen security's bars once and
// keeps the daily bars of the months the range touches and the intraday
// bars inside the range.
//
// Intraday bars are kept as compact bar records, one row per TblDescr row,
// each row allocated at exactly the number of bars it keeps; the export
// turns each kept bar into its four ticks (open, high, low, close) when it
// packs the bar's day. Memory therefore follows the bars actually kept, not the
// row count times the largest row.
#include <cstdint>
#include <string>
#include <vector>

#include "app/run/Analysis.h"
#include "app/run/AnalysisSource.h"
#include "app/run/RunSettings.h"
#include "app/run/RunStatus.h"
#include "app/run/Tables.h"
#include "vuzuz/OmzTypes.h"

namespace vz::app {

// Longest symbol a tick record holds (char[16], zero-terminated).
inline constexpr size_t kTickSymbolWidth = 15;

// One kept intraday bar, as small as the data allows: MetaStock stores
// prices as 32-bit floating point, so floats hold them exactly, and the
// time stays the whole seconds count the bar was read with. The four ticks
// the bar stands for (open, high, low, close) share its time and are made
// when the export packs the bar's day.
struct KeptBar {
  int64_t time = 0;  // shifted bar time: seconds since 1970-01-01 on the data clock
  float open = 0;
  float high = 0;
  float low = 0;
  float close = 0;
  int32_t volume = 0;  // the bar's volume, truncated and saturated
};
static_assert(sizeof(KeptBar) <= 32, "the memory budget allows 32 bytes per kept intraday bar");

// A kept bar's shifted time as a date-time on the data clock (UTC+1), and
// its ticks' date-time on the UTC-5 clock.
double KeptBarDataTime(const KeptBar& bar);
double KeptBarTickTime(const KeptBar& bar);

struct TickRow {
  std::string symbol;          // as the tick records carry it
  std::vector<KeptBar> bars;   // time order
};

// One kept daily bar, 24 bytes: its security's symbol is kept once with
// its rows, the tick size is always the same, the day is whole, and the
// prices are floats, as MetaStock stores them.
struct KeptDailyRow {
  int32_t day = 0;     // the bar's day as a date-time day number
  int32_t volume = 0;  // truncated and saturated
  float open = 0;
  float high = 0;
  float low = 0;
  float close = 0;
};
static_assert(sizeof(KeptDailyRow) == 24, "a kept daily row is 24 bytes");

// The kept daily rows of one security, in date order.
struct DailySecurity {
  std::string symbol;  // whole, as the daily file takes it
  std::vector<KeptDailyRow> rows;
  // The prices as they came, four a row (open, high, low, close), only for
  // a security whose prices are not all floats (not from MetaStock's own
  // files): the archives then get exactly what they got before.
  std::vector<double> widePrices;

  // Appends a row, keeping the prices exact.
  void Add(int32_t day, int32_t volume, double open, double high, double low, double close);
  // Releases the room the rows did not use.
  void Fit();
};

// A kept row as the daily file writer takes it (TblDailyData's columns).
omz::DailyRow DailyRowOf(const DailySecurity& security, size_t row);
// All kept daily rows in table order, as TblDailyData holds them.
std::vector<omz::DailyRow> DailyTable(const std::vector<DailySecurity>& daily);
// Daily rows in table order grouped into securities (consecutive rows of
// one symbol form one); each group must be in date order.
std::vector<DailySecurity> DailySecurities(const std::vector<omz::DailyRow>& table);

struct CollectedData {
  std::vector<DailySecurity> daily;  // TblDailyData: securities with rows, in table order
  std::vector<TickRow> rows;     // one per TblDescr row, same order
  int64_t tickTotal = 0;         // ticks of all rows (4 per kept bar)
  double firstTickTime = 0;      // earliest kept shifted bar time (data clock)
  double lastTickTime = 0;       // latest kept shifted bar time

  int64_t DailyRowCount() const;
};

// A floating volume as an int32: truncated toward zero, saturated at the
// int32 range, NaN as 0.
int32_t SaturatedVolume(double volume);

// The volume of a bar's close tick: the bar's volume minus the three ticks
// of volume 1 before it, saturated.
int32_t CloseTickVolume(int32_t barVolume);

// The part of the range one collection keeps: the whole range, or one
// window of a run converted in several because its bars would not fit the
// memory budget. Intraday bars are kept when their shifted time lies in
// [from, before) and in the range; daily bars when their time lies in
// [dailyLow, dailyBefore) (whole months; an empty span keeps none).
struct CollectWindow {
  double from = 0;
  double before = 0;
  double dailyLow = 0;
  double dailyBefore = 0;
};

// The window that is the whole range.
CollectWindow WholeRangeWindow(const TRunSettings& settings);

// Which of the securities that share a symbol are converted, decided over
// the whole range (so that every window converts the same one), with the
// note naming the others.
struct SharedSymbolChoice {
  std::vector<uint8_t> dailyDropped;     // per TblDescrD row: 1 when not converted
  std::vector<uint8_t> intradayDropped;  // per TblDescr row
  std::vector<std::string> notes;        // RunNotes::sharedSymbol, in order
  bool stopped = false;                  // a stop request cut the choice short
};

// Reads the securities that share a symbol (only those) and counts the bars
// each keeps in the whole range. Stops early, with an incomplete choice, on
// a stop request.
SharedSymbolChoice ChooseSharedSymbols(IMsSource& source, const TRunSettings& settings, IRunStatus& status,
                                       const SecurityTables& tables);

// Fills `data` with what `window` keeps of the tables' securities, leaving
// out the securities `choice` drops. Always true (a stop leaves the data
// partly filled). Unreadable and out-of-order securities are named in
// `notes` as they are read; the shared-symbol note is the caller's.
bool CollectWindowBars(IMsSource& source, const TRunSettings& settings, const CollectWindow& window,
                       const SharedSymbolChoice& choice, IRunStatus& status, const SecurityTables& tables,
                       CollectedData& data, RunNotes& notes);

// Fills `data` from the source for the tables' securities. Always true
// (a stop leaves the data partly filled). The caller closes the source.
// Each security's bars are taken in time order; securities whose data
// cannot be read, whose files were out of order, or that share a symbol
// with the security converted under it are named in `notes`.
bool CollectBars(IMsSource& source, const TRunSettings& settings, IRunStatus& status,
                 const SecurityTables& tables, CollectedData& data, RunNotes& notes);

}  // namespace vz::app
