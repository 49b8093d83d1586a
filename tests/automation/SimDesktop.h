#pragma once
// A desktop made of data for testing the GlobalServer drivers: windows with
// a class, a text, a process, children and a tab order; a log of every
// message the drivers send or post, stamped with the virtual clock; and
// reactions to messages, at once or after a while on that clock. Time moves
// only when the drivers sleep, so a wait of ten thousand polls costs
// nothing.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "automation/Desktop.h"

namespace vz::test {

using automation::MessageLParam;
using automation::MessageWParam;
using automation::WindowHandle;

struct SimWindow {
  std::string name;  // how the message log calls it
  std::string className;
  std::string text;
  std::uint32_t process = 0;
  WindowHandle parent = 0;
  std::vector<WindowHandle> children;
  bool tabStop = false;
  bool open = true;
  bool minimised = false;
};

struct SimMessage {
  std::int64_t atMs = 0;
  bool posted = false;
  WindowHandle to = 0;
  std::uint32_t message = 0;
  MessageWParam wParam = 0;
  MessageLParam lParam = 0;
  std::string text;  // WM_SETTEXT's text
};

class TSimDesktop final : public automation::IDesktop {
public:
  WindowHandle Create(const std::string& name, const std::string& className, const std::string& text,
                      std::uint32_t process, WindowHandle parent = 0, bool tabStop = false);
  // Closes a window and everything inside it.
  void Destroy(WindowHandle window);
  SimWindow& Window(WindowHandle window) { return windows_.at(window); }
  bool IsOpen(WindowHandle window) const;

  std::int64_t Now() const { return now_; }
  // Runs `action` once the clock reaches now + delayMs.
  void After(std::int64_t delayMs, std::function<void()> action);

  // Called for each message after it is logged; sent and posted messages
  // both arrive at once.
  std::function<void(const SimMessage&)> onMessage;
  // What WM_GETTEXT reads back from a window; by default its text.
  std::function<std::string(WindowHandle)> readBack;
  bool refuseFocus = false;

  const std::vector<SimMessage>& Log() const { return log_; }
  // One line per message: "post main WM_SYSKEYDOWN 0x12 0x20380001";
  // window handles as lParam of WM_COMMAND by name, WM_SETTEXT's text quoted.
  std::vector<std::string> LogLines(std::size_t from = 0) const;
  std::string Describe(const SimMessage& message) const;
  // Names of the windows sent WM_CLOSE, in order.
  std::vector<std::string> Closed() const;
  WindowHandle Focus() const { return focus_; }

  // IDesktop
  WindowHandle FindWindowByClass(const std::string& className) override;
  void EnumTopLevel(const automation::WindowVisitor& visit) override;
  void EnumDescendants(WindowHandle parent, const automation::WindowVisitor& visit) override;
  std::string ClassName(WindowHandle window, std::size_t bufferSize) override;
  std::string WindowText(WindowHandle window, std::size_t bufferSize) override;
  std::uint32_t ProcessId(WindowHandle window) override;
  WindowHandle Parent(WindowHandle window) override;
  WindowHandle NextTabStop(WindowHandle dialog, WindowHandle from) override;
  bool SetFocus(WindowHandle window) override;
  MessageLParam Send(WindowHandle window, std::uint32_t message, MessageWParam wParam, MessageLParam lParam) override;
  bool Post(WindowHandle window, std::uint32_t message, MessageWParam wParam, MessageLParam lParam) override;
  void SendSetText(WindowHandle window, const std::string& text) override;
  std::string SendGetText(WindowHandle window, std::size_t bufferSize) override;
  void Sleep(int milliseconds) override;
  std::int64_t NowMs() override { return now_; }

private:
  void Deliver(SimMessage message);
  bool VisitDescendants(WindowHandle parent, const automation::WindowVisitor& visit);
  std::string NameOf(WindowHandle window) const;

  std::map<WindowHandle, SimWindow> windows_;
  std::vector<WindowHandle> topLevel_;  // in creation order
  WindowHandle nextHandle_ = 0x100;
  std::int64_t now_ = 0;
  std::multimap<std::int64_t, std::function<void()>> timed_;
  std::vector<SimMessage> log_;
  WindowHandle focus_ = 0;
};

}  // namespace vz::test
