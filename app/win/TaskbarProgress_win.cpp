#include "app/win/TaskbarProgress_win.h"

namespace vz::app {

TTaskbarProgress::~TTaskbarProgress() { Release(); }

UINT TTaskbarProgress::ButtonCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

void TTaskbarProgress::ButtonCreated(HWND window) {
  Release();
  window_ = window;
  void* list = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, &list)) || !list)
    return;
  list_ = static_cast<ITaskbarList3*>(list);
  if (FAILED(list_->HrInit())) {
    Release();
    return;
  }
  Apply();
}

void TTaskbarProgress::Show(const ProgressShown& shown) {
  shown_ = shown;
  Apply();
}

void TTaskbarProgress::Apply() {
  if (!list_) return;
  // A failed call leaves the button as it was: the window shows the
  // progress all the same.
  if (!shown_.visible) {
    list_->SetProgressState(window_, TBPF_NOPROGRESS);
    return;
  }
  list_->SetProgressState(window_, TBPF_NORMAL);
  list_->SetProgressValue(window_, static_cast<ULONGLONG>(shown_.position), kProgressRange);
}

void TTaskbarProgress::Release() {
  if (list_) list_->Release();
  list_ = nullptr;
}

}  // namespace vz::app
