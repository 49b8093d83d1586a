#pragma once
// The one path from other threads to the window thread: tasks go into one
// queue under a lock, and a single wake-up is asked for when the queue turns
// non-empty, however many tasks follow before the window thread drains it.
// The window posts that wake-up as one message; a Windows message queue
// holds a bounded number of posted messages, so one per task could be lost.
//
// The rule for a failed wake-up post: the tasks stay queued, WakeFailed()
// lets the next Push ask again, and the window drains the queue on a
// periodic timer as well, so no task waits forever. After Close() (the
// window is going) tasks are dropped on purpose: a task that somebody waits
// for is destroyed unrun, which the waiter sees as a broken promise.
#include <deque>
#include <functional>
#include <mutex>

namespace vz::app {

class TWindowTaskQueue {
public:
  enum class PushResult { Wake, Queued, Dropped };

  // Callable from any thread. Wake: the caller posts the wake-up message.
  PushResult Push(std::function<void()> task);
  // The wake-up post failed: the next Push asks for a wake-up again.
  void WakeFailed();
  // On the window thread: runs the tasks queued so far, oldest first;
  // tasks they push wait for the next wake-up. Returns how many ran.
  size_t Drain();
  // Drops the queued tasks and every later one.
  void Close();
  bool Closed() const;

private:
  mutable std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  bool wakePending_ = false;
  bool closed_ = false;
};

}  // namespace vz::app
