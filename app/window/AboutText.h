#pragma once
// The text of the window's "About Vuzuz archive creator" box: the program,
// its version, and where this window's runs are logged.
#include <string>

namespace vz::app {

inline constexpr char kAboutCaption[] = "About Vuzuz archive creator";

// `runLogPath` empty: the runs keep no log (/l: without a file).
std::string AboutText(const std::string& version, const std::string& runLogPath);

}  // namespace vz::app
