#include "app/run/Trd1Exec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/run/DayText.h"
#include "app/run/ImportLists.h"
#include "vuzuz/Dates.h"

namespace vz::app {

namespace {

using automation::DeleteOutcome;
using automation::ImportOutcome;

constexpr int kDeleteAttempts = 2;
constexpr int kPauseBeforeIntradayMs = 1000;
constexpr char kDeleteSkipped[] =
    "Some data was left out of the archives, so GlobalServer's data for the range is not deleted in this run; "
    "the archives are imported.";

double DatePart(double value) { return std::trunc(value); }

std::string ArchiveCount(size_t count) { return std::to_string(count) + (count == 1 ? " archive" : " archives"); }

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

// One Smart import step: the range, the check before deleting, the delete
// and the two import passes, and what it tells the user.
class TSmartImport {
public:
  TSmartImport(const TRunSettings& settings, IRunStatus& status, SmartImportServices& services)
      : settings_(settings), status_(status), services_(services) {}

  SmartImportResult Run(std::vector<std::string>& intradayImportList, bool leftOut);

private:
  // A message for the user: always in the run's log; as a message box (or
  // the console's line) when somebody will read it, never a box that would
  // hold up a run that closes by itself.
  void Tell(const std::string& text) {
    status_.LogLine(text);
    if (!HoldsBoxes(settings_.autoClose, status_.MessagesWaitForUser())) status_.ShowMessage(text);
  }
  void Note(const std::string& sentence) {
    if (!result_.status.empty()) result_.status += " ";
    result_.status += sentence;
  }
  SmartImportResult Fail(ImportEnd end) {
    result_.ok = false;
    result_.end = end;
    return result_;
  }
  // The days the passes asked for have brought to GlobalServer.
  DayRange ImportedDays() const;
  // Whether deleting can be followed by the import; empty when so.
  std::string CheckBeforeDelete(const std::vector<std::string>& daily, const std::vector<std::string>& intraday);
  // The delete step; false when it failed and the import must not run.
  bool DeleteRange(const std::vector<std::string>& daily, const std::vector<std::string>& intraday, bool leftOut);
  void ReportLoss(const std::string& why, const std::vector<std::string>& notImported);
  std::string RangeText() const { return "from " + IsoDayText(from_) + " to " + IsoDayText(to_); }

  const TRunSettings& settings_;
  IRunStatus& status_;
  SmartImportServices& services_;
  double from_ = 0;
  double to_ = 0;
  bool deleted_ = false;
  SmartImportResult result_;
};

std::string TSmartImport::CheckBeforeDelete(const std::vector<std::string>& daily,
                                            const std::vector<std::string>& intraday) {
  if (settings_.importDaily)
    if (std::string why = UnreadableArchive(daily); !why.empty()) return why;
  if (settings_.importIntraday)
    if (std::string why = UnreadableArchive(intraday); !why.empty()) return why;
  status_.SetStatusDetail("Checking the import wizard");
  return services_.server.CheckImport();
}

bool TSmartImport::DeleteRange(const std::vector<std::string>& daily, const std::vector<std::string>& intraday,
                               bool leftOut) {
  // GlobalServer's data for the range is deleted only to be replaced by the
  // new archives; when some of it did not reach them, deleting would lose
  // what GlobalServer still has of it.
  if (leftOut) {
    status_.SetStatusDetail("Delete skipped");
    Tell(kDeleteSkipped);
    return true;
  }
  // Nothing is deleted unless the import that must follow can run.
  if (const std::string why = CheckBeforeDelete(daily, intraday); !why.empty()) {
    status_.SetStatusDetail("Delete skipped");
    Tell("GlobalServer's data " + RangeText() + " is not deleted in this run: " + why +
         ". The archives are imported without deleting.");
    Note("Delete skipped: " + why + ".");
    return true;
  }
  DeleteOutcome outcome = DeleteOutcome::Failed;
  for (int attempt = 0; attempt < kDeleteAttempts && outcome == DeleteOutcome::Failed; ++attempt)
    outcome = services_.server.Delete(services_.deleteClock(from_), services_.deleteClock(to_));
  switch (outcome) {
    case DeleteOutcome::Deleted:
      deleted_ = true;
      status_.LogLine("GlobalServer's data " + RangeText() + " was deleted.");
      return true;
    case DeleteOutcome::Unconfirmed:
      // The progress window closed as it should: the data is taken as
      // deleted, and deleting again would find nothing.
      deleted_ = true;
      status_.SetStatusDetail("Delete not confirmed; importing");
      status_.LogLine("GlobalServer did not confirm the deletion of its data " + RangeText() +
                      " (its progress window closed normally); the import goes on.");
      Note("GlobalServer did not confirm the deletion; the archives were imported after it.");
      return true;
    case DeleteOutcome::NotRunning:
      return true;  // gone before the delete: nothing deleted, the import finds it gone too
    case DeleteOutcome::Failed:
      break;
  }
  // A wizard that failed after its Finish may have deleted part of the
  // range before it stopped: the archives are the only copy now.
  const std::string output = settings_.output.empty() ? std::string(".") : settings_.output;
  Tell("GlobalServer's delete wizard failed twice for its data " + RangeText() +
       ": part of that data may already be deleted, and nothing was imported. The archives are in the folder " +
       output + " and its month folders: run again over the same range, or import them into GlobalServer by "
       "hand.");
  Note("GlobalServer's delete wizard failed twice; part of its data " + RangeText() +
       " may already be deleted, and nothing was imported. Run again over the same range.");
  return false;
}

void TSmartImport::ReportLoss(const std::string& why, const std::vector<std::string>& notImported) {
  if (!deleted_) {
    Note(why + ".");
    return;
  }
  // The range is gone from GlobalServer and the archives that should have
  // replaced it are not all in: say so, and how to put it right.
  const std::string output = settings_.output.empty() ? std::string(".") : settings_.output;
  std::string first;
  if (!notImported.empty()) {
    first = ArchiveFileOf(notImported.front());
    if (first.starts_with(settings_.output)) first = first.substr(settings_.output.size());
  }
  const std::string lost = ArchiveCount(notImported.size()) + " not imported" +
                           (first.empty() ? std::string() : ", the first " + first);
  Tell("GlobalServer's data " + RangeText() + " was deleted, but " + why + ": " + lost + ", in the folder " +
       output + " and its month folders. To recover, import those archives into GlobalServer by hand, or run "
       "again over the same range.");
  Note("GlobalServer's data " + RangeText() + " was deleted; " + lost + " (in " + output +
       "). Import them by hand or run again over the same range.");
}

SmartImportResult TSmartImport::Run(std::vector<std::string>& intradayImportList, bool leftOut) {
  status_.SetStatus("Smart import in progress...");
  from_ = DatePart(settings_.from);
  to_ = DatePart(settings_.to);
  // A run started by the command line takes the window's range; one started
  // by hand asks for it.
  if (!settings_.autoStart && !services_.rangeDialog.Ask(from_, to_)) return Fail(ImportEnd::Cancelled);
  // The bound counts from here: the dialog waited for a person.
  services_.server.BeginStep([this](const std::string& line) { status_.LogLine(line); },
                             automation::kSmartImportBoundMs);
  BuildImportList(settings_.output, intradayImportList, to_, from_);
  // The monthly archives always follow the window's range.
  const std::vector<std::string> daily = BuildDailyImportList(settings_.output, settings_.from, settings_.to);

  if (settings_.deleteData && !DeleteRange(daily, intradayImportList, leftOut)) return Fail(ImportEnd::DeleteFailed);

  struct Pass {
    bool wanted;
    const std::vector<std::string>& files;
  };
  const Pass passes[] = {{settings_.importDaily, daily}, {settings_.importIntraday, intradayImportList}};
  std::string why;
  size_t failedPass = std::size(passes);
  bool unconfirmed = false;
  for (size_t i = 0; i < std::size(passes) && why.empty(); ++i) {
    if (i == 1) services_.sleep(kPauseBeforeIntradayMs);
    const Pass& pass = passes[i];
    if (!pass.wanted) continue;
    // After a delete, a GlobalServer that has gone is a failed import: its
    // data for the range is gone with nothing in its place.
    if (deleted_ && !pass.files.empty() && !services_.server.FindMainWindow()) {
      why = "GlobalServer closed before the import";
    } else {
      switch (services_.server.Import(pass.files)) {
        case ImportOutcome::Imported: break;
        case ImportOutcome::Unconfirmed:
          // As with the delete: the progress window closed as it should, so
          // the archives are taken as imported, and the user is told.
          unconfirmed = true;
          status_.LogLine("GlobalServer did not confirm the import of " + ArchiveCount(pass.files.size()) +
                          " (its progress window closed normally); they are taken as imported.");
          break;
        // Nothing was sent: the archives did not reach GlobalServer.
        case ImportOutcome::NotRunning: why = "GlobalServer closed before the import"; break;
        case ImportOutcome::Failed: why = "GlobalServer's import wizard failed"; break;
      }
    }
    if (!why.empty()) failedPass = i;
    else
      for (const std::string& file : pass.files) status_.LogLine("Imported: " + ArchiveFileOf(file));
  }
  if (unconfirmed) {
    status_.SetStatusDetail("Import not confirmed");
    Note("GlobalServer did not confirm the import; the archives are taken as imported.");
  }
  if (why.empty()) {
    result_.imported = ImportedDays();
    return result_;
  }
  // A pass that failed imported none of its archives (its wizard was never
  // finished), and the passes after it were not tried.
  std::vector<std::string> notImported;
  for (size_t i = failedPass; i < std::size(passes); ++i)
    if (passes[i].wanted) notImported.insert(notImported.end(), passes[i].files.begin(), passes[i].files.end());
  for (const std::string& file : notImported) status_.LogLine("Not imported: " + ArchiveFileOf(file));
  ReportLoss(why, notImported);
  return Fail(ImportEnd::Failed);
}

DayRange TSmartImport::ImportedDays() const {
  // Neither pass asked for: the run's own days, of which nothing was wanted.
  DayRange days{DatePart(settings_.from), DatePart(settings_.to)};
  if (settings_.importIntraday) days = {from_, to_};
  if (settings_.importDaily) {
    // The monthly archives hold whole months of the window's range.
    const DayRange months{FirstOfMonth(settings_.from), LastOfMonth(settings_.to)};
    if (!settings_.importIntraday) return months;
    days.first = std::max(days.first, months.first);
    days.last = std::min(days.last, months.last);
  }
  return days;
}

}  // namespace

SmartImportResult SmartImport(const TRunSettings& settings, IRunStatus& status, SmartImportServices& services,
                              std::vector<std::string>& intradayImportList, bool leftOut) {
  TSmartImport step(settings, status, services);
  return step.Run(intradayImportList, leftOut);
}

RunResult Trd1Exec(const TRunSettings& settings, IRunStatus& status, IConversionStages& stages,
                   SmartImportServices& services, std::vector<std::string>& intradayImportList) {
  RunResult result;
  try {
    if (settings.create) result.end = RunStages(status, stages);
    if (result.end == RunEnd::Normal && settings.create) result.leftOut = stages.LeftOut();
    if (result.end == RunEnd::Normal && settings.import) {
      if (services.server.FindMainWindow()) {
        const SmartImportResult smart = SmartImport(settings, status, services, intradayImportList, result.leftOut);
        result.importOk = smart.ok;
        result.importStatus = smart.status;
        result.importEnd = smart.end;
        result.imported = smart.imported;
      } else if (services.server.OnThisSystem()) {
        result.importEnd = ImportEnd::NotRunning;
        // Not an error (the run converts for a later import), but the user
        // who asked for Smart import must learn that none took place.
        result.importStatus = kSmartImportNotRunning;
        status.LogLine(kSmartImportNotRunning);
      }
    }
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
