#pragma once
// Where the run log lives: a file in the user's own state folder, the same
// for every run of the program, so a scheduled run's record is found where
// the last one left it.
#include <string>

namespace vz::app {

inline constexpr char kRunLogFolderWindows[] = "Vuzuz archive creator";
inline constexpr char kRunLogFolderPosix[] = "vuzuz-archive-creator";
inline constexpr char kRunLogName[] = "runs.log";

// %LOCALAPPDATA%\Vuzuz archive creator\runs.log; "" when LOCALAPPDATA is
// empty.
std::string WindowsRunLogPath(const std::string& localAppData);

// $XDG_STATE_HOME/vuzuz-archive-creator/runs.log, else (XDG_STATE_HOME
// unset, empty or relative, which the XDG rules say to ignore)
// $HOME/.local/state/vuzuz-archive-creator/runs.log; "" when neither gives
// an absolute folder.
std::string PosixRunLogPath(const std::string& xdgStateHome, const std::string& home);

// This system's run log, from the environment; "" when there is none.
std::string DefaultRunLogPath();

// The name the log is renamed to when it grows too large: ".1" before the
// extension ("runs.log" -> "runs.1.log", "night" -> "night.1").
std::string RotatedRunLogPath(const std::string& path);

}  // namespace vz::app
