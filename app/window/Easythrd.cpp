#include "app/window/Easythrd.h"

#include <future>
#include <string>
#include <system_error>
#include <thread>

namespace vz::app {

void TEasyThreadThread::WaitFor() {
  std::unique_lock lock(mutex_);
  finishedChanged_.wait(lock, [this] { return finished_; });
}

bool TEasyThreadThread::Finished() {
  std::lock_guard lock(mutex_);
  return finished_;
}

void TEasyThreadThread::MarkFinished() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  finishedChanged_.notify_all();
}

TWorkerThread::TWorkerThread(PostEvent postToWindowThread)
    : post_(std::move(postToWindowThread)), shared_(std::make_shared<Shared>()) {}

TWorkerThread::~TWorkerThread() {
  std::lock_guard lock(shared_->mutex);
  if (shared_->current) shared_->current->Terminate();
}

void TWorkerThread::Start() {
  std::shared_ptr<TEasyThreadThread> thread;
  ExecEvent exec;
  std::shared_ptr<TEasyThreadThread> previous;
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->current) throw EEasyTheadException("Thread already running");
    if (!Exec) throw EEasyTheadException("Exec event not defined.");
    thread = std::make_shared<TEasyThreadThread>(++shared_->lastGeneration);
    exec = Exec;
    shared_->current = thread;
    previous = shared_->last;
    shared_->last = thread;
    shared_->active = true;
  }
  // The thread waits at `resume` until it has been linked, like a thread
  // created suspended.
  std::promise<void> resume;
  std::shared_future<void> resumed = resume.get_future().share();
  std::weak_ptr<Shared> shared = shared_;
  const PostEvent post = post_;
  const platform::ThreadPriority priority = Priority;
  // The system may refuse a thread: the component is then left as it was,
  // so that a later start is not refused as "already running".
  std::thread worker;
  try {
    worker = std::thread([this, thread, exec, resumed, shared, post, priority] {
      resumed.wait();
      platform::SetCurrentThreadPriority(priority);
      try {
        exec(*this, *thread);
      } catch (...) {
        // An error escaping the body ends the thread quietly.
      }
      const std::uint64_t generation = thread->Generation();
      if (post) post([shared, generation] { Terminated(shared, generation); });
      thread->MarkFinished();
    });
  } catch (const std::system_error& error) {
    std::lock_guard lock(shared_->mutex);
    shared_->current.reset();
    shared_->last = previous;
    shared_->active = false;
    throw EEasyTheadException(std::string("The run's thread cannot start: ") + error.what());
  }
  worker.detach();
  resume.set_value();
  if (ThreadBegin) ThreadBegin(*this);
}

void TWorkerThread::Terminated(const std::weak_ptr<Shared>& weak, std::uint64_t generation) {
  const auto shared = weak.lock();
  if (!shared) return;
  std::lock_guard lock(shared->mutex);
  if (!shared->current || shared->current->Generation() != generation) return;
  shared->current.reset();
  shared->active = false;
}

void TWorkerThread::Stop() {
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->current) return;
    shared_->current->Terminate();
    shared_->current.reset();
    shared_->active = false;
  }
  if (ThreadEnd) ThreadEnd(*this);
}

void TWorkerThread::StopIfCurrent(std::uint64_t generation) {
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->current || shared_->current->Generation() != generation) return;
  }
  Stop();
}

void TWorkerThread::WaitFor() {
  std::shared_ptr<TEasyThreadThread> thread;
  {
    std::lock_guard lock(shared_->mutex);
    thread = shared_->current;
  }
  if (thread) thread->WaitFor();
}

bool TWorkerThread::Active() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->active;
}

std::shared_ptr<TEasyThreadThread> TWorkerThread::LastThread() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->last;
}

std::uint64_t TWorkerThread::CurrentGeneration() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->current ? shared_->current->Generation() : 0;
}

}  // namespace vz::app
