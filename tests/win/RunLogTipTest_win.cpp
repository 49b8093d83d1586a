// The window's run log: the status detail panel's tooltip names the file.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/win/MainWindow_win.h"
#include "app/win/TarvoLayout.h"
#include "win/WindowDriver_win.h"

namespace vz::app {
namespace {

// The tooltip window the main window owns whose tool is the status bar's
// panel (the date fields have a tooltip of their own).
HWND FindTip(HWND owner, HWND bar) {
  for (HWND tip : test::TooltipsOwnedBy(owner)) {
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = bar;
    info.uId = 1;
    if (SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info))) return tip;
  }
  return nullptr;
}

// The tooltip over the status detail of a window whose run log is `log`
// starts with `shown`, and its tool is that panel.
void CheckTip(const std::string& log, const std::wstring& shown) {
  MainWindowServices services = ProductionServices();
  services.readStored = [](platform::StoredValues&) { return false; };
  services.writeStored = [](const platform::StoredValues&) { return true; };
  services.defaultMsDir = [] { return std::string(); };
  services.defaultRunLog = [log] { return log; };
  TTarvoWnd window(GetModuleHandleW(nullptr), {}, services);
  ASSERT_TRUE(window.Create());
  HWND bar = GetDlgItem(window.Handle(), tarvo::kIdStatusBar);
  HWND tip = FindTip(window.Handle(), bar);
  ASSERT_NE(tip, nullptr);
  wchar_t text[512] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = bar;
  tool.uId = 1;
  tool.lpszText = text;
  SendMessageW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
  EXPECT_EQ(std::wstring(text).rfind(shown, 0), 0u) << log;
  TTTOOLINFOW info{};
  info.cbSize = sizeof info;
  info.hwnd = bar;
  info.uId = 1;
  ASSERT_TRUE(SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)));
  RECT panel{};
  SendMessageW(bar, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&panel));
  EXPECT_EQ(info.rect.left, panel.left);
  EXPECT_EQ(info.rect.right, panel.right);
  test::PumpMessages(10);
}

TEST(RunLogTipTest, DetailPanelTooltipNamesTheRunLog) {
  CheckTip("C:\\Users\\ann\\AppData\\Local\\Vuzuz archive creator\\runs.log",
           L"Run log: C:\\Users\\ann\\AppData\\Local\\Vuzuz archive creator\\runs.log");
  CheckTip("", L"No run log");
  // Each window's end asked the message loop to quit: a later test's modal
  // loop must not see that.
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

}  // namespace
}  // namespace vz::app
