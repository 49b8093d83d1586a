#include "app/record/LoggedRun.h"

#include <chrono>

#include "app/run/RunSummary.h"

namespace vz::app {

template <class Call>
bool TLoggedStages::Stage(const char* name, bool last, Call call) {
  recorder_.StageBegin(name);
  const auto started = std::chrono::steady_clock::now();
  bool done = false;
  try {
    done = call();
  } catch (...) {
    recorder_.StageEnd(name, false, false, 0, inner_.Notes());
    throw;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const bool stop = status_.StopRequested();
  recorder_.StageEnd(name, done, stop, seconds, last || !done || stop ? inner_.Notes() : std::string());
  return done;
}

bool TLoggedStages::AnalyseSecurities() {
  return Stage("Analysis", false, [&] { return inner_.AnalyseSecurities(); });
}

bool TLoggedStages::CollectPriceData() {
  return Stage("Collection", false, [&] { return inner_.CollectPriceData(); });
}

bool TLoggedStages::ExportArchives() {
  return Stage("Export", true, [&] { return inner_.ExportArchives(); });
}

std::string TLoggedGlobalServer::CheckImport() {
  std::string problem = inner_.CheckImport();
  if (!problem.empty()) recorder_.Line("GlobalServer's import check failed: " + problem);
  return problem;
}

std::string TLoggedGlobalServer::CheckDelete() {
  std::string problem = inner_.CheckDelete();
  if (!problem.empty()) recorder_.Line("GlobalServer's delete check failed: " + problem);
  return problem;
}

automation::DeleteOutcome TLoggedGlobalServer::Delete(double from, double to) {
  using automation::DeleteOutcome;
  const std::string range = FormatRangeEnd(from) + " to " + FormatRangeEnd(to);
  const DeleteOutcome outcome = inner_.Delete(from, to);
  switch (outcome) {
    case DeleteOutcome::Deleted:
      recorder_.Line("GlobalServer deleted its data from " + range + ".");
      break;
    case DeleteOutcome::Unconfirmed:
      recorder_.Line("GlobalServer's deletion of its data from " + range + " ended without its notice.");
      break;
    case DeleteOutcome::NotRunning:
      recorder_.Line("GlobalServer was not running to delete its data from " + range + ".");
      break;
    case DeleteOutcome::Failed:
      recorder_.Line("GlobalServer's data from " + range + " could not be deleted.");
      break;
  }
  return outcome;
}

automation::ImportOutcome TLoggedGlobalServer::Import(const std::vector<std::string>& files) {
  using automation::ImportOutcome;
  const ImportOutcome outcome = inner_.Import(files);
  const std::string count = std::to_string(files.size()) + (files.size() == 1 ? " archive" : " archives");
  if (files.empty()) {
    recorder_.Line("Nothing to import.");
    return outcome;
  }
  const std::string which = count + " (" + files.front() + " first)";
  switch (outcome) {
    case ImportOutcome::Imported:
      recorder_.Line("GlobalServer imported " + count + ", " + files.front() + " first.");
      break;
    case ImportOutcome::Unconfirmed:
      recorder_.Line("GlobalServer's import of " + which + " ended without its notice: not confirmed.");
      break;
    case ImportOutcome::NotRunning:
      recorder_.Line("GlobalServer was not running to import " + which + ".");
      break;
    case ImportOutcome::Failed:
      recorder_.Line("GlobalServer's import of " + which + " failed.");
      break;
  }
  return outcome;
}

}  // namespace vz::app
