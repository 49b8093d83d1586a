#pragma once
// What a run's stages see of the window: the two status panels, the plain
// message box, and the stop request. Implementations carry the calls to the
// view's own thread; the stages call them from the worker thread.
#include <cstdint>
#include <string>

namespace vz::app {

// What a long stage counts as it goes.
enum class RunCounter { SecuritiesRead, MonthsWritten, DaysWritten };

class IRunStatus {
public:
  virtual ~IRunStatus() = default;
  // Panel 0 := text, panel 1 := empty.
  virtual void SetStatus(const std::string& text) = 0;
  // Panel 1 := text.
  virtual void SetStatusDetail(const std::string& text) = 0;
  // How far a stage is: `done` of `total`. The window shows it as a
  // progress bar, the console program as a count.
  virtual void SetProgress(RunCounter counter, int64_t done, int64_t total) {
    (void)counter;
    (void)done;
    (void)total;
  }
  // A plain message box with an OK button; returns when it is dismissed.
  virtual void ShowMessage(const std::string& text) = 0;
  // The worker thread's terminate flag.
  virtual bool StopRequested() const = 0;
  // A line for the run's log alone: no panel shows it (an archive
  // imported, a wait still going on). Ignored where there is no log.
  virtual void LogLine(const std::string& text) { (void)text; }
  // Whether ShowMessage waits for somebody to dismiss it. A run that closes
  // by itself holds back messages that would wait; a console prints them
  // and goes on.
  virtual bool MessagesWaitForUser() const { return true; }
};

// The one rule for message boxes. A window that closes by itself when its
// run ends (/x) is there for a scheduled start, and nobody answers a box
// then: a box would hold the window open, and Task Scheduler starts no new
// night while it waits. So every box such a window could show (its settings
// refused, a run's message or error, a run that cannot start, a fault in the
// window) goes to the status bar and the run's log instead, and the window
// closes with its exit status. A view whose messages need no answer (the
// console) shows them all.
inline bool HoldsBoxes(bool closesByItself, bool messagesWaitForUser) {
  return closesByItself && messagesWaitForUser;
}

// A message held back from a box, as the status bar's one line shows it.
inline std::string StatusLineOf(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace vz::app
