#pragma once
// The conversion run: the three stages with a stop check after each, then
// Smart import (GlobalServer deletes its data for the range and imports the
// monthly daily archives and the day archives). It returns how it ended; the
// window applies the end (button, controls, final status, close request).
#include <functional>
#include <string>
#include <vector>

#include "app/run/ConversionStages.h"
#include "app/run/RunSettings.h"
#include "app/run/RunStatus.h"
#include "automation/GlobalServer.h"

namespace vz::app {

enum class RunEnd { Normal, Stopped, Failed };

// How Smart import ended, so that the days GlobalServer has not received can
// be kept track of across runs.
enum class ImportEnd {
  NotTried,      // Smart import off, not possible on this system, or the run ended before it
  NotRunning,    // GlobalServer was not running
  Cancelled,     // the range dialog was cancelled
  DeleteFailed,  // the delete wizard failed twice: part of the range may be deleted
  Failed,        // an import pass failed, or GlobalServer closed before it
  Imported,      // every pass asked for imported its archives (perhaps unconfirmed)
};

// The days an import covered, both whole days and included; empty when
// last < first.
struct DayRange {
  double first = 0;
  double last = -1;
  bool Empty() const { return last < first; }
};

struct RunResult {
  RunEnd end = RunEnd::Normal;
  bool importOk = true;  // false: dialog cancelled, deletion or an import failed
  // The export completed, but a security, a bar or a day could not be
  // converted; the run's note says which.
  bool leftOut = false;
  // Sentences that the final status adds after its usual text: what Smart
  // import did not do (skipped, a delete not confirmed, what GlobalServer
  // lost when the import failed after a delete).
  std::string importStatus;
  ImportEnd importEnd = ImportEnd::NotTried;
  // With ImportEnd::Imported: the days GlobalServer received, those of the
  // intraday pass (the range dialog may have narrowed them) within the
  // months of the daily pass, each only when it was asked for.
  DayRange imported;
};

inline constexpr char kSmartImportNotRunning[] = "Smart import skipped: GlobalServer is not running.";

struct SmartImportResult {
  bool ok = true;
  std::string status;  // as RunResult::importStatus
  ImportEnd end = ImportEnd::Imported;
  DayRange imported;   // as RunResult::imported
};

struct SmartImportServices {
  automation::IGlobalServer& server;
  automation::IImportRangeDialog& rangeDialog;
  std::function<void(int milliseconds)> sleep;
  // The clock the delete wizard takes its range on (GlobalServer's local
  // time of a date-time given on the data's clock).
  std::function<double(double)> deleteClock;
};

// The run. Closes the MetaStock directory at every end; an error escaping a
// stage ends it as a failed stage. `intradayImportList` is refilled by Smart
// import.
RunResult Trd1Exec(const TRunSettings& settings, IRunStatus& status, IConversionStages& stages,
                   SmartImportServices& services, std::vector<std::string>& intradayImportList);

// The Smart import step alone; ok when everything asked for succeeded.
// With `leftOut` (the export left something out) the delete step is
// skipped, saying so, and the import still runs. Before deleting it checks
// that every archive can be read and that the import wizard answers, and
// deletes nothing otherwise. A failed import after a delete tells the user
// the range that was deleted, the archives not imported and how to recover;
// the run's log lists every archive imported and every one not. The whole
// step ends within automation::kSmartImportBoundMs (the range dialog aside).
SmartImportResult SmartImport(const TRunSettings& settings, IRunStatus& status, SmartImportServices& services,
                 std::vector<std::string>& intradayImportList, bool leftOut = false);

}  // namespace vz::app
