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

struct TipSearch {
  HWND owner;
  HWND tip;
};

// The tooltip window the main window owns.
HWND FindTip(HWND owner) {
  TipSearch search{owner, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<TipSearch*>(data);
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        if (GetWindow(hwnd, GW_OWNER) != s->owner || std::wstring(name) != TOOLTIPS_CLASSW) return TRUE;
        s->tip = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.tip;
}

TEST(RunLogTipTest, DetailPanelTooltipNamesTheRunLog) {
  struct Case {
    std::string log;
    std::wstring shown;
  };
  const Case cases[] = {
      {"C:\\Users\\ann\\AppData\\Local\\Vuzuz archive creator\\runs.log",
       L"Run log: C:\\Users\\ann\\AppData\\Local\\Vuzuz archive creator\\runs.log"},
      {"", L"No run log"},
  };
  for (const Case& c : cases) {
    MainWindowServices services = ProductionServices();
    services.readStored = [](platform::StoredValues&) { return false; };
    services.writeStored = [](const platform::StoredValues&) { return true; };
    services.defaultMsDir = [] { return std::string(); };
    services.defaultRunLog = [log = c.log] { return log; };
    TTarvoWnd window(GetModuleHandleW(nullptr), {}, services);
    ASSERT_TRUE(window.Create());
    HWND bar = GetDlgItem(window.Handle(), tarvo::kIdStatusBar);
    HWND tip = FindTip(window.Handle());
    ASSERT_NE(tip, nullptr);
    wchar_t text[512] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = bar;
    tool.uId = 1;
    tool.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::wstring(text).rfind(c.shown, 0), 0u) << c.log;
    // The tool is the detail panel, nothing else of the status bar.
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
}

}  // namespace
}  // namespace vz::app
