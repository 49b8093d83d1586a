// The main window as it first shows and during a run: the date fields'
// tooltip follows the pointer, the run's progress bar sits between the
// status panels, and the system menu opens the About box.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/run/ProgramVersion.h"
#include "app/win/MainWindow_win.h"
#include "app/win/TarvoLayout.h"
#include "app/window/AboutText.h"
#include "vuzuz/Dates.h"
#include "win/WindowDriver_win.h"

namespace vz::app {
namespace {

using namespace tarvo;
using test::PumpMessages;

constexpr char kRunLog[] = "C:\\Users\\ann\\AppData\\Local\\Vuzuz archive creator\\runs.log";

// A window that stores nothing, opened on 28 December 2026 at 22:58:58: the
// widest text a date-time field shows in an English locale.
class MainWindowTest : public testing::Test {
protected:
  void SetUp() override {
    double day = 0;
    ASSERT_TRUE(TryEncodeDate(2026, 12, 28, day));
    const double moment = day + (22 * 3600 + 58 * 60 + 58) / 86400.0;
    MainWindowServices services = ProductionServices();
    services.readStored = [](platform::StoredValues&) { return false; };
    services.writeStored = [](const platform::StoredValues&) { return true; };
    services.defaultMsDir = [] { return std::string(); };
    services.defaultRunLog = [] { return std::string(kRunLog); };
    services.now = [moment] { return moment; };
    window_ = std::make_unique<TTarvoWnd>(GetModuleHandleW(nullptr), std::vector<std::string>{}, services);
    ASSERT_TRUE(window_->Create());
  }
  void TearDown() override {
    window_.reset();
    // Each window's end asked the message loop to quit: a later test's
    // modal loop must not see that.
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }

  HWND Main() const { return window_->Handle(); }
  HWND Item(int id) const { return GetDlgItem(Main(), id); }

  // The pointer moved to a screen point, and the window given time to
  // answer it (longer than a tooltip's delay).
  void PointAt(POINT where) const {
    SetCursorPos(where.x, where.y);
    PumpMessages(1200);
  }
  POINT CentreOf(HWND control) const {
    RECT r{};
    GetWindowRect(control, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }

  std::unique_ptr<TTarvoWnd> window_;
};

// The tooltip windows the main window owns that show now.
std::vector<HWND> VisibleTips(HWND owner) {
  std::vector<HWND> shown;
  for (HWND tip : test::TooltipsOwnedBy(owner))
    if (IsWindowVisible(tip)) shown.push_back(tip);
  return shown;
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

// Whether the field's text, in the font it is drawn in, is wider than the
// room between its margins.
bool TextCut(HWND edit) {
  const std::wstring text = TextOf(edit);
  RECT client{};
  GetClientRect(edit, &client);
  const LRESULT margins = SendMessageW(edit, EM_GETMARGINS, 0, 0);
  HDC dc = GetDC(edit);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(edit, dc);
  return size.cx > client.right - LOWORD(margins) - HIWORD(margins);
}

std::wstring PanelText(HWND bar, int panel) {
  wchar_t text[256] = {};
  if (LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, panel, 0)) >= 256) return L"(too long)";
  SendMessageW(bar, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text));
  return text;
}

RECT PanelRect(HWND bar, int panel) {
  RECT r{};
  SendMessageW(bar, SB_GETRECT, panel, reinterpret_cast<LPARAM>(&r));
  return r;
}

TEST_F(MainWindowTest, DateTipShowsOnlyWhileThePointerRestsOnACutField) {
  // The window opens with the pointer away from it: no tip, however long
  // it stands.
  SetCursorPos(0, 0);
  window_->Show(SW_SHOWNORMAL);
  PumpMessages(1500);
  EXPECT_TRUE(VisibleTips(Main()).empty()) << "a tooltip shows with the pointer off the window";

  // On the check box below the From field, where the tip used to cover.
  PointAt(CentreOf(Item(kIdSelected)));
  EXPECT_TRUE(VisibleTips(Main()).empty()) << "a tooltip shows with the pointer on another control";

  // On the From field as it opened, then narrowed until its text is cut.
  HWND from = Item(kIdFrom);
  auto pointAtFrom = [&](const char* when) {
    PointAt(CentreOf(from));
    PumpMessages(1500, [&] { return !VisibleTips(Main()).empty(); });
    const std::vector<HWND> shown = VisibleTips(Main());
    if (TextCut(from)) {
      ASSERT_EQ(shown.size(), 1u) << when << ": the cut field shows its tip";
      EXPECT_EQ(TextOf(shown[0]), TextOf(from)) << when;
    } else {
      EXPECT_TRUE(shown.empty()) << when << ": a field that shows its whole text has no tip";
    }
    // Away again: the tip goes.
    PointAt({0, 0});
    EXPECT_TRUE(VisibleTips(Main()).empty()) << when;
  };
  pointAtFrom("as opened");

  RECT box{};
  GetWindowRect(from, &box);
  SetWindowPos(from, nullptr, 0, 0, (box.right - box.left) / 2, box.bottom - box.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  WindowSettings settings;
  settings.run.from = settings.run.to = 46384.957627;  // 28 December 2026, 22:58:58 and a bit
  window_->ShowSettings(settings);
  ASSERT_TRUE(TextCut(from)) << "half the field holds no date and time";
  pointAtFrom("narrowed");
}

TEST_F(MainWindowTest, ProgressBarShowsBetweenThePanelsDuringARun) {
  window_->Show(SW_SHOWNORMAL);
  // As the taskbar says once the window's button is there; where the
  // system has no taskbar list the window shows the progress alone.
  SendMessageW(Main(), RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
  HWND bar = Item(kIdStatusBar);
  HWND progress = FindWindowExW(bar, nullptr, PROGRESS_CLASSW, nullptr);
  ASSERT_NE(progress, nullptr);
  const RECT idleDetail = PanelRect(bar, 1);
  EXPECT_FALSE(IsWindowVisible(progress)) << "no bar before a run";
  EXPECT_EQ(SendMessageW(bar, SB_GETPARTS, 0, 0), 2);

  window_->ShowProgress(RunCounter::SecuritiesRead, 1, 4);
  window_->ShowStatus("Reading ABC...", "100/400");
  EXPECT_TRUE(IsWindowVisible(progress));
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), kProgressRange / 4);
  ASSERT_EQ(SendMessageW(bar, SB_GETPARTS, 0, 0), 3);
  // The bar in the middle panel; step and detail stay readable around it,
  // the detail where it always is.
  RECT placed{};
  GetWindowRect(progress, &placed);
  MapWindowPoints(nullptr, bar, reinterpret_cast<POINT*>(&placed), 2);
  const RECT middle = PanelRect(bar, 1);
  EXPECT_TRUE(placed.left >= middle.left && placed.right <= middle.right && placed.right > placed.left);
  EXPECT_EQ(PanelText(bar, 0), L"Reading ABC...");
  EXPECT_EQ(PanelText(bar, 2), L"100/400");
  EXPECT_EQ(PanelRect(bar, 2).left, idleDetail.left);
  EXPECT_EQ(PanelRect(bar, 2).right, idleDetail.right);

  window_->ShowProgress(RunCounter::DaysWritten, 30, 30);
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), kProgressRange);

  // Each way a run ends takes the bar away and puts the detail back.
  for (const RunEnd end : {RunEnd::Normal, RunEnd::Stopped, RunEnd::Failed}) {
    window_->ShowProgress(RunCounter::DaysWritten, 3, 30);
    window_->ShowStatus("Exporting intraday data...", "12/28/2026");
    RunResult result;
    result.end = end;
    window_->RunEnded(result);
    EXPECT_FALSE(IsWindowVisible(progress)) << static_cast<int>(end);
    EXPECT_EQ(SendMessageW(bar, SB_GETPARTS, 0, 0), 2);
    EXPECT_EQ(PanelText(bar, 1), L"12/28/2026");
  }
}

TEST_F(MainWindowTest, SystemMenuOpensTheAboutBox) {
  window_->Show(SW_SHOWNORMAL);
  wchar_t item[128] = {};
  GetMenuStringW(GetSystemMenu(Main(), FALSE), kSysCommandAbout, item, 128, MF_BYCOMMAND);
  EXPECT_STREQ(item, L"About Vuzuz archive creator...");

  std::wstring shown = L"(no box)";
  int looks = 0;
  std::function<void()> answer = [&] {
    HWND box = FindWindowW(L"#32770", L"About Vuzuz archive creator");
    if (!box || !IsWindowVisible(box)) {
      if (++looks < 100) test::RunFromMessageLoop(answer);
      return;
    }
    EnumChildWindows(
        box,
        [](HWND child, LPARAM data) -> BOOL {
          wchar_t name[32] = {};
          GetClassNameW(child, name, 32);
          auto& text = *reinterpret_cast<std::wstring*>(data);
          if (_wcsicmp(name, L"Static") != 0) return TRUE;
          if (text == L"(no box)") text.clear();
          text += TextOf(child);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&shown));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  };
  test::RunFromMessageLoop(answer);
  SendMessageW(Main(), WM_SYSCOMMAND, kSysCommandAbout, 0);
  // A box that never came leaves no look pending for later tests.
  PumpMessages(6000, [&] { return looks >= 100 || shown != L"(no box)"; });
  const std::string expected = AboutText(kProgramVersion, kRunLog);
  std::wstring wide(expected.begin(), expected.end());
  ASSERT_NE(shown, L"(no box)");
  // A message box may show its text with CR LF line ends.
  for (size_t at = 0; (at = shown.find(L"\r\n", at)) != std::wstring::npos;) shown.erase(at, 1);
  EXPECT_EQ(shown, wide);
}

}  // namespace
}  // namespace vz::app
