#pragma once
// The name a program registers under in shared MetaStock directories.

#include <string>

namespace vz::platform {

// Windows: the machine's registered owner (RegisteredOwner under
// HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion). Linux: the login
// name of the user running the program. Empty when none can be found.
std::string RegisteredOwner();

}  // namespace vz::platform
