#include "app/record/ImportStateRun.h"

#include <algorithm>
#include <cmath>

#include "app/run/ConversionStages.h"
#include "app/run/DayText.h"

namespace vz::app {

namespace {

double Day(double dateTime) { return std::floor(dateTime); }

std::string SwitchDate(double day) {
  std::string text = IsoDayText(day);
  text.erase(std::remove(text.begin(), text.end(), '-'), text.end());
  return "/f:" + text;
}

std::string ReasonOf(const RunResult& result) {
  switch (result.end) {
    case RunEnd::Stopped: return kWhyStopped;
    case RunEnd::Failed: return kWhyStageFailed;
    case RunEnd::Normal: break;
  }
  switch (result.importEnd) {
    case ImportEnd::NotRunning: return kWhyNotRunning;
    case ImportEnd::Cancelled: return kWhyCancelled;
    case ImportEnd::DeleteFailed: return kWhyDeleteFailed;
    case ImportEnd::Failed: return kWhyImportFailed;
    case ImportEnd::NotTried:
    case ImportEnd::Imported: break;
  }
  return kWhyNotImported;
}

}  // namespace

double ContinuingStartDate(const std::string& outputDir, double today) {
  const double newest = NextStartDate(outputDir, today);
  const ImportStateFile file = ReadImportStateFile(outputDir);
  if (file.state.ranges.empty()) return newest;
  return std::min(newest, file.state.ranges.front().first);
}

TImportStateRun::TImportStateRun(const TRunSettings& settings, std::string runTime)
    : settings_(settings), runTime_(std::move(runTime)), file_(ReadImportStateFile(settings.output)) {}

std::string TImportStateRun::SummaryLines() const {
  std::string text;
  const auto& ranges = file_.state.ranges;
  if (!ranges.empty() && Day(settings_.from) == ranges.front().first) {
    text += "  Continuing from " + IsoDayText(ranges.front().first) + ": GlobalServer has not received the archives " +
            DescribeNotImported(ranges.front()) + ".\n";
  }
  return text;
}

std::vector<std::string> TImportStateRun::Notes() const {
  std::vector<std::string> notes;
  if (!file_.problem.empty())
    notes.push_back("The record of days GlobalServer has not received cannot be read (" + file_.problem +
                    "): the days it holds are not known to this run, and it is left as it is.");
  const auto& damaged = file_.state.damaged;
  if (!damaged.empty())
    notes.push_back(std::to_string(damaged.size()) + (damaged.size() == 1 ? " line" : " lines") + " of " +
                    file_.path + " could not be read (the first: \"" + damaged.front() +
                    "\"); the days between the dates such lines show count as not yet imported.");
  const auto& ranges = file_.state.ranges;
  if (!ranges.empty() && Day(settings_.from) > ranges.front().first)
    notes.push_back("GlobalServer still lacks the archives " + DescribeNotImported(ranges.front()) +
                    ", before this run's range; " + SwitchDate(ranges.front().first) + " would bring them.");
  return notes;
}

std::string TImportStateRun::RecordStart() {
  if (!file_.problem.empty())
    return "This run's days are not recorded as not yet imported: the record cannot be read.";
  // Settled at the end even when this write fails (a full disk for a
  // moment): the days then go in with the run's reason.
  tracking_ = true;
  ImportState state = file_.state;
  AddNotImported(state, {Day(settings_.from), Day(settings_.to), runTime_, kWhyRunUnfinished});
  if (const std::string why = WriteImportStateFile(settings_.output, state); !why.empty())
    return "This run's days could not be recorded as not yet imported: " + why + ".";
  return {};
}

std::string TImportStateRun::RecordEnd(const RunResult& result) {
  if (!tracking_) return {};
  // Read again: a person may have changed the file while the run worked.
  const ImportStateFile now = ReadImportStateFile(settings_.output);
  if (!now.problem.empty())
    return "The record of days GlobalServer has not received could not be updated: " + now.problem + ".";
  ImportState state = now.state;
  if (result.end == RunEnd::Normal && result.importEnd == ImportEnd::Imported) {
    RemoveImported(state, result.imported.first, result.imported.last);
    SetReason(state, runTime_, kWhyOutsideImport);
  } else {
    const std::string why = ReasonOf(result);
    SetReason(state, runTime_, why);
    AddNotImported(state, {Day(settings_.from), Day(settings_.to), runTime_, why});
  }
  if (const std::string why = WriteImportStateFile(settings_.output, state); !why.empty())
    return "The record of days GlobalServer has not received could not be updated: " + why + ".";
  return {};
}

}  // namespace vz::app
