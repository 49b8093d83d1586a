#pragma once
// What a run does with the days GlobalServer has not received yet (the
// file of ImportStateFile.h in the output folder). A run whose Smart import
// will drive GlobalServer records its days when it starts, before it writes
// or deletes anything, so that a run killed anywhere leaves them recorded;
// at its end it removes the days its import brought to GlobalServer, or
// says why the days stay. The next run's From starts at the first day
// recorded. The file never stops a run: what goes wrong with it is said in
// the run's note and log.
#include <string>
#include <vector>

#include "app/record/ImportStateFile.h"
#include "app/run/RunSettings.h"
#include "app/run/Trd1Exec.h"

namespace vz::app {

// Why days stay recorded.
inline constexpr char kWhyRunUnfinished[] = "the run did not finish";
inline constexpr char kWhyStopped[] = "the run was stopped";
inline constexpr char kWhyStageFailed[] = "the conversion failed";
inline constexpr char kWhyNotRunning[] = "GlobalServer was not running";
inline constexpr char kWhyCancelled[] = "the import range was cancelled";
inline constexpr char kWhyDeleteFailed[] = "the delete failed twice, part of the range may be deleted";
inline constexpr char kWhyImportFailed[] = "import failed";
inline constexpr char kWhyOutsideImport[] = "outside the days the import covered";
inline constexpr char kWhyNotImported[] = "not imported";

// The From date that continues the output folder: the earlier of the
// newest day archive's day (NextStartDate) and the first day not yet
// imported.
double ContinuingStartDate(const std::string& outputDir, double today);

class TImportStateRun {
public:
  // Reads the file of the run's output folder. `runTime`: when the run
  // started, as the file shows it ("2026-12-10 22:30").
  TImportStateRun(const TRunSettings& settings, std::string runTime);

  // Lines for the settings' printout, each ending with a line feed: why
  // From is where it is, when it starts at the first day not yet imported.
  std::string SummaryLines() const;
  // Sentences for the run's note (the final status and the log's Note:
  // lines): a range that starts after days not yet imported (with the /f:
  // that would bring them), a file that is damaged or cannot be read.
  std::vector<std::string> Notes() const;

  // Smart import is to drive GlobalServer: records the run's days. A
  // sentence for the note when they could not be recorded, else "".
  std::string RecordStart();
  // The run has ended: the days its import covered are removed, or the
  // run's days stay (added again should the start's write have failed)
  // with the reason its end gives. A sentence for the note when the file
  // could not be updated, else "". Nothing for a run that did not call
  // RecordStart or could not read the file.
  std::string RecordEnd(const RunResult& result);

  const ImportStateFile& File() const { return file_; }

private:
  TRunSettings settings_;
  std::string runTime_;
  ImportStateFile file_;
  bool tracking_ = false;  // Smart import was to run and the file could be read
};

}  // namespace vz::app
