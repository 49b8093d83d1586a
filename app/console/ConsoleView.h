#pragma once
// The console program's view of the main window: the status panels and the
// run's counts become progress on the error stream, with the elapsed time
// (one line rewritten in place on a terminal, at most ten times a second;
// plain lines otherwise, at most one every two seconds inside a counted
// stage), message boxes become error
// lines, and the tasks a run posts are run by the program's loop (Drain).
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
  void ShowProgress(RunCounter counter, int64_t done, int64_t total) override;
  void ShowButtonCaption(const std::string&) override {}
  void ShowControlsEnabled(bool, bool) override {}
  void FocusControl(Control) override {}
  void ShowMessage(const std::string& text) override;
  // Messages become error lines on stderr: nobody has to dismiss them.
  bool MessagesWaitForUser() const override { return false; }
  // There is no dialog: the window's range stands.
  bool AskImportRange(double&, double&) override { return true; }
  void RequestClose() override { closeRequested_ = true; }
  // Prints the last status if the rate held it back.
  void RunEnded(const RunResult& result) override;

  // An error line from any thread (the error sink).
  void ShowErrorLine(const std::string& text);
  // A plain line of its own (ends the progress line first).
  void ShowLine(const std::string& text);
  // Lines of text, each ending with a line feed (ends the progress line first).
  void ShowText(const std::string& text);
  // Ends the in-place progress line, keeping what it shows.
  void EndProgress();
  // Runs the posted tasks, waiting up to `timeout` for the first.
  void Drain(std::chrono::milliseconds timeout);

  const std::optional<RunResult>& Result() const { return runResult_; }
  bool CloseRequested() const { return closeRequested_; }

private:
  void EndProgressLine();  // with mutex_ held
  std::string Elapsed() const;
  void PrintPlain(const std::string& line);  // with mutex_ held
  void DrawInPlace(std::string line);        // with mutex_ held

  std::ostream& err_;
  const bool terminal_;
  const Clock::time_point started_ = Clock::now();
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
  bool progressOpen_ = false;
  std::string lastStep_;
  Clock::time_point lastPlainLine_{};
  Clock::time_point lastDraw_{};
  std::string heldLine_;  // a line the rate held back
  // The current stage's count ("12/40 securities read"); `counting_` while
  // it is short of its total; `newCounter_` until the first line after a
  // stage began counting.
  std::string count_;
  RunCounter counter_ = RunCounter::SecuritiesRead;
  bool counting_ = false;
  bool newCounter_ = false;
  std::optional<RunResult> runResult_;
  bool closeRequested_ = false;
};

}  // namespace vz::app
