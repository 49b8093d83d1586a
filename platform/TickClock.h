#pragma once
// Millisecond tick counter of the system (wraps after about 49 days).
#include <cstdint>

namespace vz::platform {

uint32_t TickCountMs();

}  // namespace vz::platform
