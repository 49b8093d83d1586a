#pragma once
// The two wizard drivers: GlobalServer's "Import Data" wizard over a list of
// archive paths and its "Delete Data" wizard over a date-time range, driven
// through the desktop by window messages and keystrokes. Both block the
// caller for the whole dialogue (seconds, up to hours at the limits of their
// waits), ignore any stop request, and tell each step to `log`.
#include <string>
#include <vector>

#include "automation/Desktop.h"
#include "automation/GlobalServer.h"

namespace vz::automation {

// True for an empty list or when no GlobalServer runs (nothing is sent
// then), and when GlobalServer's closing notice came after the import, which
// also minimises GlobalServer. False on any failure, having closed what the
// failure left open. Each path is typed into the file dialog as it stands.
bool GlobalServerImport(IDesktop& desktop, const std::vector<std::string>& files, const StepLog& log);

// True when no GlobalServer runs (nothing is sent) and when its closing
// notice came after the deletion; false on any failure. The date of `from`
// and `to` goes to the wizard's date fields, the time of day (whole seconds)
// to its time fields.
bool GlobalServerDelete(IDesktop& desktop, double from, double to, const StepLog& log);

}  // namespace vz::automation
