#pragma once
// The program's exit statuses, the same for the console program and for the
// Windows program run from a scheduled command line.
#include "app/run/Trd1Exec.h"

namespace vz::app {

inline constexpr int kExitComplete = 0;          // "Export complete."
inline constexpr int kExitSetupFailed = 1;       // usage error, sample not written
inline constexpr int kExitInvalidSettings = 2;   // validation refused the settings
inline constexpr int kExitStageFailed = 3;       // a stage failed
inline constexpr int kExitImportFailed = 4;      // "Export complete, but import failed."
inline constexpr int kExitLeftOut = 5;           // the export completed, but left something out
inline constexpr int kExitVerifyFailed = 6;      // --verify: an archive is damaged, differs or is missing
inline constexpr int kExitTerminated = 130;      // stopped by Ctrl+C: "Terminated."

// The status of a run's end; a failed import comes before data left out,
// as in the final status text.
inline int ExitStatusOf(const RunResult& result) {
  switch (result.end) {
    case RunEnd::Normal:
      if (!result.importOk) return kExitImportFailed;
      return result.leftOut ? kExitLeftOut : kExitComplete;
    case RunEnd::Stopped:
      return kExitTerminated;
    case RunEnd::Failed:
      break;
  }
  return kExitStageFailed;
}

}  // namespace vz::app
