#include "app/window/WindowTaskQueue.h"

#include <cstddef>
#include <iterator>

namespace vz::app {

TWindowTaskQueue::PushResult TWindowTaskQueue::Push(std::function<void()> task) {
  std::lock_guard lock(mutex_);
  if (closed_) return PushResult::Dropped;
  tasks_.push_back(std::move(task));
  if (wakePending_) return PushResult::Queued;
  wakePending_ = true;
  return PushResult::Wake;
}

void TWindowTaskQueue::WakeFailed() {
  std::lock_guard lock(mutex_);
  wakePending_ = false;
}

size_t TWindowTaskQueue::Drain() {
  std::deque<std::function<void()>> ready;
  {
    std::lock_guard lock(mutex_);
    ready.swap(tasks_);
    wakePending_ = false;
  }
  size_t ran = 0;
  try {
    for (; ran < ready.size(); ++ran) ready[ran]();
  } catch (...) {
    // The tasks after the failing one keep their place for the next drain.
    std::lock_guard lock(mutex_);
    if (!closed_) tasks_.insert(tasks_.begin(), std::make_move_iterator(ready.begin() + static_cast<std::ptrdiff_t>(ran) + 1),
                                std::make_move_iterator(ready.end()));
    throw;
  }
  return ran;
}

void TWindowTaskQueue::Close() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(tasks_);
  }
  // Destroyed outside the lock: a task's captures may push again.
}

bool TWindowTaskQueue::Closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace vz::app
