#include "platform/PhysicalMemory.h"

#include <windows.h>

namespace vz::platform {

uint64_t PhysicalMemoryBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

}  // namespace vz::platform
