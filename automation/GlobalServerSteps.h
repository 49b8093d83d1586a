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

class TWizardSteps {
public:
  TWizardSteps(IDesktop& desktop, const StepLog& log) : desktop_(desktop), log_(log) {}

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
  // Up to `polls` times: sleep one poll, look; the window, or 0.
  WindowHandle WaitFor(int polls, const Lookup& lookup);
  // A window that has just appeared may not have its controls yet: looks at
  // once and then up to `polls` more times; the control, or 0.
  WindowHandle WaitPresent(int polls, const Lookup& lookup);
  // Up to `polls` times: sleep one poll, look; 0 once it is gone, else the
  // window still there after the last poll.
  WindowHandle WaitForClose(int polls, const Lookup& lookup);
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
  IDesktop& desktop_;
  const StepLog& log_;
  LookupState state_;
};

}  // namespace vz::automation
