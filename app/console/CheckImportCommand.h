#pragma once
// --check-import [switches]: Smart import tried before the first scheduled
// night, with the settings a run would take (the stored ones, then the
// switches), changing nothing in GlobalServer. Prints each step on `out`;
// returns 0 when a scheduled run could import, kExitImportFailed otherwise,
// also where there is no GlobalServer to drive (Linux).
#include <ostream>
#include <string>
#include <vector>

#include "app/console/ConsoleProgram.h"

namespace vz::app {

// `switches` are the arguments after --check-import, already checked.
int RunCheckImportCommand(const std::vector<std::string>& switches, const ConsoleProgramOptions& options,
                          std::ostream& out);

}  // namespace vz::app
