#include "app/run/Trd1Exec.h"

#include <cmath>

#include "app/run/ImportLists.h"

namespace vz::app {

namespace {

constexpr int kDeleteAttempts = 2;
constexpr int kPauseBeforeIntradayMs = 1000;
constexpr char kDeleteSkipped[] =
    "Some data was left out of the archives, so GlobalServer's data for the range is not deleted in this run; "
    "the archives are imported.";

double DatePart(double value) { return std::trunc(value); }

// Runs the stages; Normal when all are done and no stop was requested.
RunEnd RunStages(IRunStatus& status, IConversionStages& stages) {
  if (!stages.AnalyseSecurities()) return RunEnd::Failed;
  if (status.StopRequested()) return RunEnd::Stopped;
  if (!stages.CollectPriceData()) return RunEnd::Failed;
  if (status.StopRequested()) return RunEnd::Stopped;
  if (!stages.ExportArchives()) return RunEnd::Failed;
  if (status.StopRequested()) return RunEnd::Stopped;
  return RunEnd::Normal;
}

}  // namespace

bool SmartImport(const TRunSettings& settings, IRunStatus& status, SmartImportServices& services,
                 std::vector<std::string>& intradayImportList, bool leftOut) {
  status.SetStatus("Smart import in progress...");
  double from = DatePart(settings.from);
  double to = DatePart(settings.to);
  // A run started by the command line takes the window's range; one started
  // by hand asks for it.
  if (!settings.autoStart && !services.rangeDialog.Ask(from, to)) return false;
  BuildImportList(settings.output, intradayImportList, to, from);

  bool ok = true;
  // GlobalServer's data for the range is deleted only to be replaced by the
  // new archives; when some of it did not reach them, deleting would lose
  // what GlobalServer still has of it.
  if (settings.deleteData && leftOut) {
    status.SetStatusDetail("Delete skipped");
    if (!settings.autoClose || !status.MessagesWaitForUser()) status.ShowMessage(kDeleteSkipped);
  } else if (settings.deleteData) {
    for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
      ok = services.server.Delete(services.deleteClock(from), services.deleteClock(to));
      if (ok) break;
    }
  }
  if (!ok) return false;

  // The monthly archives always follow the window's range.
  const std::vector<std::string> daily = BuildDailyImportList(settings.output, settings.from, settings.to);
  if (settings.importDaily) ok = services.server.Import(daily);
  if (!ok) return false;
  services.sleep(kPauseBeforeIntradayMs);
  if (settings.importIntraday) ok = services.server.Import(intradayImportList);
  return ok;
}

RunResult Trd1Exec(const TRunSettings& settings, IRunStatus& status, IConversionStages& stages,
                   SmartImportServices& services, std::vector<std::string>& intradayImportList) {
  RunResult result;
  try {
    if (settings.create) result.end = RunStages(status, stages);
    if (result.end == RunEnd::Normal && settings.create) result.leftOut = stages.LeftOut();
    if (result.end == RunEnd::Normal && settings.import && services.server.FindMainWindow())
      result.importOk = SmartImport(settings, status, services, intradayImportList, result.leftOut);
  } catch (...) {
    result.end = RunEnd::Failed;
  }
  // The directory stays open after a stop or failure between the analysis
  // and the end of the collection; the next run must be able to open it.
  try {
    stages.CloseMsDirectory();
  } catch (...) {
  }
  return result;
}

}  // namespace vz::app
