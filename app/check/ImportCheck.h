#pragma once
// Smart import tried before the first scheduled night, changing nothing in
// GlobalServer: what a run checks before it deletes (GlobalServer running,
// its import wizard opened from its menu and cancelled, the archives of the
// range in the output folder readable), and the delete wizard opened from
// its menu and cancelled. The Windows program runs it for --check-import and
// for its system menu's "Check Smart import..." item.
#include <functional>
#include <string>

#include "app/run/RunSettings.h"
#include "automation/GlobalServer.h"

namespace vz::app {

// One line per step as it ends ("[ok] ...", "[FAILED] ...", "[--] ..." for a
// step the settings leave out), then the verdict.
using CheckLineFn = std::function<void(const std::string& line)>;

// True when a scheduled run with `settings` could import: Smart import on,
// GlobalServer running, its wizards answering (the delete wizard only when
// "Delete data" is on) and every archive already in the range readable.
// The range and the import lists are those a /g run takes. Every step is
// tried, so one printout names every fault; a wizard's waits end within
// automation::kSmartImportBoundMs.
bool CheckSmartImport(const TRunSettings& settings, automation::IGlobalServer& server, const CheckLineFn& tell);

}  // namespace vz::app
