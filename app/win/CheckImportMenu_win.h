#pragma once
// The window's system menu item "Check Smart import...": the check of
// --check-import over the window's settings, on a thread of its own (the
// wizards take seconds), its steps then listed in one message box.
#include <windows.h>

#include <functional>
#include <string>

#include "app/window/MainWindowModel.h"

namespace vz::app {

// The item's command; system menu commands keep the low four bits clear.
inline constexpr UINT kSysCommandCheckImport = 0x0A20;

// Appends the item to `window`'s system menu.
void AddCheckImportMenuItem(HWND window);

// Starts the check for `model`'s settings, unless a run or another check is
// working (said through the model). `post` carries the report to the
// window's thread, where it is shown through the model.
void StartImportCheck(TMainWindowModel& model, const MainWindowServices& services,
                      const std::function<void(std::function<void()>)>& post);

}  // namespace vz::app
