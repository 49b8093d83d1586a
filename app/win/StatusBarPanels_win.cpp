#include "app/win/StatusBarPanels_win.h"

#include <commctrl.h>

namespace vz::app {

namespace {

// The progress control sits this far inside its panel's borders.
constexpr int kProgressInset = 2;

}  // namespace

void TStatusBarPanels::Attach(HWND statusBar, int stepWidth, int progressWidth) {
  bar_ = statusBar;
  stepWidth_ = stepWidth;
  progressWidth_ = progressWidth;
  progress_ = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD, 0, 0, 0, 0, bar_, nullptr,
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(bar_, GWLP_HINSTANCE)), nullptr);
  if (progress_) SendMessageW(progress_, PBM_SETRANGE32, 0, kProgressRange);
  Layout();
}

void TStatusBarPanels::ShowTexts(const std::wstring& step, const std::wstring& detail) {
  step_ = step;
  detail_ = detail;
  SendMessageW(bar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(step_.c_str()));
  SendMessageW(bar_, SB_SETTEXTW, progressShown_ ? 2 : 1, reinterpret_cast<LPARAM>(detail_.c_str()));
}

void TStatusBarPanels::ShowProgress(const ProgressShown& shown) {
  // Without its control the bar is left out and the panels stay as they are.
  if (!progress_) return;
  SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(shown.position), 0);
  if (shown.visible == progressShown_) return;
  progressShown_ = shown.visible;
  Layout();
}

void TStatusBarPanels::Layout() {
  if (progressShown_) {
    int parts[3] = {stepWidth_ - progressWidth_, stepWidth_, -1};
    SendMessageW(bar_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
    SendMessageW(bar_, SB_SETTEXTW, 1 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(L""));
    RECT panel{};
    SendMessageW(bar_, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&panel));
    InflateRect(&panel, -kProgressInset, -kProgressInset);
    SetWindowPos(progress_, nullptr, panel.left, panel.top, panel.right - panel.left, panel.bottom - panel.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  } else {
    if (progress_) ShowWindow(progress_, SW_HIDE);
    // The detail panel starts where it always did but runs to the bar's
    // end, so that a date in it is never cut.
    int parts[2] = {stepWidth_, -1};
    SendMessageW(bar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  }
  ShowTexts(step_, detail_);
}

}  // namespace vz::app
