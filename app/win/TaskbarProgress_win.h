#pragma once
// The run's progress on the window's taskbar button (ITaskbarList3), where
// the system has it. The taskbar says when the button exists with the
// registered "TaskbarButtonCreated" message, again after Explorer
// restarted; before that, or where the interface cannot be had, the
// progress is shown in the window alone.
#include <windows.h>

#include <shobjidl.h>

#include "app/window/RunProgressBar.h"

namespace vz::app {

class TTaskbarProgress {
public:
  TTaskbarProgress() = default;
  ~TTaskbarProgress();
  TTaskbarProgress(const TTaskbarProgress&) = delete;
  TTaskbarProgress& operator=(const TTaskbarProgress&) = delete;

  // The message the taskbar sends once the window's button exists.
  static UINT ButtonCreatedMessage();
  // On that message: takes the taskbar's interface and shows what was
  // last shown.
  void ButtonCreated(HWND window);
  void Show(const ProgressShown& shown);
  bool Connected() const { return list_ != nullptr; }

private:
  void Apply();
  void Release();

  HWND window_ = nullptr;
  ITaskbarList3* list_ = nullptr;
  ProgressShown shown_;
};

}  // namespace vz::app
