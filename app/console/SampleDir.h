#pragma once
// Where the bundled sample (its MetaStock directory and its archives) is
// written: next to the program, so that an unzipped Windows program or a
// built one keeps it at hand; but a Linux program installed under /usr or
// /opt, folders that belong to the package manager or the administrator,
// keeps it in the user's data folder instead.
#include <string>

namespace vz::app {

// The folder that holds the sample's "metastock" and "output" folders, for a
// program in `programDir`, from $XDG_DATA_HOME and $HOME as given.
std::string PosixSampleDir(const std::string& programDir, const std::string& xdgDataHome, const std::string& home);

// The same for this system and its environment.
std::string DefaultSampleDir(const std::string& programDir);

}  // namespace vz::app
