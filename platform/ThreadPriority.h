#pragma once
// Thread priorities for the worker thread of a run.

namespace vz::platform {

enum class ThreadPriority { Normal, Lowest };

// Sets the priority of the calling thread. Lowest is the lowest the system
// offers to an ordinary user: the idle class on Windows, SCHED_IDLE on Linux
// (falling back to the largest nice value). False when the system refused.
bool SetCurrentThreadPriority(ThreadPriority priority);

}  // namespace vz::platform
