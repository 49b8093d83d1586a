#pragma once
// The days GlobalServer has not received yet, as the output folder keeps
// them between runs in a small text file that a person can read and edit:
//
//   # (comment lines)
//   2002-03-08 to 2002-03-11 (run of 2026-12-10 22:30): import failed
//
// one range of whole days a line, with when the run that left them started
// and why. The text is input like any other: a line that cannot be read is
// kept (as a comment) and named, never a reason to fail, and the dates it
// still shows are taken as not received, so that no day is forgotten.
#include <string>
#include <string_view>
#include <vector>

namespace vz::app {

// Not .omz and with an extension: the next-start-date search, which lists
// extensionless folder names and .omz files, never takes it for data.
inline constexpr char kImportStateFileName[] = "not-imported.txt";

struct NotImportedRange {
  double first = 0;  // whole days, both included
  double last = 0;
  std::string run;   // when the run that left them started ("2026-12-10 22:30"); "" unknown
  std::string why;   // "import failed", ...
};

struct ImportState {
  // Sorted by day. Ranges of one run and reason neither overlap nor
  // touch; those of different runs may overlap.
  std::vector<NotImportedRange> ranges;
  // The lines that could not be read, as found (control characters made
  // blanks, long ones cut).
  std::vector<std::string> damaged;
  bool Empty() const { return ranges.empty() && damaged.empty(); }
};

// Reads the file's text. Comment lines (#) and blank lines are skipped. A
// line is a range when it starts with two dates "YYYY-MM-DD to YYYY-MM-DD"
// (in either order); what follows is read as " (run of WHEN): WHY" where it
// has that form, else taken whole as the reason. Ranges of one run and
// reason that overlap or touch are merged. Any other line is damaged:
// it is listed, and the days from its earliest to its latest date, when it
// holds any, are taken as not received.
ImportState ParseImportState(std::string_view text);

// The file's text: a header that says what the file is, the ranges, then
// each damaged line as a comment (so that it is kept, and named once).
std::string FormatImportState(const ImportState& state);

// Adds a range (whole days), merged with those of the same run and reason
// that it overlaps or touches.
void AddNotImported(ImportState& state, NotImportedRange range);

// Removes the days first..last, splitting a range that holds them inside.
void RemoveImported(ImportState& state, double first, double last);

// Gives the ranges of `run` the reason `why`.
void SetReason(ImportState& state, const std::string& run, const std::string& why);

// The range as sentences show it: "from 2002-03-08 to 2002-03-11 (run of
// 2026-12-10 22:30, import failed)".
std::string DescribeNotImported(const NotImportedRange& range);

}  // namespace vz::app
