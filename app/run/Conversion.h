#pragma once
// The three conversion stages of a run and the state they share: the
// securities tables, the daily bars, the tick buffer and the open MetaStock
// directory. One object per run, used from the worker thread only.
//
// Each stage returns false for a failure that ends the run, true when done,
// also when it noticed a stop request (the run checks the request after each
// stage).
#include <cstdint>
#include <memory>
#include <string>

#include "app/run/RunSettings.h"
#include "app/run/RunStatus.h"

namespace vz::app {

struct ExportOptions;

class TConversion {
public:
  TConversion(const TRunSettings& settings, IRunStatus& status);
  ~TConversion();  // closes the MetaStock directory if it is still open
  TConversion(const TConversion&) = delete;
  TConversion& operator=(const TConversion&) = delete;

  bool AnalyseSecurities();
  bool CollectPriceData();
  bool ExportArchives();
  // Closes the MetaStock directory if a stage left it open (stop or failure).
  void CloseMsDirectory();

  // How the export writes (pack threads, free-space source); before the run.
  void SetExportOptions(const ExportOptions& options);
  // What the run could not take as it was (securities with unreadable
  // period texts or dates, without symbol; sets left out), one line per
  // kind naming them; empty when there is nothing to say. Shown with
  // ShowMessage at the end of the export unless the run closes the window
  // by itself.
  std::string Notes() const;
  // True when the note names data that did not reach the archives (a
  // security that could not be read, bars or securities a file could not
  // hold, securities without symbol or name).
  bool LeftOut() const;
  // Intraday bars the collection kept (four ticks each), over all windows.
  int64_t KeptIntradayBars() const;
  // Daily rows the collection kept, over all windows.
  int64_t KeptDailyRows() const;
  // Windows the run's range is converted in (after the collection; 1 when
  // its bars fit the memory budget at once).
  size_t Windows() const;

private:
  // The export of a range in several windows: each window after the first
  // is collected again, then exported.
  bool ExportWindows();

  struct State;
  std::unique_ptr<State> state_;
};

// The From date that follows the archives already in an output directory:
// the day of the newest day archive found in its month folders, or `today`
// (a date-time) moved back three calendar months when there is none.
double FindNextStartDate(const std::string& outputDir, double today);

}  // namespace vz::app
