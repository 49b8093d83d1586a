#pragma once
// A stand-in for a window thread's message queue: tasks posted from any
// thread run when the test drains the queue.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace vz::test {

class TTaskQueue {
public:
  void Post(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    posted_.notify_all();
  }

  // Runs the queued tasks (and those they post) until `done` holds or the
  // time is up; returns `done()`.
  bool DrainUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::milliseconds(10000)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) return done();
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
    return true;
  }

  size_t Pending() {
    std::lock_guard lock(mutex_);
    return tasks_.size();
  }

private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

}  // namespace vz::test
