#pragma once
// What a run is asked to do, in words: the console program prints it before
// a run and the run log keeps it, so a scheduled run shows what it did.
#include <string>

#include "app/run/RunSettings.h"

namespace vz::app {

struct RunSummaryNotes {
  // An /o: after the /f: replaced the From date.
  bool fromReplaced = false;
  // Smart import can drive GlobalServer on this system (only Windows has
  // its windows).
  bool smartImportAvailable = true;
  // Lines about the days GlobalServer has not received yet (why From is
  // where it is), each indented and ending with a line feed.
  std::string importState;
};

// "2026-11-01 00:00".
std::string FormatRangeEnd(double dateTime);

// The lines to print, each ending with a line feed.
std::string DescribeRunSettings(const TRunSettings& run, const RunSummaryNotes& notes);

// The stored defaults: the directories and the four boxes.
std::string DescribeDefaults(const TRunSettings& run);

}  // namespace vz::app
