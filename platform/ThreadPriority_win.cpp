#include "platform/ThreadPriority.h"

#include <windows.h>

namespace vz::platform {

bool SetCurrentThreadPriority(ThreadPriority priority) {
  const int value = priority == ThreadPriority::Lowest ? THREAD_PRIORITY_IDLE : THREAD_PRIORITY_NORMAL;
  return SetThreadPriority(GetCurrentThread(), value) != 0;
}

}  // namespace vz::platform
