#pragma once
// The selection list: a text file of "column;value" lines loaded into the
// options table. Line 1 is a header; then records of field lines, a record
// ending at a blank line or once it has as many lines as the table has
// columns. The loader reads the same under every locale ("," is the
// decimal separator of date-time values).
#include <string>

#include "app/run/Tables.h"

namespace vz::app {

// Empties `table`, then fills it from the file at `path`. A file that
// cannot be opened leaves the table empty and `header` untouched.
void LoadSelectionFile(const std::string& path, char separator, OptionsTable& table, std::string& header);

// The first row whose Symbol equals `symbol` exactly (case-sensitive) passes
// when it is active; no such row fails.
bool SelectionPasses(const OptionsTable& table, const std::string& symbol);

}  // namespace vz::app
