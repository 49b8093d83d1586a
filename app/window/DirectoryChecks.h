#pragma once
// The directory checks of validation, each with the reason a user can act
// on: which folder, and what is wrong with it.
#include <string>

namespace vz::app {

// Empty when `dir` holds a MASTER file (the name matched without regard to
// case, as a plain file; EMASTER is optional); else why not, naming the folder.
// An empty `dir` is the current directory.
std::string MsDirectoryProblem(const std::string& dir);

// Creates the output folder with its missing parents. Empty when done (or it
// existed), else why not, naming the folder.
std::string CreateOutputProblem(const std::string& dir);

// Empty when a file can be created in the folder; else the system's reason,
// naming the folder. Checked before the input is read, so that an output
// folder that cannot take the archives fails at once, not after the read.
std::string WriteOutputProblem(const std::string& dir);

}  // namespace vz::app
