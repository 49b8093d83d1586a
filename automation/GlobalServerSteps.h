#pragma once
// The moves both wizard drivers are made of: finding GlobalServer's windows,
// waiting for them to show or to close, sending and posting the message
// words, and telling the user each step through the step log.
#include <cstdint>
#include <functional>
#include <string>

#include "automation/Desktop.h"
#include "automation/GlobalServer.h"
#include "automation/GlobalServerLookup.h"

namespace vz::automation {

// The time a Smart import step may still take, and where its long waits are
// told. Shared by every driver call of one step.
class TStepBound {
public:
  TStepBound() = default;
  TStepBound(std::int64_t deadlineMs, StepLog note) : deadlineMs_(deadlineMs), note_(std::move(note)) {}
  bool Spent(IDesktop& desktop) const { return deadlineMs_ >= 0 && desktop.NowMs() >= deadlineMs_; }
  void Note(const std::string& text) const {
    if (note_) note_(text);
  }

private:
  std::int64_t deadlineMs_ = -1;  // none
  StepLog note_;
};

class TWizardSteps {
public:
  TWizardSteps(IDesktop& desktop, const StepLog& log, const TStepBound* bound = nullptr)
      : desktop_(desktop), log_(log), bound_(bound) {}

  IDesktop& Desktop() { return desktop_; }
  LookupState& State() { return state_; }
  void Log(const std::string& text) const;

  // GlobalServer's main window by class alone; sets ServerProcessId.
  WindowHandle FindMainWindow();

  // One look each.
  WindowHandle TopLevelByText(const std::string& text);
  WindowHandle TopLevelByClass(const std::string& className);
  // A top-level window titled `text`, else one titled `second`.
  WindowHandle TopLevelByText(const std::string& text, const std::string& second);
  WindowHandle InsideByText(WindowHandle window, const std::string& text);
  WindowHandle InsideByClass(WindowHandle window, const std::string& className);
  WindowHandle Inside(WindowHandle window, const std::string& className, const std::string& text);
  // A control titled `text`, else one titled `second`.
  WindowHandle Inside(WindowHandle window, const std::string& className, const std::string& text,
                      const std::string& second);

  using Lookup = std::function<WindowHandle()>;
  // Up to `polls` times: sleep one poll, look; the window, or 0. Every wait
  // ends early once the step's bound is spent, and one that goes on is told
  // to the step's note every kWaitNoteIntervalMs (`what` names it).
  WindowHandle WaitFor(int polls, const Lookup& lookup, const std::string& what = {});
  // A window that has just appeared may not have its controls yet: looks at
  // once and then up to `polls` more times; the control, or 0.
  WindowHandle WaitPresent(int polls, const Lookup& lookup);
  // Up to `polls` times: sleep one poll, look; 0 once it is gone, else the
  // window still there after the last poll.
  WindowHandle WaitForClose(int polls, const Lookup& lookup, const std::string& what = {});
  // True once the step's bound is spent (said once in the step log).
  bool BoundSpent();
  // A progress window titled `title` that shows within a few polls is waited
  // for to close. False when it is still there at the end (it is then
  // closed).
  bool WaitForProgress(const std::string& title);

  void Send(WindowHandle window, std::uint32_t message, MessageWParam wParam, MessageLParam lParam);
  void Post(WindowHandle window, std::uint32_t message, MessageWParam wParam, MessageLParam lParam);
  void Close(WindowHandle window);
  // The command `command` with `control` as lParam, posted to `window`.
  void PostCommand(WindowHandle window, MessageWParam command, WindowHandle control);
  // SC_RESTORE then WA_ACTIVE, both sent.
  void BringForward(WindowHandle mainWindow);
  // Alt+`menu`, then `item`: a keyboard menu path, posted.
  void PostMenuPath(WindowHandle mainWindow, char menu, char item);
  void Sleep(int milliseconds) { desktop_.Sleep(milliseconds); }

private:
  // After one more poll of a wait that began `startMs` ago: tells the note
  // when another interval has passed; false when the bound is spent.
  bool KeepWaiting(std::int64_t startMs, std::int64_t& lastNoteMs, const std::string& what);

  IDesktop& desktop_;
  const StepLog& log_;
  const TStepBound* bound_;
  LookupState state_;
  bool boundTold_ = false;
};

}  // namespace vz::automation
