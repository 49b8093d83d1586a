#pragma once
// The two wizard drivers: GlobalServer's "Import Data" wizard over a list of
// archive paths and its "Delete Data" wizard over a date-time range, driven
// through the desktop by window messages and keystrokes. Both block the
// caller for the whole dialogue (seconds, up to hours at the limits of their
// waits, or until `bound` is spent), ignore any stop request, and tell each
// step to `log`.
#include <string>
#include <vector>

#include "automation/Desktop.h"
#include "automation/GlobalServer.h"
#include "automation/GlobalServerSteps.h"

namespace vz::automation {

// Imported for an empty list (nothing is sent) and when GlobalServer's
// closing notice came after the import, which also minimises GlobalServer;
// NotRunning when no GlobalServer runs (nothing is sent); Unconfirmed when
// the import's progress ended but no notice came within the short wait;
// Failed on any other failure, having closed what the failure left open.
// Each path is typed into the file dialog as it stands.
ImportOutcome GlobalServerImport(IDesktop& desktop, const std::vector<std::string>& files, const StepLog& log,
                        const TStepBound* bound = nullptr);

// NotRunning when no GlobalServer runs (nothing is sent), Deleted when its
// closing notice came after the deletion, Unconfirmed when the deletion's
// progress ended but no notice came; Failed on any other failure. The date of `from`
// and `to` goes to the wizard's date fields, the time of day (whole seconds)
// to its time fields.
DeleteOutcome GlobalServerDelete(IDesktop& desktop, double from, double to, const StepLog& log,
                                 const TStepBound* bound = nullptr);

// Whether the import wizard answers: GlobalServer's main window, its menu
// path to the wizard, and the wizard's first page with its Browse button.
// The wizard is closed again. Empty when all answered, else what did not.
std::string GlobalServerCheckImport(IDesktop& desktop, const StepLog& log, const TStepBound* bound = nullptr);

// Whether the delete wizard answers, changing nothing: GlobalServer's main
// window with its filter list (looked at, not set), its menu path to the
// wizard, and the wizard's first page with its four date and time fields and
// its Next and Finish buttons. The wizard is cancelled (closed) before
// anything is typed. Empty when all answered, else what did not.
std::string GlobalServerCheckDelete(IDesktop& desktop, const StepLog& log, const TStepBound* bound = nullptr);

}  // namespace vz::automation
