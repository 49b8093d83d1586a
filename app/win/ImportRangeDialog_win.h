#pragma once
// The "Import range" dialog that asks the user for the day range of Smart
// import before GlobalServer is driven.
#include <windows.h>

namespace vz::app {

// Shows the dialog modally, owned by `owner`, with the days of `from` and
// `to` (their times of day dropped). True when the user chose OK, the two
// values then holding the chosen days at midnight; false for Cancel, Escape
// or closing the dialog, the values unchanged. Runs on the owner's thread.
bool ShowImportRangeDialog(HWND owner, double& from, double& to);

// The identifiers of its two date fields, for tests and tools.
enum ImportRangeControl : int {
  kImportRangeFrom = 201,
  kImportRangeTo = 202,
};

}  // namespace vz::app
