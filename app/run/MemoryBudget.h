#pragma once
// The memory a run may keep its bars in, from the settings and the machine.
#include <cstdint>

#include "app/run/RunSettings.h"

namespace vz::app {

inline constexpr int64_t kMiB = int64_t{1} << 20;
// The smallest budget /b: sets; a smaller value counts as this.
inline constexpr int64_t kMemoryBudgetFloorMiB = 64;
// The default budget: a quarter of the physical memory, at most this.
inline constexpr int64_t kDefaultMemoryBudgetCapMiB = 2048;
// Largest value /b: takes (1 TiB): past it the count would be nonsense.
inline constexpr int64_t kMemoryBudgetMaxMiB = int64_t{1} << 20;

// The default budget for a machine with `physicalBytes` of memory (0:
// unknown, which gives the cap).
int64_t DefaultMemoryBudgetBytes(uint64_t physicalBytes);

// The run's budget in bytes: the exact test budget, else /b: (floored at
// 64 MiB), else the default for this machine.
int64_t MemoryBudgetBytes(const TRunSettings& settings);

}  // namespace vz::app
