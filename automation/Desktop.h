#pragma once
// The desktop as the GlobalServer drivers see it: other programs' windows,
// found by class and text, walked in enumeration order, and driven by
// messages. The Windows implementation calls the system; the tests use a
// simulated desktop whose clock only moves when the drivers sleep.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace vz::automation {

// A window of any program; 0 is none.
using WindowHandle = std::uintptr_t;
using MessageWParam = std::uintptr_t;
using MessageLParam = std::intptr_t;

// Visits one window; false ends the enumeration.
using WindowVisitor = std::function<bool(WindowHandle)>;

class IDesktop {
public:
  virtual ~IDesktop() = default;

  // The first top-level window of a class, whatever its title (FindWindow).
  virtual WindowHandle FindWindowByClass(const std::string& className) = 0;
  // Every top-level window, then every descendant of a window, in the
  // system's enumeration order (EnumWindows, EnumChildWindows).
  virtual void EnumTopLevel(const WindowVisitor& visit) = 0;
  virtual void EnumDescendants(WindowHandle parent, const WindowVisitor& visit) = 0;

  // Class name and text read into a buffer of `bufferSize` bytes, so at most
  // bufferSize - 1 characters; empty when the read fails.
  virtual std::string ClassName(WindowHandle window, std::size_t bufferSize) = 0;
  virtual std::string WindowText(WindowHandle window, std::size_t bufferSize) = 0;
  virtual std::uint32_t ProcessId(WindowHandle window) = 0;
  virtual WindowHandle Parent(WindowHandle window) = 0;
  // The control after `from` (0: the first) in the dialog's tab order,
  // forward (GetNextDlgTabItem).
  virtual WindowHandle NextTabStop(WindowHandle dialog, WindowHandle from) = 0;
  // False when the focus could not be given (another process's window may
  // refuse it).
  virtual bool SetFocus(WindowHandle window) = 0;

  // SendMessage and PostMessage with plain words. Texts cross this
  // interface as UTF-8; the system desktop hands them to the windows as
  // UTF-16 (the wide calls), so any path or caption arrives whole.
  virtual MessageLParam Send(WindowHandle window, std::uint32_t message, MessageWParam wParam,
                             MessageLParam lParam) = 0;
  virtual bool Post(WindowHandle window, std::uint32_t message, MessageWParam wParam, MessageLParam lParam) = 0;
  // WM_SETTEXT with the text as lParam, and WM_GETTEXT into a buffer of
  // `bufferSize` bytes (its count as wParam); the text read back.
  virtual void SendSetText(WindowHandle window, const std::string& text) = 0;
  virtual std::string SendGetText(WindowHandle window, std::size_t bufferSize) = 0;

  virtual void Sleep(int milliseconds) = 0;
  // A millisecond clock for the bound of a whole Smart import step; only its
  // differences mean anything.
  virtual std::int64_t NowMs() = 0;
};

}  // namespace vz::automation
