#include "platform/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vz::platform {

bool SetCurrentThreadPriority(ThreadPriority priority) {
  if (priority == ThreadPriority::Normal) return true;
#ifdef SCHED_IDLE
  sched_param param{};
  if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0) return true;
#endif
#ifdef SYS_gettid
  // On Linux the nice value belongs to the thread.
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  return setpriority(PRIO_PROCESS, tid, 19) == 0;
#else
  return false;
#endif
}

}  // namespace vz::platform
