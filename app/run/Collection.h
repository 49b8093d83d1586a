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

struct CollectedData {
  std::vector<omz::DailyRow> daily;  // TblDailyData, whole symbols
  std::vector<TickRow> rows;     // one per TblDescr row, same order
  int64_t tickTotal = 0;         // ticks of all rows (4 per kept bar)
  double firstTickTime = 0;      // earliest kept shifted bar time (data clock)
  double lastTickTime = 0;       // latest kept shifted bar time
};

// A floating volume as an int32: truncated toward zero, saturated at the
// int32 range, NaN as 0.
int32_t SaturatedVolume(double volume);

// The volume of a bar's close tick: the bar's volume minus the three ticks
// of volume 1 before it, saturated.
int32_t CloseTickVolume(int32_t barVolume);

// Fills `data` from the source for the tables' securities. Always true
// (a stop leaves the data partly filled). The caller closes the source.
// Each security's bars are taken in time order; securities whose data
// cannot be read, whose files were out of order, or that share a symbol
// with the security converted under it are named in `notes`.
bool CollectBars(IMsSource& source, const TRunSettings& settings, IRunStatus& status,
                 const SecurityTables& tables, CollectedData& data, RunNotes& notes);

}  // namespace vz::app
