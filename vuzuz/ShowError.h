#pragma once
// ShowError: the modal error box of the program, behind a sink that each
// front end installs (the Windows program an error box, the Linux program a
// line on stderr, tests a recorder). Safe to call from any thread; the sink
// decides how to reach its own thread.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vz {

using ErrorSink = std::function<void(const std::string& text)>;

// Installs the sink and returns the one it replaces. With no sink installed
// the text goes to stderr.
ErrorSink SetErrorSink(ErrorSink sink);

void ShowError(const std::string& text);

// While it lives, every message shown from the thread that made it is also
// told to `observer`, before the sink shows it (a run's log keeps the
// errors of its worker thread). Scopes nest; the inner one is told.
class TThreadErrorObserver {
public:
  explicit TThreadErrorObserver(ErrorSink observer);
  ~TThreadErrorObserver();
  TThreadErrorObserver(const TThreadErrorObserver&) = delete;
  TThreadErrorObserver& operator=(const TThreadErrorObserver&) = delete;

private:
  friend void ShowError(const std::string& text);
  ErrorSink observer_;
  TThreadErrorObserver* previous_;
};

// Keeps every message shown while it lives instead of passing it on, then
// puts the previous sink back (tests, and runs that report errors later).
class TErrorRecorder {
public:
  TErrorRecorder();
  ~TErrorRecorder();
  TErrorRecorder(const TErrorRecorder&) = delete;
  TErrorRecorder& operator=(const TErrorRecorder&) = delete;

  // The messages so far, oldest first.
  std::vector<std::string> Messages() const;
  void Clear();

private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  ErrorSink previous_;
};

}  // namespace vz
