#include "win/WindowDriver_win.h"

#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

namespace vz::test {

namespace {

std::function<void()> scheduled;

void CALLBACK RunScheduled(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  std::function<void()> action = std::move(scheduled);
  scheduled = nullptr;
  if (action) action();
}

}  // namespace

void RunFromMessageLoop(std::function<void()> action, UINT delayMs) {
  scheduled = std::move(action);
  SetTimer(nullptr, 0, delayMs, RunScheduled);
}

void PumpMessages(DWORD ms, const std::function<bool()>& done) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    if (done && done()) return;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  }
}

std::vector<HWND> TooltipsOwnedBy(HWND owner) {
  struct Search {
    HWND owner;
    std::vector<HWND> found;
  } search{owner, {}};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        if (GetWindow(hwnd, GW_OWNER) == s->owner && std::wstring(name) == TOOLTIPS_CLASSW) s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void ClickControl(HWND control) {
  SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

bool SaveScreenshot(HWND window, const std::wstring& fileName) {
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"VZ_SCREENSHOT_DIR", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return true;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  // The screen shows what was painted a moment later.
  GdiFlush();
  PumpMessages(150);
  RECT r{};
  GetWindowRect(window, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;

  // Grabbed from the screen, where the window shows with its frame.
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up rows, as BMP files keep them
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * static_cast<size_t>(height));
  const int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                             reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (rows != height) return false;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  const std::wstring path = std::wstring(folder) + L"\\" + fileName;
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info, sizeof info, 1, out) == 1 &&
                       std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace vz::test
