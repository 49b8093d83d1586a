#pragma once
// The program's switches, applied to the window's settings once per start.
//
// Each argument is handled on its own: it must begin with "/" or "-", the
// next letter picks the switch, and anything unknown or malformed leaves the
// settings as they were. Switch letters and values compare in lower case.
// Where file names are case-sensitive (Linux) the values of /m:, /o: and /l:
// keep their case; on Windows the whole argument is lower-cased.
#include <functional>
#include <string>
#include <vector>

#include "app/window/WindowSettings.h"

namespace vz::app {

struct CommandLineHooks {
  // The default MetaStock directory, for /m without a colon.
  std::function<std::string()> defaultMsDir;
  // Called after /o: changed the output directory's text (the From date
  // follows the archives already there).
  std::function<void()> outputChanged;
};

// `args` holds the arguments after the program name.
void ParseCommandLine(const std::vector<std::string>& args, WindowSettings& settings, const CommandLineHooks& hooks);

// Whether the arguments ask the window to close by itself when its run ends
// (/x): nobody will be there to answer a box, even before the window exists.
bool ClosesByItself(const std::vector<std::string>& args);

// A date of the command line: YYYYMMDD (8 characters or more, the rest
// ignored) or YYMMDD (6 or 7 characters, read as 20YY), each part decimal
// digits. False for shorter texts and dates that do not exist.
bool ParseSwitchDate(const std::string& text, double& value);

// Why ParseCommandLine would ignore or misread an argument, or empty when it
// applies as written. The window ignores such arguments, as it always has;
// the console program refuses them, so that a typing error in a script does
// not quietly run over other settings. Stricter than the window in two
// places: a date must be exactly YYYYMMDD or YYMMDD (no trailing text), and
// /m followed by anything but ":" is refused (an absolute path such as /mnt
// would otherwise mean "the default MetaStock directory").
std::string SwitchProblem(const std::string& arg);

}  // namespace vz::app
