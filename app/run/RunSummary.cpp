#include "app/run/RunSummary.h"

#include <cmath>
#include <cstdio>

#include "app/run/MemoryBudget.h"
#include "app/run/PathText.h"
#include "vuzuz/Dates.h"

namespace vz::app {

namespace {

const char* OnOff(bool value) { return value ? "on" : "off"; }

std::string Directory(const std::string& dir) {
  return dir.empty() ? std::string("(the current folder)") : WithDirSeparator(dir);
}

std::string DirectoryLines(const TRunSettings& run) {
  return "MetaStock directory: " + Directory(run.msDir) + "\n" + "Output directory:    " + Directory(run.output) +
         "\n";
}

std::string BoxesLine(const TRunSettings& run) {
  return std::string("Create archives: ") + OnOff(run.create) + ", process selected securities: " +
         OnOff(run.selected) + ", Smart import: " + OnOff(run.import) + ", delete data: " + OnOff(run.deleteData) +
         "\n";
}

// "Memory budget:       256 MiB (/b:)", or the default with how it was found.
std::string BudgetLine(const TRunSettings& run) {
  const int64_t bytes = MemoryBudgetBytes(run);
  std::string text = "Memory budget:       ";
  if (bytes % kMiB == 0) text += std::to_string(bytes / kMiB) + " MiB";
  else text += std::to_string(bytes) + " bytes";
  if (run.memoryBudgetBytes > 0 || run.memoryBudgetMiB > 0) text += " (/b:)";
  else text += " (a quarter of the memory, at most 2048 MiB; /b: sets another)";
  return text + "\n";
}

bool AtMidnight(double dateTime) { return dateTime == std::floor(dateTime); }

}  // namespace

std::string FormatRangeEnd(double dateTime) {
  // Rounded to the minute first, so that 23:59:59.99 prints as the next day.
  const double minutes = std::round(dateTime * 1440);
  const double day = std::floor(minutes / 1440);
  const int minuteOfDay = static_cast<int>(minutes - day * 1440);
  const DateTimeParts p = DecodeDateTime(day);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", p.year, p.month, p.day, minuteOfDay / 60,
                minuteOfDay % 60);
  return text;
}

std::string DescribeRunSettings(const TRunSettings& run, const RunSummaryNotes& notes) {
  std::string text = DirectoryLines(run);
  text += "Range:               " + FormatRangeEnd(run.from) + " to " + FormatRangeEnd(run.to) + "\n";
  if (notes.fromReplaced)
    text += "  From follows the newest day archive in the output directory: an /o: after the /f: replaced it\n"
            "  (put /f: after /o: to keep it).\n";
  text += notes.importState;
  if (AtMidnight(run.to))
    text += "  To is midnight at the start of " + FormatRangeEnd(run.to).substr(0, 10) +
            ": that day's intraday bars are left out.\n";
  text += BudgetLine(run);
  text += BoxesLine(run);
  if (!run.create) text += "Create archives is off: this run converts nothing.\n";
  if (run.import && !notes.smartImportAvailable)
    text += "Smart import needs GlobalServer's windows, which this system does not have: it is skipped.\n";
  return text;
}

std::string DescribeDefaults(const TRunSettings& run) { return DirectoryLines(run) + BoxesLine(run); }

}  // namespace vz::app
