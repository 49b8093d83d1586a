#pragma once
// The console program's handling of the window's switches before they are
// applied: it refuses any argument the window would ignore or misread, makes
// relative directories absolute (they are printed, used by a run on another
// thread and may be stored), and notes when an /o: replaces an earlier /f:.
#include <string>
#include <vector>

#include "app/window/WindowSettings.h"

namespace vz::app {

// The first argument the window would not apply as written, with the reason
// ("/f:2026-11-01: the date must be YYYYMMDD or YYMMDD"); empty when all are
// fine.
std::string RefusedSwitch(const std::vector<std::string>& args);

// /m:DIR and /o:DIR with a relative DIR become absolute against the current
// folder; other arguments stay as they are.
std::vector<std::string> WithAbsolutePaths(const std::vector<std::string>& args);

// The arguments without /g (and the other switches that begin with it): a
// program that starts its run itself, or none.
std::vector<std::string> WithoutStartSwitch(const std::vector<std::string>& args);

// True when a /f: date is followed by an /o: that changes the output
// directory of `settings`: the From date then follows that directory's
// archives instead.
bool FromReplacedByOutput(const std::vector<std::string>& args, const WindowSettings& settings);

}  // namespace vz::app
