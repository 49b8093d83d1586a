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

// While it lives, ShowError on the thread that made it goes first to
// `route`, and on to the sink only when the route returns false: a run that
// closes by itself routes its errors to the status bar and its log, so that
// no modal box waits for a person who is not there. Routes nest; the
// innermost wins.
using ErrorRouteFn = std::function<bool(const std::string& text)>;

class TErrorRoute {
public:
  explicit TErrorRoute(ErrorRouteFn route);
  ~TErrorRoute();
  TErrorRoute(const TErrorRoute&) = delete;
  TErrorRoute& operator=(const TErrorRoute&) = delete;

private:
  friend void ShowError(const std::string& text);
  ErrorRouteFn route_;
  TErrorRoute* outer_;
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
