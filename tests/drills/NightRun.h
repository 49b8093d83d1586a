#pragma once
// One night of the month of nights: the scheduled command (/g /x, Smart
// import and Delete data on, no /f:) run through the main window's model,
// as the Windows program runs it (a night to be killed in a process of its
// own), against GlobalServer on a simulated desktop whose data is kept
// in a file beside the night's folders.
#include <filesystem>
#include <string>
#include <vector>

#include "drills/NightFaults.h"

namespace vz::drill {

// The files of a month of nights under one root: the MetaStock directory
// and the output folder under "work" (the scope of the file faults), the
// simulated GlobalServer's data, the run log and the last night's report
// beside it.
struct TNightPaths {
  std::filesystem::path root;
  std::filesystem::path Work() const { return root / "work"; }
  std::filesystem::path Ms() const { return Work() / "ms"; }
  std::filesystem::path Out() const { return Work() / "out"; }
  std::filesystem::path Store() const { return root / "globalserver.txt"; }
  std::filesystem::path Log() const { return root / "nights.log"; }
  std::filesystem::path Report() const { return root / "night-report.txt"; }
};

// Runs the night at local time `now` with its fault; the exit status (128 +
// the signal for a killed night).
int RunNight(const TNightPaths& paths, double now, const TNightPlan& plan);

// What a night that ran to its end tells besides its status.
struct TNightReport {
  bool present = false;             // false: the night was killed
  std::string failedOperation;      // the file operation the fault failed
  long fileOperations = 0;          // under Work(), on a night without file faults
  long outputOperations = 0;        // of those, under Out()
  std::vector<std::string> refusals;  // archives or ranges GlobalServer could not take
};
TNightReport ReadNightReport(const TNightPaths& paths);

}  // namespace vz::drill
