#include "platform/TickClock.h"

#include <windows.h>

namespace vz::platform {

uint32_t TickCountMs() { return static_cast<uint32_t>(GetTickCount()); }

}  // namespace vz::platform
