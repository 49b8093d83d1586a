#pragma once
// The program's options: the console defaults plus the bundled sample.
#include "app/console/ConsoleProgram.h"

namespace vz::app {

ConsoleProgramOptions ProgramOptions();

}  // namespace vz::app
