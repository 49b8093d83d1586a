#pragma once
// The console program's view of the main window: the status panels become
// progress on the error stream (one line rewritten in place on a terminal,
// plain lines otherwise), message boxes become error lines, and the tasks a
// run posts are run by the program's loop (Drain).
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "app/window/MainView.h"

namespace vz::app {

class TConsoleView final : public IMainView {
public:
  using Clock = std::chrono::steady_clock;
  TConsoleView(std::ostream& err, bool terminal);

  void Post(std::function<void()> task) override;
  void ShowSettings(const WindowSettings&) override {}
  void ShowStatus(const std::string& step, const std::string& detail) override;
  void ShowButtonCaption(const std::string&) override {}
  void ShowControlsEnabled(bool, bool) override {}
  void FocusControl(Control) override {}
  void ShowMessage(const std::string& text) override;
  // Messages become error lines on stderr: nobody has to dismiss them.
  bool MessagesWaitForUser() const override { return false; }
  // There is no dialog: the window's range stands.
  bool AskImportRange(double&, double&) override { return true; }
  void RequestClose() override { closeRequested_ = true; }
  void RunEnded(const RunResult& result) override { runResult_ = result; }

  // An error line from any thread (the error sink).
  void ShowErrorLine(const std::string& text);
  // A plain line of its own (ends the progress line first).
  void ShowLine(const std::string& text);
  // Ends the in-place progress line, keeping what it shows.
  void EndProgress();
  // Runs the posted tasks, waiting up to `timeout` for the first.
  void Drain(std::chrono::milliseconds timeout);

  const std::optional<RunResult>& Result() const { return runResult_; }
  bool CloseRequested() const { return closeRequested_; }

private:
  void EndProgressLine();  // with mutex_ held
  std::string Elapsed() const;

  std::ostream& err_;
  const bool terminal_;
  const Clock::time_point started_ = Clock::now();
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
  bool progressOpen_ = false;
  std::string lastStep_;
  Clock::time_point lastDetailLine_{};
  std::optional<RunResult> runResult_;
  bool closeRequested_ = false;
};

}  // namespace vz::app
