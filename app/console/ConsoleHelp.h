#pragma once
// The console program's --help text.
namespace vz::app {

extern const char kConsoleHelp[];

}  // namespace vz::app
