#include "SimDesktop.h"

#include <algorithm>
#include <cstdio>

#include "automation/GlobalServerWindows.h"

namespace vz::test {

namespace gs = automation::gs;

WindowHandle TSimDesktop::Create(const std::string& name, const std::string& className, const std::string& text,
                                 std::uint32_t process, WindowHandle parent, bool tabStop) {
  const WindowHandle handle = nextHandle_;
  nextHandle_ += 4;
  windows_[handle] = SimWindow{name, className, text, process, parent, {}, tabStop, true, false};
  if (parent == 0)
    topLevel_.push_back(handle);
  else
    windows_.at(parent).children.push_back(handle);
  return handle;
}

void TSimDesktop::Destroy(WindowHandle window) {
  auto found = windows_.find(window);
  if (found == windows_.end() || !found->second.open) return;
  found->second.open = false;
  for (WindowHandle child : found->second.children) Destroy(child);
}

bool TSimDesktop::IsOpen(WindowHandle window) const {
  auto found = windows_.find(window);
  return found != windows_.end() && found->second.open;
}

void TSimDesktop::After(std::int64_t delayMs, std::function<void()> action) {
  timed_.emplace(now_ + delayMs, std::move(action));
}

WindowHandle TSimDesktop::FindWindowByClass(const std::string& className) {
  for (WindowHandle window : topLevel_)
    if (IsOpen(window) && windows_.at(window).className == className) return window;
  return 0;
}

void TSimDesktop::EnumTopLevel(const automation::WindowVisitor& visit) {
  // A copy: a visitor could open windows.
  const std::vector<WindowHandle> windows = topLevel_;
  for (WindowHandle window : windows)
    if (IsOpen(window) && !visit(window)) return;
}

bool TSimDesktop::VisitDescendants(WindowHandle parent, const automation::WindowVisitor& visit) {
  const std::vector<WindowHandle> children = windows_.at(parent).children;
  for (WindowHandle child : children) {
    if (!IsOpen(child)) continue;
    if (!visit(child)) return false;
    if (!VisitDescendants(child, visit)) return false;
  }
  return true;
}

void TSimDesktop::EnumDescendants(WindowHandle parent, const automation::WindowVisitor& visit) {
  if (IsOpen(parent)) VisitDescendants(parent, visit);
}

namespace {
std::string Cut(const std::string& text, std::size_t bufferSize) {
  return bufferSize == 0 ? std::string() : text.substr(0, bufferSize - 1);
}
}  // namespace

std::string TSimDesktop::ClassName(WindowHandle window, std::size_t bufferSize) {
  return IsOpen(window) ? Cut(windows_.at(window).className, bufferSize) : std::string();
}

std::string TSimDesktop::WindowText(WindowHandle window, std::size_t bufferSize) {
  return IsOpen(window) ? Cut(windows_.at(window).text, bufferSize) : std::string();
}

std::uint32_t TSimDesktop::ProcessId(WindowHandle window) { return IsOpen(window) ? windows_.at(window).process : 0; }

WindowHandle TSimDesktop::Parent(WindowHandle window) { return IsOpen(window) ? windows_.at(window).parent : 0; }

WindowHandle TSimDesktop::NextTabStop(WindowHandle dialog, WindowHandle from) {
  if (!IsOpen(dialog)) return 0;
  std::vector<WindowHandle> stops;
  for (WindowHandle child : windows_.at(dialog).children)
    if (IsOpen(child) && windows_.at(child).tabStop) stops.push_back(child);
  if (stops.empty()) return 0;
  auto at = std::find(stops.begin(), stops.end(), from);
  if (from == 0 || at == stops.end()) return stops.front();
  ++at;
  return at == stops.end() ? stops.front() : *at;  // the tab order wraps round
}

bool TSimDesktop::SetFocus(WindowHandle window) {
  if (refuseFocus || !IsOpen(window)) return false;
  focus_ = window;
  return true;
}

void TSimDesktop::Deliver(SimMessage message) {
  message.atMs = now_;
  log_.push_back(message);
  if (onMessage && IsOpen(message.to)) onMessage(log_.back());
}

MessageLParam TSimDesktop::Send(WindowHandle window, std::uint32_t message, MessageWParam wParam,
                                MessageLParam lParam) {
  Deliver({0, false, window, message, wParam, lParam, {}});
  return 0;
}

bool TSimDesktop::Post(WindowHandle window, std::uint32_t message, MessageWParam wParam, MessageLParam lParam) {
  Deliver({0, true, window, message, wParam, lParam, {}});
  return IsOpen(window);
}

void TSimDesktop::SendSetText(WindowHandle window, const std::string& text) {
  Deliver({0, false, window, gs::kWmSetText, 0, 0, text});
  if (IsOpen(window)) windows_.at(window).text = text;
}

std::string TSimDesktop::SendGetText(WindowHandle window, std::size_t bufferSize) {
  Deliver({0, false, window, gs::kWmGetText, bufferSize, 0, {}});
  if (!IsOpen(window)) return {};
  return Cut(readBack ? readBack(window) : windows_.at(window).text, bufferSize);
}

void TSimDesktop::Sleep(int milliseconds) {
  const std::int64_t until = now_ + milliseconds;
  while (!timed_.empty() && timed_.begin()->first <= until) {
    auto next = timed_.begin();
    now_ = next->first;
    auto action = std::move(next->second);
    timed_.erase(next);
    action();
  }
  now_ = until;
}

std::string TSimDesktop::NameOf(WindowHandle window) const {
  auto found = windows_.find(window);
  if (found != windows_.end()) return found->second.name;
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(window));
  return text;
}

namespace {
std::string MessageName(std::uint32_t message) {
  if (const char* name = gs::DriverMessageName(message)) return name;
  char text[16];
  std::snprintf(text, sizeof text, "0x%04x", message);
  return text;
}

std::string Hex(unsigned long long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", value);
  return text;
}
}  // namespace

std::string TSimDesktop::Describe(const SimMessage& message) const {
  std::string line = (message.posted ? "post " : "send ") + NameOf(message.to) + " " + MessageName(message.message);
  if (message.message == gs::kWmCommand) {
    line += " " + std::to_string(message.wParam);
    line += " " + (message.lParam == 0 ? std::string("0") : NameOf(static_cast<WindowHandle>(message.lParam)));
  } else if (message.message == gs::kWmSetText) {
    line += " \"" + message.text + "\"";
  } else if (message.message == gs::kWmGetText) {
    line += " " + std::to_string(message.wParam);
  } else {
    line += " " + Hex(message.wParam);
    line += " " + Hex(static_cast<std::uint32_t>(message.lParam));
  }
  return line;
}

std::vector<std::string> TSimDesktop::LogLines(std::size_t from) const {
  std::vector<std::string> lines;
  for (std::size_t i = from; i < log_.size(); ++i) lines.push_back(Describe(log_[i]));
  return lines;
}

std::vector<std::string> TSimDesktop::Closed() const {
  std::vector<std::string> names;
  for (const auto& message : log_)
    if (message.message == gs::kWmClose) names.push_back(NameOf(message.to));
  return names;
}

}  // namespace vz::test
