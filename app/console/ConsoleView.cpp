#include "app/console/ConsoleView.h"

#include <cstdio>

namespace vz::app {

namespace {

// Plain lines repeat a changing detail (a progress count) at most this often.
constexpr auto kDetailLineInterval = std::chrono::seconds(2);
// The in-place line is kept short enough not to wrap on a narrow terminal.
constexpr size_t kProgressWidth = 79;

}  // namespace

TConsoleView::TConsoleView(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}

void TConsoleView::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  posted_.notify_one();
}

void TConsoleView::Drain(std::chrono::milliseconds timeout) {
  std::deque<std::function<void()>> ready;
  {
    std::unique_lock lock(mutex_);
    posted_.wait_for(lock, timeout, [this] { return !tasks_.empty(); });
    ready.swap(tasks_);
  }
  for (auto& task : ready) task();
}

std::string TConsoleView::Elapsed() const {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started_).count();
  char text[32];
  std::snprintf(text, sizeof text, "[%lld:%02lld]", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

void TConsoleView::EndProgressLine() {
  if (!progressOpen_) return;
  err_ << '\n';
  progressOpen_ = false;
}

void TConsoleView::ShowStatus(const std::string& step, const std::string& detail) {
  std::lock_guard lock(mutex_);
  std::string line = Elapsed() + " " + step;
  if (!detail.empty()) line += "  " + detail;
  if (terminal_) {
    if (line.size() > kProgressWidth) line.resize(kProgressWidth);
    err_ << "\r\x1b[K" << line << std::flush;
    progressOpen_ = true;
    return;
  }
  const auto now = Clock::now();
  const bool newStep = step != lastStep_;
  if (!newStep && (detail.empty() || now - lastDetailLine_ < kDetailLineInterval)) return;
  lastStep_ = step;
  if (!detail.empty()) lastDetailLine_ = now;
  err_ << line << '\n' << std::flush;
}

void TConsoleView::ShowMessage(const std::string& text) { ShowErrorLine(text); }

void TConsoleView::ShowErrorLine(const std::string& text) {
  std::lock_guard lock(mutex_);
  EndProgressLine();
  err_ << "error: " << text << '\n' << std::flush;
}

void TConsoleView::EndProgress() {
  std::lock_guard lock(mutex_);
  EndProgressLine();
  err_ << std::flush;
}

void TConsoleView::ShowLine(const std::string& text) {
  std::lock_guard lock(mutex_);
  EndProgressLine();
  err_ << text << '\n' << std::flush;
}

}  // namespace vz::app
