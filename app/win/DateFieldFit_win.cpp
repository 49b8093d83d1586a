#include "app/win/DateFieldFit_win.h"

#include <commctrl.h>

namespace vz::app {

namespace {

constexpr int kMarginPixels = 1;
// At most this many sizes below the window's font: the text stays legible.
constexpr int kSmallerSteps = 3;

std::wstring TextOf(HWND edit) {
  const int length = GetWindowTextLengthW(edit);
  std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  const int n = GetWindowTextW(edit, text.data(), static_cast<int>(text.size()));
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}

// Whether `text` drawn in `font` fits in the field's client area between
// its margins (and leaves a pixel for the caret).
bool FitsIn(HWND edit, HFONT font, const std::wstring& text) {
  RECT client{};
  GetClientRect(edit, &client);
  HDC dc = GetDC(edit);
  if (!dc) return true;
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(edit, dc);
  return size.cx <= client.right - client.left - 2 * kMarginPixels - 1;
}

}  // namespace

TDateFieldFit::~TDateFieldFit() {
  if (tips_) DestroyWindow(tips_);
  for (HFONT font : smaller_)
    if (font) DeleteObject(font);
}

void TDateFieldFit::Attach(HWND owner, HWND edit, HFONT font) {
  baseFont_ = font;
  SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(kMarginPixels, kMarginPixels));
  if (!tips_) {
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                            reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)), nullptr);
  }
}

HFONT TDateFieldFit::SmallerFont(HFONT font, int step) {
  if (smaller_.size() < static_cast<size_t>(kSmallerSteps)) smaller_.resize(kSmallerSteps, nullptr);
  HFONT& made = smaller_[static_cast<size_t>(step - 1)];
  if (!made) {
    LOGFONTW logFont{};
    if (!GetObjectW(font, sizeof logFont, &logFont)) return nullptr;
    // One pixel of height less per step; a TrueType face also narrows.
    logFont.lfHeight += logFont.lfHeight < 0 ? step : -step;
    logFont.lfWidth = 0;
    made = CreateFontIndirectW(&logFont);
  }
  return made;
}

void TDateFieldFit::Fit(HWND edit) {
  if (!baseFont_) return;
  const std::wstring text = TextOf(edit);
  HFONT chosen = baseFont_;
  for (int step = 1; step <= kSmallerSteps && !FitsIn(edit, chosen, text); ++step) {
    if (HFONT smaller = SmallerFont(baseFont_, step)) chosen = smaller;
  }
  if (reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)) != chosen) {
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), TRUE);
    SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(kMarginPixels, kMarginPixels));
  }
  ShowWholeTextTip(edit, FitsIn(edit, chosen, text) ? std::wstring() : text);
}

void TDateFieldFit::ShowWholeTextTip(HWND edit, const std::wstring& text) {
  if (!tips_) return;
  // The field is the tool only while its text is cut: a tip that repeated
  // the field would cover the controls below it for nothing. The tool is
  // the field's window (TTF_IDISHWND), so the tip follows the pointer
  // resting on the field itself and nowhere else.
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(edit);
  tool.uId = reinterpret_cast<UINT_PTR>(edit);
  const bool isTool = SendMessageW(tips_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  if (text.empty()) {
    if (isTool) SendMessageW(tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  } else {
    SendMessageW(tips_, isTool ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

}  // namespace vz::app
