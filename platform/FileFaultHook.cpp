// The setter of the fault injection hook, in a file of its own: a static
// link takes this object only into a program that calls the setter, which
// only the test executable does (the ctest drills_no_fault_hook_in_program
// checks the shipped program for it).
#include <atomic>

#include "platform/FileFault.h"

namespace vz::platform {

extern std::atomic<FileFaultHook> gFileFaultHook;

void SetFileFaultHookForTesting(FileFaultHook hook) { gFileFaultHook.store(hook, std::memory_order_release); }

}  // namespace vz::platform
