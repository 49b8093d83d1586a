#include "vuzuz/ShowError.h"

#include <cstdio>
#include <mutex>

namespace vz {

namespace {
std::mutex& SinkMutex() {
  static std::mutex m;
  return m;
}
ErrorSink& CurrentSink() {
  static ErrorSink sink;
  return sink;
}
thread_local TThreadErrorObserver* threadObserver = nullptr;
}  // namespace

TThreadErrorObserver::TThreadErrorObserver(ErrorSink observer)
    : observer_(std::move(observer)), previous_(threadObserver) {
  threadObserver = this;
}

TThreadErrorObserver::~TThreadErrorObserver() { threadObserver = previous_; }

ErrorSink SetErrorSink(ErrorSink sink) {
  std::lock_guard lock(SinkMutex());
  ErrorSink previous = std::move(CurrentSink());
  CurrentSink() = std::move(sink);
  return previous;
}

void ShowError(const std::string& text) {
  if (threadObserver && threadObserver->observer_) threadObserver->observer_(text);
  ErrorSink sink;
  {
    std::lock_guard lock(SinkMutex());
    sink = CurrentSink();
  }
  if (sink) {
    sink(text);
    return;
  }
  std::fprintf(stderr, "Error: %s\n", text.c_str());
}

struct TErrorRecorder::Shared {
  std::mutex mutex;
  std::vector<std::string> messages;
};

TErrorRecorder::TErrorRecorder() : shared_(std::make_shared<Shared>()) {
  previous_ = SetErrorSink([shared = shared_](const std::string& text) {
    std::lock_guard lock(shared->mutex);
    shared->messages.push_back(text);
  });
}

TErrorRecorder::~TErrorRecorder() { SetErrorSink(std::move(previous_)); }

std::vector<std::string> TErrorRecorder::Messages() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->messages;
}

void TErrorRecorder::Clear() {
  std::lock_guard lock(shared_->mutex);
  shared_->messages.clear();
}

}  // namespace vz
