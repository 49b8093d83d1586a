#pragma once
// Windows are laid out in design pixels at 96 pixels per inch and scaled for
// the monitor they show on; their text is "MS Sans Serif" 8 point.
#include <windows.h>

#include <string>
#include <string_view>

namespace vz::app {

// Pixels per inch of the window's monitor (the system's when the process is
// not aware of monitors' own settings).
int WindowDpi(HWND window);
// Design pixels at 96 pixels per inch as pixels at `dpi`.
int ScaleToDpi(int designPixels, int dpi);

// A control's place in design pixels: left, top, width, height.
struct DesignBox {
  int x, y, w, h;
};
// The box at `dpi`, moved down by `top` design pixels (a panel's top).
RECT ScaleBox(const DesignBox& box, int dpi, int top = 0);

// "MS Sans Serif" 8 point at `dpi`; the caller deletes it.
HFONT CreateDesignFont(int dpi, bool bold = false);

}  // namespace vz::app
