#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>

#include "app/win/ImportRangeDialog_win.h"
#include "vuzuz/Dates.h"
#include "win/WindowDriver_win.h"

namespace vz::app {
namespace {

using test::PumpMessages;
using test::RunFromMessageLoop;

double Day(int year, int month, int day) {
  double value = 0;
  EXPECT_TRUE(TryEncodeDate(year, month, day, value));
  return value;
}

HWND FindDialog() { return FindWindowW(L"#32770", L"Import range"); }

// Runs `action` on the dialog once it shows, from inside its modal loop.
void WhenDialogShows(std::function<void(HWND dialog)> action) {
  RunFromMessageLoop([action] {
    HWND dialog = FindDialog();
    if (dialog != nullptr && !IsWindowVisible(dialog)) return WhenDialogShows(action);
    action(dialog);
  });
}

SYSTEMTIME Shown(HWND dialog, int id) {
  SYSTEMTIME day{};
  DateTime_GetSystemtime(GetDlgItem(dialog, id), &day);
  return day;
}

void Choose(HWND dialog, int id, WORD year, WORD month, WORD day) {
  SYSTEMTIME chosen{};
  chosen.wYear = year;
  chosen.wMonth = month;
  chosen.wDay = day;
  DateTime_SetSystemtime(GetDlgItem(dialog, id), GDT_VALID, &chosen);
}

// Where a control sits in the dialog's client area.
RECT ClientBox(HWND dialog, int id) {
  RECT r{};
  GetWindowRect(GetDlgItem(dialog, id), &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

class ImportRangeDialogTest : public testing::Test {
protected:
  void SetUp() override {
    owner_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 100, 200, 50, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner_, nullptr);
    // Whatever a failed check leaves open is closed, so no test hangs.
    watchdog_ = SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR, DWORD) {
      if (HWND dialog = FindDialog()) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
  }
  void TearDown() override {
    KillTimer(nullptr, watchdog_);
    DestroyWindow(owner_);
    PumpMessages(20);
  }
  HWND owner_ = nullptr;
  UINT_PTR watchdog_ = 0;
};

TEST_F(ImportRangeDialogTest, ShowsTheDaysOfTheRangeLaidOutAndOkGivesTheChosenDays) {
  struct Seen {
    SYSTEMTIME from{}, to{};
    RECT client{}, edtFrom{}, edtTo{}, ok{}, cancel{};
    HWND owner = nullptr;
    bool enabledOwner = true;
    bool visible = false;
    int tabOrder[4] = {};
  } seen;
  WhenDialogShows([&](HWND dialog) {
    if (dialog == nullptr) return;
    seen.visible = IsWindowVisible(dialog) != FALSE;
    seen.from = Shown(dialog, kImportRangeFrom);
    seen.to = Shown(dialog, kImportRangeTo);
    GetClientRect(dialog, &seen.client);
    seen.edtFrom = ClientBox(dialog, kImportRangeFrom);
    seen.edtTo = ClientBox(dialog, kImportRangeTo);
    seen.ok = ClientBox(dialog, IDOK);
    seen.cancel = ClientBox(dialog, IDCANCEL);
    seen.owner = GetWindow(dialog, GW_OWNER);
    HWND control = GetDlgItem(dialog, kImportRangeFrom);
    for (int& id : seen.tabOrder) {
      id = GetDlgCtrlID(control);
      control = GetNextDlgTabItem(dialog, control, FALSE);
    }
    seen.enabledOwner = IsWindowEnabled(owner_) != FALSE;
    test::SaveScreenshot(dialog, L"range-dialog.bmp");
    // An end before the start is taken as it stands.
    Choose(dialog, kImportRangeFrom, 2001, 3, 10);
    Choose(dialog, kImportRangeTo, 2001, 3, 1);
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  // Times of day are dropped when the dialog opens.
  double from = Day(2000, 12, 31) + 0.75;
  double to = Day(2001, 1, 2) + 23.0 / 24;
  EXPECT_TRUE(ShowImportRangeDialog(owner_, from, to));

  EXPECT_EQ(seen.from.wYear, 2000);
  EXPECT_EQ(seen.from.wMonth, 12);
  EXPECT_EQ(seen.from.wDay, 31);
  EXPECT_EQ(seen.to.wYear, 2001);
  EXPECT_EQ(seen.to.wMonth, 1);
  EXPECT_EQ(seen.to.wDay, 2);
  EXPECT_EQ(from, Day(2001, 3, 10));
  EXPECT_EQ(to, Day(2001, 3, 1));
  EXPECT_TRUE(seen.visible);
  EXPECT_EQ(seen.tabOrder[0], kImportRangeFrom);
  EXPECT_EQ(seen.tabOrder[1], kImportRangeTo);
  EXPECT_EQ(seen.tabOrder[2], IDOK);
  EXPECT_EQ(seen.tabOrder[3], IDCANCEL);
  EXPECT_EQ(seen.owner, owner_);
  EXPECT_FALSE(seen.enabledOwner);  // modal

  // The layout at 96 pixels per inch (the test program is not DPI aware).
  const struct {
    const char* name;
    RECT got, want;
  } boxes[] = {
      {"client area", seen.client, {0, 0, 257, 142}},
      {"EdtFrom", seen.edtFrom, {112, 24, 112 + 129, 24 + 21}},
      {"EdtTo", seen.edtTo, {112, 56, 112 + 129, 56 + 21}},
      {"BtnOk", seen.ok, {72, 101 + 8, 72 + 75, 101 + 8 + 25}},
      {"BtnCancel", seen.cancel, {160, 101 + 8, 160 + 75, 101 + 8 + 25}},
  };
  for (const auto& box : boxes) {
    SCOPED_TRACE(box.name);
    EXPECT_EQ(box.got.left, box.want.left);
    EXPECT_EQ(box.got.top, box.want.top);
    EXPECT_EQ(box.got.right, box.want.right);
    EXPECT_EQ(box.got.bottom, box.want.bottom);
  }
}

TEST_F(ImportRangeDialogTest, AnythingButOkCancelsAndLeavesTheRange) {
  const struct {
    const char* name;
    void (*close)(HWND dialog);
  } ways[] = {
      {"Cancel", [](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }},
      {"Escape", [](HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); }},
      {"closing", [](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    bool shown = false;
    WhenDialogShows([&](HWND dialog) {
      if (dialog == nullptr) return;
      shown = true;
      Choose(dialog, kImportRangeFrom, 1999, 1, 1);
      way.close(dialog);
    });
    double from = Day(2001, 2, 3) + 0.5;
    double to = Day(2001, 2, 4) + 0.5;
    EXPECT_FALSE(ShowImportRangeDialog(owner_, from, to));
    EXPECT_TRUE(shown);
    EXPECT_EQ(from, Day(2001, 2, 3) + 0.5);
    EXPECT_EQ(to, Day(2001, 2, 4) + 0.5);
    EXPECT_EQ(FindDialog(), nullptr);
  }
}

TEST_F(ImportRangeDialogTest, EnterChoosesOk) {
  WhenDialogShows([](HWND dialog) {
    if (dialog != nullptr) {
      Choose(dialog, kImportRangeTo, 2002, 6, 30);
      PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    }
  });
  double from = Day(2002, 6, 1);
  double to = Day(2002, 6, 2);
  EXPECT_TRUE(ShowImportRangeDialog(owner_, from, to));
  EXPECT_EQ(from, Day(2002, 6, 1));
  EXPECT_EQ(to, Day(2002, 6, 30));
}

}  // namespace
}  // namespace vz::app
