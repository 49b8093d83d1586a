#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "automation/GlobalServerWindows.h"
#include "platform/Desktop.h"
#include "platform/FileSystemWide.h"

namespace vz::platform {

namespace {

// The drivers spell the message words out without the system headers; here
// they are checked against them.
namespace gs = automation::gs;
static_assert(gs::kWmActivate == WM_ACTIVATE && gs::kWmSetText == WM_SETTEXT && gs::kWmGetText == WM_GETTEXT);
static_assert(gs::kWmClose == WM_CLOSE && gs::kEmSetModify == EM_SETMODIFY && gs::kBmSetCheck == BM_SETCHECK);
static_assert(gs::kCbSetCurSel == CB_SETCURSEL && gs::kWmKeyDown == WM_KEYDOWN && gs::kWmKeyUp == WM_KEYUP);
static_assert(gs::kWmSysKeyDown == WM_SYSKEYDOWN && gs::kWmSysKeyUp == WM_SYSKEYUP && gs::kWmCommand == WM_COMMAND);
static_assert(gs::kWmSysCommand == WM_SYSCOMMAND && gs::kScRestore == SC_RESTORE && gs::kScMinimize == SC_MINIMIZE);
static_assert(gs::kWaActive == WA_ACTIVE && gs::kIdOk == IDOK && gs::kBstUnchecked == BST_UNCHECKED);
static_assert(gs::kVkAlt == VK_MENU && gs::kVkRight == VK_RIGHT &&
              gs::kFilterSelChange == MAKEWPARAM(gs::kFilterComboId, CBN_SELCHANGE));

using automation::MessageLParam;
using automation::MessageWParam;
using automation::WindowHandle;

HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle FromHwnd(HWND window) { return reinterpret_cast<WindowHandle>(window); }

// EnumWindows and EnumChildWindows hand every window to the visitor; it
// returns false to end the walk.
BOOL CALLBACK VisitWindow(HWND window, LPARAM visitor) {
  const auto& visit = *reinterpret_cast<const automation::WindowVisitor*>(visitor);
  return visit(FromHwnd(window)) ? TRUE : FALSE;
}

// Every text crosses to the windows as UTF-16 (the wide calls): an ANSI
// call would pass a UTF-8 path as bytes of the system's code page, and a
// Cyrillic folder name would arrive as Latin-1 letters.

// Text read into a buffer of `size` characters, cut at the count the call
// reports and at the first zero, as UTF-8.
std::string TextOf(const std::vector<wchar_t>& buffer, LRESULT count) {
  if (count <= 0) return {};
  const size_t limit = std::min(static_cast<size_t>(count), buffer.size() - 1);
  return Utf8Text(buffer.data(), wcsnlen(buffer.data(), limit));
}

class TSystemDesktop final : public automation::IDesktop {
public:
  WindowHandle FindWindowByClass(const std::string& className) override {
    return FromHwnd(FindWindowW(WidePath(className).c_str(), nullptr));
  }

  void EnumTopLevel(const automation::WindowVisitor& visit) override {
    EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&visit));
  }

  void EnumDescendants(WindowHandle parent, const automation::WindowVisitor& visit) override {
    EnumChildWindows(ToHwnd(parent), VisitWindow, reinterpret_cast<LPARAM>(&visit));
  }

  std::string ClassName(WindowHandle window, size_t bufferSize) override {
    if (bufferSize == 0) return {};
    std::vector<wchar_t> buffer(bufferSize, L'\0');
    return TextOf(buffer, GetClassNameW(ToHwnd(window), buffer.data(), static_cast<int>(bufferSize)));
  }

  std::string WindowText(WindowHandle window, size_t bufferSize) override {
    if (bufferSize == 0) return {};
    std::vector<wchar_t> buffer(bufferSize, L'\0');
    return TextOf(buffer, GetWindowTextW(ToHwnd(window), buffer.data(), static_cast<int>(bufferSize)));
  }

  std::uint32_t ProcessId(WindowHandle window) override {
    DWORD process = 0;
    if (GetWindowThreadProcessId(ToHwnd(window), &process) == 0) return 0;
    return process;
  }

  WindowHandle Parent(WindowHandle window) override { return FromHwnd(GetParent(ToHwnd(window))); }

  WindowHandle NextTabStop(WindowHandle dialog, WindowHandle from) override {
    return FromHwnd(GetNextDlgTabItem(ToHwnd(dialog), ToHwnd(from), FALSE));
  }

  bool SetFocus(WindowHandle window) override { return ::SetFocus(ToHwnd(window)) != nullptr; }

  MessageLParam Send(WindowHandle window, std::uint32_t message, MessageWParam wParam, MessageLParam lParam) override {
    return SendMessageW(ToHwnd(window), message, wParam, lParam);
  }

  bool Post(WindowHandle window, std::uint32_t message, MessageWParam wParam, MessageLParam lParam) override {
    return PostMessageW(ToHwnd(window), message, wParam, lParam) != FALSE;
  }

  void SendSetText(WindowHandle window, const std::string& text) override {
    const std::wstring wide = WidePath(text);
    SendMessageW(ToHwnd(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  }

  std::string SendGetText(WindowHandle window, size_t bufferSize) override {
    if (bufferSize == 0) return {};
    std::vector<wchar_t> buffer(bufferSize, L'\0');
    const LRESULT count = SendMessageW(ToHwnd(window), WM_GETTEXT, bufferSize, reinterpret_cast<LPARAM>(buffer.data()));
    return TextOf(buffer, count);
  }

  void Sleep(int milliseconds) override { ::Sleep(static_cast<DWORD>(milliseconds < 0 ? 0 : milliseconds)); }

  std::int64_t NowMs() override { return static_cast<std::int64_t>(GetTickCount64()); }
};

}  // namespace

std::unique_ptr<automation::IDesktop> MakeSystemDesktop() { return std::make_unique<TSystemDesktop>(); }

}  // namespace vz::platform
