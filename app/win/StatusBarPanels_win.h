#pragma once
// The main window's status bar: the step panel, the detail panel, and
// during a run a progress bar between them. While the bar shows, the step
// panel gives it the right end of its width; the detail panel keeps its
// place (the run log's tooltip is over it) and moves from part 1 to part 2.
#include <windows.h>

#include <string>

#include "app/window/RunProgressBar.h"

namespace vz::app {

class TStatusBarPanels {
public:
  // `stepWidth` and `progressWidth` in the screen's pixels. Creates the
  // progress control, hidden, inside the bar.
  void Attach(HWND statusBar, int stepWidth, int progressWidth);
  void ShowTexts(const std::wstring& step, const std::wstring& detail);
  void ShowProgress(const ProgressShown& shown);
  HWND ProgressControl() const { return progress_; }

private:
  void Layout();

  HWND bar_ = nullptr;
  HWND progress_ = nullptr;
  int stepWidth_ = 0;
  int progressWidth_ = 0;
  bool progressShown_ = false;
  std::wstring step_;
  std::wstring detail_;
};

}  // namespace vz::app
