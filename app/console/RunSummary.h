#pragma once
// What the console program prints before a run: the settings the run uses,
// in words, so that a scheduled run's log shows what it was asked to do.
#include <string>

#include "app/run/RunSettings.h"

namespace vz::app {

struct RunSummaryNotes {
  // An /o: after the /f: replaced the From date.
  bool fromReplaced = false;
  // Smart import can drive GlobalServer on this system (only Windows has
  // its windows).
  bool smartImportAvailable = true;
};

// "2026-11-01 00:00".
std::string FormatRangeEnd(double dateTime);

// The lines to print, each ending with a line feed.
std::string DescribeRunSettings(const TRunSettings& run, const RunSummaryNotes& notes);

// The stored defaults: the directories and the four boxes.
std::string DescribeDefaults(const TRunSettings& run);

}  // namespace vz::app
