#include "platform/UserName.h"

#include <windows.h>

namespace vz::platform {

std::string RegisteredOwner() {
  wchar_t value[256] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"RegisteredOwner",
                   RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return {};
  // Names in MetaStock files are 8-bit text of the system code page.
  char narrow[512] = {};
  const int n = WideCharToMultiByte(CP_ACP, 0, value, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
  return n > 0 ? std::string(narrow) : std::string();
}

}  // namespace vz::platform
