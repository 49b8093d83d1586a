#pragma once
// Appending to a text file that several programs may write at the same time
// (the run log): each call is one write in append mode, so a line written
// by one program never lands inside another's.
#include <string>

namespace vz::platform {

// Appends `bytes` to the file at the UTF-8 `path` with a single write,
// creating the file when it does not exist (its folder must). Returns "" on
// success, else the system's reason ("No space left on device").
std::string AppendToFile(const std::string& path, const std::string& bytes);

// The value of an environment variable as UTF-8; "" when it is not set.
std::string EnvironmentText(const std::string& name);

// This program's process id (it tells apart the lines of two runs at once).
long CurrentProcessId();

}  // namespace vz::platform
