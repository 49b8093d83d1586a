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

struct RunResult {
  RunEnd end = RunEnd::Normal;
  bool importOk = true;  // false: dialog cancelled, deletion or an import failed
  // The export completed, but a security, a bar or a day could not be
  // converted; the run's note says which.
  bool leftOut = false;
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

// The Smart import step alone; true when everything asked for succeeded.
// With `leftOut` (the export left something out) the delete step is
// skipped, saying so, and the import still runs.
bool SmartImport(const TRunSettings& settings, IRunStatus& status, SmartImportServices& services,
                 std::vector<std::string>& intradayImportList, bool leftOut = false);

}  // namespace vz::app
