#pragma once
// Helpers for tests that drive this program's own windows in-process: acting
// from inside a modal loop, pumping messages, and saving a picture of a
// window.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vz::test {

// Runs `action` from the thread's message loop `delayMs` from now, so that a
// test can act inside the modal loop it enters next. One action at a time.
void RunFromMessageLoop(std::function<void()> action, UINT delayMs = 50);

// Dispatches this thread's messages for `ms` milliseconds, or until `done`
// says so.
void PumpMessages(DWORD ms, const std::function<bool()>& done = {});

// The tooltip windows of this thread that `owner` owns.
std::vector<HWND> TooltipsOwnedBy(HWND owner);

// A left click on a control, as its own press and release.
void ClickControl(HWND control);

// Saves the window as a 24-bit BMP into the folder that VZ_SCREENSHOT_DIR
// names, under `fileName`; does nothing when the variable is not set.
// False when the picture could not be written.
bool SaveScreenshot(HWND window, const std::wstring& fileName);

}  // namespace vz::test
