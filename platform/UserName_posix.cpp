#include "platform/UserName.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace vz::platform {

std::string RegisteredOwner() {
  char buffer[256] = {};
  if (getlogin_r(buffer, sizeof buffer) == 0 && buffer[0] != '\0') return buffer;
  if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr) return entry->pw_name;
  if (const char* user = std::getenv("USER"); user != nullptr) return user;
  return {};
}

}  // namespace vz::platform
