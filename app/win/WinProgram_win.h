#pragma once
// vuzuz-archive-creator.exe: the main window, or, for --help, --version,
// --sample and the inspection switches, the console program on the console
// the exe was started from.
#include <functional>

#include "app/console/ConsoleProgram.h"

namespace vz::app {

// `consoleOptions` is asked only when the console program runs.
int RunWindowsProgram(const std::function<ConsoleProgramOptions()>& consoleOptions);

}  // namespace vz::app
