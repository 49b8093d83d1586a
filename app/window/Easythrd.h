#pragma once
// TWorkerThread: runs one body function on a thread of its own, with Start
// and Stop and a notification at either end. The window's Start/Stop button,
// its close query and the run's own end call it.
//
// Start raises EEasyTheadException when a thread is current or no body is
// set. Stop sets the current thread's terminate flag, forgets the thread and
// calls ThreadEnd on the calling thread; it does not wait. When a body
// returns, an end notification posted to the window thread marks the
// component inactive, but only if that body's thread is still the current
// one: each thread carries a generation number, so the late end of an old
// thread never touches a newer one.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "platform/ThreadPriority.h"

namespace vz::app {

class EEasyTheadException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// One thread's shared state: its terminate flag, generation and end.
class TEasyThreadThread {
public:
  explicit TEasyThreadThread(std::uint64_t generation) : generation_(generation) {}
  bool Terminated() const { return terminated_.load(); }
  void Terminate() { terminated_.store(true); }
  std::uint64_t Generation() const { return generation_; }
  // Blocks until the body has returned.
  void WaitFor();
  // True once the body has returned and the thread has nothing left to do
  // with the window.
  bool Finished();
  void MarkFinished();

private:
  const std::uint64_t generation_;
  std::atomic<bool> terminated_{false};
  std::mutex mutex_;
  std::condition_variable finishedChanged_;
  bool finished_ = false;
};

class TWorkerThread {
public:
  using ExecEvent = std::function<void(TWorkerThread& sender, TEasyThreadThread& thread)>;
  using NotifyEvent = std::function<void(TWorkerThread& sender)>;
  // Runs a task on the window thread, later, from its message loop.
  using PostEvent = std::function<void(std::function<void()> task)>;

  explicit TWorkerThread(PostEvent postToWindowThread);
  // Sets the terminate flag of a current thread, without waiting for it.
  ~TWorkerThread();
  TWorkerThread(const TWorkerThread&) = delete;
  TWorkerThread& operator=(const TWorkerThread&) = delete;

  // Events. The body gets the component and its thread; the component must
  // outlive a body that uses `sender`.
  ExecEvent Exec;
  NotifyEvent ThreadBegin;
  NotifyEvent ThreadEnd;
  platform::ThreadPriority Priority = platform::ThreadPriority::Normal;

  void Start();
  void Stop();
  // Stop, but only while `generation` is the current thread's.
  void StopIfCurrent(std::uint64_t generation);
  // Waits for the current thread's body to return; nothing without one.
  void WaitFor();

  bool Active() const;
  // Generation of the current thread, 0 when there is none.
  std::uint64_t CurrentGeneration() const;
  // The most recently started thread, current or not (none before a start).
  std::shared_ptr<TEasyThreadThread> LastThread() const;

private:
  struct Shared {
    mutable std::mutex mutex;
    std::shared_ptr<TEasyThreadThread> current;
    std::shared_ptr<TEasyThreadThread> last;  // the newest thread, also after it ended
    bool active = false;
    std::uint64_t lastGeneration = 0;
  };
  static void Terminated(const std::weak_ptr<Shared>& shared, std::uint64_t generation);

  PostEvent post_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace vz::app
