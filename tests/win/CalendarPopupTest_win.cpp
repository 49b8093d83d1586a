#include <gtest/gtest.h>

#include <string>

#include "app/win/CalendarPopup_win.h"
#include "vuzuz/Dates.h"
#include "win/WindowDriver_win.h"

namespace vz::app {
namespace {

using test::ClickControl;
using test::PumpMessages;
using test::RunFromMessageLoop;

double At(int year, int month, int day, int hour, int minute, int second) {
  double value = 0;
  EXPECT_TRUE(TryEncodeDateTime(DateTimeParts{year, month, day, hour, minute, second, 0}, value));
  return value;
}

std::wstring MonthName(int month) {
  wchar_t name[80] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, static_cast<LCTYPE>(LOCALE_SMONTHNAME1 + month - 1), name, 80);
  return name;
}

std::wstring TextOf(HWND window) {
  wchar_t text[200] = {};
  GetWindowTextW(window, text, 200);
  return text;
}

HWND FindPopup() { return FindWindowW(kCalendarPopupClass, nullptr); }

// A borderless window holding one edit field where a date-time field sits in
// the main window (129 by 21 pixels), placed at `top` on the screen.
class CalendarPopupTest : public testing::Test {
protected:
  void Place(int top) {
    host_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 200, top, 300, 40, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(host_, nullptr);
    field_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 104, 10, 129, 21, host_, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(field_, nullptr);
    SetForegroundWindow(host_);
    PumpMessages(20);
  }
  void TearDown() override {
    if (watchdog_ != 0) KillTimer(nullptr, watchdog_);
    if (host_ != nullptr) DestroyWindow(host_);
    PumpMessages(20);
  }
  // Whatever a failed check leaves open is closed, so no test hangs.
  void CloseAnyPopupAfterwards() {
    watchdog_ = SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR, DWORD) {
      if (HWND popup = FindPopup()) PostMessageW(popup, WM_COMMAND, IDCANCEL, 0);
    });
  }
  RECT FieldRect() const {
    RECT r{};
    GetWindowRect(field_, &r);
    return r;
  }
  static RECT WorkArea() {
    RECT r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
  }

  HWND host_ = nullptr;
  HWND field_ = nullptr;
  UINT_PTR watchdog_ = 0;
};

TEST_F(CalendarPopupTest, OpensUnderItsFieldStepsAcrossTheYearAndOkSetsTheValue) {
  Place(200);
  CloseAnyPopupAfterwards();
  struct Seen {
    RECT popup{};
    std::wstring titles[4];
  } seen;
  RunFromMessageLoop([&] {
    HWND popup = FindPopup();
    if (popup == nullptr) return;
    GetWindowRect(popup, &seen.popup);
    test::SaveScreenshot(popup, L"calendar.bmp");
    seen.titles[0] = TextOf(popup);
    ClickControl(GetDlgItem(popup, kCalendarNextMonth));
    seen.titles[1] = TextOf(popup);
    ClickControl(GetDlgItem(popup, kCalendarPrevYear));
    seen.titles[2] = TextOf(popup);
    ClickControl(GetDlgItem(popup, kCalendarPrevMonth));
    seen.titles[3] = TextOf(popup);
    SetDlgItemTextW(popup, kCalendarHour, L"7");
    SendMessageW(GetDlgItem(popup, IDOK), BM_CLICK, 0, 0);
  });
  double value = At(2000, 12, 15, 10, 20, 30);
  EXPECT_TRUE(ShowCalendarPopup(field_, value));

  const RECT field = FieldRect();
  EXPECT_EQ(seen.popup.right, field.right - 2);
  EXPECT_EQ(seen.popup.left, field.right - 2 - 184);
  EXPECT_EQ(seen.popup.top, field.bottom - 2);
  EXPECT_EQ(seen.popup.bottom, field.bottom - 2 + 160);
  EXPECT_EQ(seen.titles[0], MonthName(12) + L", 2000");
  EXPECT_EQ(seen.titles[1], MonthName(1) + L", 2001");
  EXPECT_EQ(seen.titles[2], MonthName(1) + L", 2000");
  EXPECT_EQ(seen.titles[3], MonthName(12) + L", 1999");
  EXPECT_EQ(value, At(1999, 12, 15, 7, 20, 30));
  EXPECT_EQ(FindPopup(), nullptr);
  EXPECT_EQ(GetFocus(), field_);
}

TEST_F(CalendarPopupTest, OpensAboveItsFieldNearTheScreensBottom) {
  Place(WorkArea().bottom - 40);
  CloseAnyPopupAfterwards();
  RECT popupRect{};
  RunFromMessageLoop([&] {
    HWND popup = FindPopup();
    if (popup == nullptr) return;
    GetWindowRect(popup, &popupRect);
    PostMessageW(popup, WM_COMMAND, IDCANCEL, 0);
  });
  double value = At(2001, 2, 3, 4, 5, 6);
  EXPECT_FALSE(ShowCalendarPopup(field_, value));
  const RECT field = FieldRect();
  EXPECT_EQ(popupRect.bottom, field.top - 2);
  EXPECT_EQ(popupRect.right, field.right - 2);
}

TEST_F(CalendarPopupTest, HeldStepButtonRepeats) {
  Place(200);
  CloseAnyPopupAfterwards();
  std::wstring title;
  RunFromMessageLoop([&] {
    HWND popup = FindPopup();
    if (popup == nullptr) return;
    HWND next = GetDlgItem(popup, kCalendarNextMonth);
    RECT r{};
    GetWindowRect(next, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(next, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    // A press steps once; holding it steps on until released.
    PumpMessages(5000, [&] { return TextOf(popup) == MonthName(4) + L", 2001"; });
    SendMessageW(next, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    title = TextOf(popup);
    PostMessageW(popup, WM_COMMAND, IDCANCEL, 0);
  });
  double value = At(2000, 12, 15, 0, 0, 0);
  EXPECT_FALSE(ShowCalendarPopup(field_, value));
  EXPECT_EQ(title, MonthName(4) + L", 2001");
  EXPECT_EQ(value, At(2000, 12, 15, 0, 0, 0));
}

TEST_F(CalendarPopupTest, EscapeCancelAndAClickOutsideLeaveTheValue) {
  Place(200);
  CloseAnyPopupAfterwards();
  const struct {
    const char* name;
    void (*close)(HWND popup, HWND host);
  } ways[] = {
      {"Escape", [](HWND, HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); }},
      {"Cancel", [](HWND popup, HWND) { SendMessageW(GetDlgItem(popup, IDCANCEL), BM_CLICK, 0, 0); }},
      {"click outside", [](HWND, HWND host) { PostMessageW(host, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    bool opened = false;
    RunFromMessageLoop([&] {
      HWND popup = FindPopup();
      if (popup == nullptr) return;
      opened = true;
      ClickControl(GetDlgItem(popup, kCalendarNextYear));
      way.close(popup, host_);
    });
    const double start = At(2001, 2, 3, 4, 5, 6);
    double value = start;
    EXPECT_FALSE(ShowCalendarPopup(field_, value));
    EXPECT_TRUE(opened);
    EXPECT_EQ(value, start);
    EXPECT_EQ(FindPopup(), nullptr);
    EXPECT_EQ(GetFocus(), field_);
    PumpMessages(300);  // past the re-open guard
  }
}

// The press that closes the pop-up reaches the field's button, which asks to
// open it again at once: that press opens nothing; a later one does.
TEST_F(CalendarPopupTest, APressRightAfterClosingOpensNothing) {
  Place(200);
  CloseAnyPopupAfterwards();
  RunFromMessageLoop([] {
    if (HWND popup = FindPopup()) PostMessageW(popup, WM_COMMAND, IDCANCEL, 0);
  });
  double value = At(2001, 2, 3, 4, 5, 6);
  EXPECT_FALSE(ShowCalendarPopup(field_, value));

  bool reopened = false;
  RunFromMessageLoop([&] {
    if (HWND popup = FindPopup()) {
      reopened = true;
      PostMessageW(popup, WM_COMMAND, IDCANCEL, 0);
    }
  });
  // Had it opened, the action would have run inside its loop by now.
  EXPECT_FALSE(ShowCalendarPopup(field_, value));
  EXPECT_FALSE(reopened);

  PumpMessages(300);
  bool opened = false;
  RunFromMessageLoop([&] {
    if (HWND popup = FindPopup()) {
      opened = true;
      SendMessageW(GetDlgItem(popup, IDOK), BM_CLICK, 0, 0);
    }
  });
  EXPECT_TRUE(ShowCalendarPopup(field_, value));
  EXPECT_TRUE(opened);
  EXPECT_EQ(value, At(2001, 2, 3, 4, 5, 6));
}

}  // namespace
}  // namespace vz::app
