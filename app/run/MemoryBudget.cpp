#include "app/run/MemoryBudget.h"

#include <algorithm>

#include "platform/PhysicalMemory.h"

namespace vz::app {

int64_t DefaultMemoryBudgetBytes(uint64_t physicalBytes) {
  const int64_t cap = kDefaultMemoryBudgetCapMiB * kMiB;
  if (physicalBytes == 0) return cap;
  const uint64_t quarter = physicalBytes / 4;
  const int64_t budget = quarter >= static_cast<uint64_t>(cap) ? cap : static_cast<int64_t>(quarter);
  return std::max(budget, kMemoryBudgetFloorMiB * kMiB);
}

int64_t MemoryBudgetBytes(const TRunSettings& settings) {
  if (settings.memoryBudgetBytes > 0) return settings.memoryBudgetBytes;
  if (settings.memoryBudgetMiB > 0)
    return std::clamp(settings.memoryBudgetMiB, kMemoryBudgetFloorMiB, kMemoryBudgetMaxMiB) * kMiB;
  return DefaultMemoryBudgetBytes(platform::PhysicalMemoryBytes());
}

}  // namespace vz::app
