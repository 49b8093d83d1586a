#pragma once
// How much physical memory the machine has, for sizing a run's memory use.
#include <cstdint>

namespace vz::platform {

// Bytes of physical memory installed (as the system reports it); 0 when it
// cannot be told.
uint64_t PhysicalMemoryBytes();

}  // namespace vz::platform
