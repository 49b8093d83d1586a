#pragma once
// --verify, the source side: what a run over a range would put into each
// archive. The run's own analysis and collection read the MetaStock
// directory, opened only to look (nothing in it is created or changed), so
// the keep rules are the run's: time order, one security per symbol, the
// range, the tick sizes. A day archive's ticks are first walked against
// the kept bars themselves; where that does not show agreement, and for
// the months, the files are built in memory with the program's writers,
// as the export builds them, and compared whole, then read back with its
// readers, so that both sides of a comparison are in the form the files
// store (names as stored, prices in whole ticks, minutes).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/verify/VerifyArchive.h"
#include "app/run/Collection.h"
#include "app/run/ExportSets.h"
#include "vuzuz/OmzTypes.h"

namespace vz::app {

struct VerifyRange {
  double from = 0;  // the range of the run's keep rules (its /f: and /t:)
  double to = 0;
  // The months whose daily archives and the days whose day archives are
  // compared (none when first > last); within what from..to keeps.
  int firstMonth = 0;
  int lastMonth = -1;
  int64_t firstDay = 0;
  int64_t lastDay = -1;
  bool selected = false;  // only the securities of the selection list (IMASTER)
};

// What the source gives for one archive.
struct SourceSet {
  std::vector<omz::DailyRow> daily;
  std::vector<omz::Tick> ticks;
  size_t securities = 0;
  size_t bars = 0;  // daily rows, or intraday bars (four ticks each)
};

// The source's bars for every month and day of a range, kept as compactly
// as the run keeps them; each archive's contents are made only when asked
// for, so that no more than one day's ticks per caller exist at a time.
class TSourceSets {
public:
  // Reads the directory. False, with the reason, when it cannot be opened.
  bool Collect(const std::string& msDir, const VerifyRange& range, std::string& why);
  // The archives the range gives (ArchivePlace::relative), in name order.
  std::vector<std::string> Places() const;
  // What the source gives for the archive at `relative` (empty for none).
  // May be called from several threads at once.
  SourceSet Build(const std::string& relative) const;
  // The data files a run writes for the archive at `relative` (the .DLY,
  // or the .DAT and the .IDX; none when it writes no archive), time
  // stamps aside the same bytes.
  std::vector<Bytes> BuildFiles(const std::string& relative) const;
  // True when `ticks` (as the reader gives a day archive's ticks back) are
  // the source's bars for that day, tick for tick, each price within half
  // a tick of the source's. False proves nothing: the caller then compares
  // the files the run would write. Much cheaper than building them.
  bool TicksAgree(const std::string& relative, const std::vector<omz::Tick>& ticks) const;
  // What the run's notes would say of the source, "" when nothing.
  const std::string& Notes() const { return notes_; }

private:
  CollectedData data_;
  std::map<std::string, std::vector<omz::DailyRow>> months_;
  std::map<std::string, SetJob> days_;
  std::string notes_;
};

}  // namespace vz::app
