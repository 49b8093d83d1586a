#include "app/win/DesignScale_win.h"

namespace vz::app {

int WindowDpi(HWND window) {
  // GetDpiForWindow exists from Windows 10 1607 on; look it up so that the
  // program still starts on older systems.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

int ScaleToDpi(int designPixels, int dpi) { return MulDiv(designPixels, dpi, 96); }

RECT ScaleBox(const DesignBox& box, int dpi, int top) {
  const int left = ScaleToDpi(box.x, dpi);
  const int y = ScaleToDpi(top + box.y, dpi);
  return {left, y, left + ScaleToDpi(box.w, dpi), y + ScaleToDpi(box.h, dpi)};
}

HFONT CreateDesignFont(int dpi, bool bold) {
  return CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
}

}  // namespace vz::app
