#pragma once
// Ctrl+C in a console program: instead of ending the process, it sets a
// flag that the program polls and turns into a stop request, so a run ends
// at its next check with its files whole.

namespace vz::platform {

// Installs the handler for Ctrl+C (and Ctrl+Break, SIGTERM and the console
// being closed where the system has them). Safe to call more than once.
void InstallConsoleStopHandler();

// True once Ctrl+C was pressed since the handler was installed (or since the
// last ClearConsoleStop).
bool ConsoleStopRequested();
void ClearConsoleStop();

}  // namespace vz::platform
