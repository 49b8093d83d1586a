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

// The archive file of an import list entry: the daily list names its
// archives without ".omz", the day list with it.
std::string ArchiveFileOf(const std::string& entry);

// Before GlobalServer's data is deleted: every archive of `entries` exists
// and can be read. Empty when so; else what is wrong with the first that
// cannot, for the user.
std::string UnreadableArchive(const std::vector<std::string>& entries);

}  // namespace vz::app
