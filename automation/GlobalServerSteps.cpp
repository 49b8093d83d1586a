#include "automation/GlobalServerSteps.h"

#include "automation/GlobalServerWindows.h"

namespace vz::automation {

void TWizardSteps::Log(const std::string& text) const {
  if (log_) log_(text);
}

WindowHandle TWizardSteps::FindMainWindow() {
  const WindowHandle window = desktop_.FindWindowByClass(gs::kMainWindowClass);
  if (window != 0) state_.ServerProcessId = desktop_.ProcessId(window);
  return window;
}

WindowHandle TWizardSteps::TopLevelByText(const std::string& text) {
  state_.SearchText = text;
  return FindWindowWith(desktop_, state_, EnumByTextProc, 0);
}

WindowHandle TWizardSteps::TopLevelByClass(const std::string& className) {
  state_.SearchClass = className;
  return FindWindowWith(desktop_, state_, EnumByClassProc, 0);
}

WindowHandle TWizardSteps::TopLevelByText(const std::string& text, const std::string& second) {
  const WindowHandle window = TopLevelByText(text);
  return window != 0 ? window : TopLevelByText(second);
}

WindowHandle TWizardSteps::InsideByText(WindowHandle window, const std::string& text) {
  state_.SearchText = text;
  return FindWindowWith(desktop_, state_, EnumByTextProc, window);
}

WindowHandle TWizardSteps::InsideByClass(WindowHandle window, const std::string& className) {
  state_.SearchClass = className;
  return FindWindowWith(desktop_, state_, EnumByClassProc, window);
}

WindowHandle TWizardSteps::Inside(WindowHandle window, const std::string& className, const std::string& text) {
  state_.SearchClass = className;
  state_.SearchText = text;
  return FindWindowWith(desktop_, state_, EnumByClassTextProc, window);
}

WindowHandle TWizardSteps::Inside(WindowHandle window, const std::string& className, const std::string& text,
                                  const std::string& second) {
  const WindowHandle control = Inside(window, className, text);
  return control != 0 ? control : Inside(window, className, second);
}

bool TWizardSteps::BoundSpent() {
  if (!bound_ || !bound_->Spent(desktop_)) return false;
  if (!boundTold_) {
    boundTold_ = true;
    Log("the Smart import time bound of " + std::to_string(kSmartImportBoundMs / 60000) + " minutes is spent");
  }
  return true;
}

bool TWizardSteps::KeepWaiting(std::int64_t startMs, std::int64_t& lastNoteMs, const std::string& what) {
  if (bound_) {
    const std::int64_t waited = desktop_.NowMs() - startMs;
    if (waited - lastNoteMs >= kWaitNoteIntervalMs) {
      lastNoteMs = waited - waited % kWaitNoteIntervalMs;
      bound_->Note("still waiting for " + (what.empty() ? std::string("GlobalServer") : what) + ", " +
                   std::to_string(waited / 1000) + " s so far");
    }
  }
  return !BoundSpent();
}

WindowHandle TWizardSteps::WaitFor(int polls, const Lookup& lookup, const std::string& what) {
  const std::int64_t start = desktop_.NowMs();
  std::int64_t lastNote = 0;
  for (int poll = 0; poll < polls; ++poll) {
    desktop_.Sleep(gs::kPollMs);
    if (const WindowHandle window = lookup()) return window;
    if (!KeepWaiting(start, lastNote, what)) break;
  }
  return 0;
}

WindowHandle TWizardSteps::WaitPresent(int polls, const Lookup& lookup) {
  if (const WindowHandle window = lookup()) return window;
  return WaitFor(polls, lookup);
}

WindowHandle TWizardSteps::WaitForClose(int polls, const Lookup& lookup, const std::string& what) {
  const std::int64_t start = desktop_.NowMs();
  std::int64_t lastNote = 0;
  WindowHandle window = 0;
  for (int poll = 0; poll < polls; ++poll) {
    desktop_.Sleep(gs::kPollMs);
    window = lookup();
    if (window == 0) return 0;
    if (!KeepWaiting(start, lastNote, what)) break;
  }
  return window;
}

bool TWizardSteps::WaitForProgress(const std::string& title) {
  const Lookup progress = [&] { return TopLevelByText(title); };
  if (WaitFor(gs::kProgressShowPolls, progress) == 0) {
    Log("\"" + title + "\" did not show; taken as done");
    return true;
  }
  Log("waiting for \"" + title + "\" to close");
  const WindowHandle stuck = WaitForClose(gs::kProgressClosePolls, progress, "\"" + title + "\" to close");
  if (stuck == 0) return true;
  Log("\"" + title + "\" still open; closing it");
  Close(stuck);
  return false;
}

void TWizardSteps::Send(WindowHandle window, std::uint32_t message, MessageWParam wParam, MessageLParam lParam) {
  desktop_.Send(window, message, wParam, lParam);
}

void TWizardSteps::Post(WindowHandle window, std::uint32_t message, MessageWParam wParam, MessageLParam lParam) {
  desktop_.Post(window, message, wParam, lParam);
}

void TWizardSteps::Close(WindowHandle window) { desktop_.Send(window, gs::kWmClose, 0, 0); }

void TWizardSteps::PostCommand(WindowHandle window, MessageWParam command, WindowHandle control) {
  desktop_.Post(window, gs::kWmCommand, command, static_cast<MessageLParam>(control));
}

void TWizardSteps::BringForward(WindowHandle mainWindow) {
  desktop_.Send(mainWindow, gs::kWmSysCommand, gs::kScRestore, 0);
  desktop_.Send(mainWindow, gs::kWmActivate, gs::kWaActive, 0);
}

void TWizardSteps::PostMenuPath(WindowHandle mainWindow, char menu, char item) {
  const auto menuKey = static_cast<MessageWParam>(menu);
  const auto itemKey = static_cast<MessageWParam>(item);
  const gs::Keystroke keys[] = {
      {gs::kWmSysKeyDown, gs::kVkAlt, gs::kAltDown},    {gs::kWmSysKeyDown, menuKey, gs::kMenuLetterSysDown},
      {gs::kWmSysKeyUp, menuKey, gs::kMenuLetterSysUp}, {gs::kWmKeyUp, gs::kVkAlt, gs::kAltUp},
      {gs::kWmKeyDown, itemKey, gs::kItemLetterDown},   {gs::kWmKeyUp, itemKey, gs::kItemLetterUp},
  };
  for (const auto& key : keys) desktop_.Post(mainWindow, key.message, key.key, key.lParam);
}

}  // namespace vz::automation
