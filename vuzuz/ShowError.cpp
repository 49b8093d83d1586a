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
}  // namespace

ErrorSink SetErrorSink(ErrorSink sink) {
  std::lock_guard lock(SinkMutex());
  ErrorSink previous = std::move(CurrentSink());
  CurrentSink() = std::move(sink);
  return previous;
}

void ShowError(const std::string& text) {
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

}  // namespace vz
