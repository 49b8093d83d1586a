#pragma once
// The archive lists of Smart import, read from an output directory: the
// monthly daily archives of a range of months, and the day archives found in
// the month folders.
#include <string>
#include <vector>

namespace vz::app {

// Clears the list, then ScanArchives.
void BuildImportList(const std::string& directory, std::vector<std::string>& list, double to, double from);

// Appends directory + name for every archive "?YYMMDD*.omz" whose date
// (year 2000 + YY) lies in [from, to], after those of its sub-folders whose
// names hold "_" and no ".", depth first. Entries are taken in name order;
// names that do not parse are skipped. `directory` ends with the separator
// (or is empty: the current directory).
void ScanArchives(const std::string& directory, std::vector<std::string>& list, double to, double from);

// For each month from the month of `from` to the month of `to`: the output
// path of its daily archive without ".omz" (directory + "dYYMM"), when the
// archive exists.
std::vector<std::string> BuildDailyImportList(const std::string& directory, double from, double to);

}  // namespace vz::app
