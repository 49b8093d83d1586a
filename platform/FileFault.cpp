#include "platform/FileFault.h"

#include <atomic>

namespace vz::platform {

// Shared with FileFaultHook.cpp, the setter's own file.
std::atomic<FileFaultHook> gFileFaultHook{nullptr};

int InjectedFileFault(FileOperation operation, const std::string& path) {
  const FileFaultHook hook = gFileFaultHook.load(std::memory_order_acquire);
  return hook ? hook(operation, path) : 0;
}

}  // namespace vz::platform
