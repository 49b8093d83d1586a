#include "app/console/ConsoleView.h"

#include <cstdio>

namespace vz::app {

namespace {

// Plain lines inside a counted stage come at most this often.
constexpr auto kPlainLineInterval = std::chrono::seconds(2);
// The in-place line is redrawn at most this often.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
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

void TConsoleView::ShowProgress(RunCounter counter, int64_t done, int64_t total) {
  static const char* const kCounted[] = {"securities read", "months written", "days written"};
  std::lock_guard lock(mutex_);
  if (count_.empty() || counter != counter_) newCounter_ = true;
  counter_ = counter;
  counting_ = done < total;
  count_ = std::to_string(done) + "/" + std::to_string(total) + " " + kCounted[static_cast<int>(counter)];
}

void TConsoleView::ShowStatus(const std::string& step, const std::string& detail) {
  std::lock_guard lock(mutex_);
  // The count first: on a narrow terminal the step's detail is cut, not it.
  std::string line = Elapsed() + " ";
  if (!count_.empty()) line += count_ + "  ";
  line += step;
  if (!detail.empty()) line += "  " + detail;
  if (terminal_) {
    // Redrawn at most every tenth of a second: a step per security would
    // otherwise keep the terminal busy.
    if (!newCounter_ && Clock::now() - lastDraw_ < kRedrawInterval) heldLine_ = line;
    else DrawInPlace(line);
    return;
  }
  // Inside a counted stage every security or day is a step of its own: those
  // lines come at a bounded rate. Other steps (a stage beginning, the final
  // status) are printed as they come.
  const bool newStep = step != lastStep_;
  lastStep_ = step;
  const bool due = Clock::now() - lastPlainLine_ >= kPlainLineInterval;
  if ((newStep && !counting_) || newCounter_ || due) PrintPlain(line);
  else heldLine_ = line;
}

void TConsoleView::DrawInPlace(std::string line) {
  if (line.size() > kProgressWidth) line.resize(kProgressWidth);
  err_ << "\r\x1b[K" << line << std::flush;
  progressOpen_ = true;
  lastDraw_ = Clock::now();
  heldLine_.clear();
  newCounter_ = false;
}

void TConsoleView::PrintPlain(const std::string& line) {
  err_ << line << '\n' << std::flush;
  lastPlainLine_ = Clock::now();
  heldLine_.clear();
  newCounter_ = false;
}

void TConsoleView::RunEnded(const RunResult& result) {
  {
    std::lock_guard lock(mutex_);
    if (!heldLine_.empty()) {
      if (terminal_) DrawInPlace(heldLine_);
      else PrintPlain(heldLine_);
    }
  }
  runResult_ = result;
}

void TConsoleView::ShowMessage(const std::string& text) { ShowErrorLine(text); }

void TConsoleView::ShowErrorLine(const std::string& text) {
  // A message's further lines (its reason) are indented under it.
  std::string indented;
  for (char c : text) {
    indented += c;
    if (c == '\n') indented += "  ";
  }
  std::lock_guard lock(mutex_);
  EndProgressLine();
  err_ << "error: " << indented << '\n' << std::flush;
}

void TConsoleView::ShowText(const std::string& text) {
  std::lock_guard lock(mutex_);
  EndProgressLine();
  err_ << text << std::flush;
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
