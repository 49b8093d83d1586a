#include "platform/Terminal.h"

#include <windows.h>

namespace vz::platform {

bool StderrIsTerminal() {
  DWORD mode = 0;
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace vz::platform
