#pragma once
// Shows a date-time field's whole text in the field's fixed rectangle. The
// text follows the user's formats, and in an English locale
// "3/31/2002 12:00:00 AM" is wider than the field in the window's font: the
// field gets narrow margins, and a text still too wide is drawn in a
// smaller font of the same face, down to a floor. A text that still does
// not fit shows whole in a tooltip while the pointer rests on the field.
#include <windows.h>

#include <string>
#include <vector>

namespace vz::app {

class TDateFieldFit {
public:
  TDateFieldFit() = default;
  ~TDateFieldFit();
  TDateFieldFit(const TDateFieldFit&) = delete;
  TDateFieldFit& operator=(const TDateFieldFit&) = delete;

  // Once per field, after the field has its font.
  void Attach(HWND owner, HWND edit, HFONT font);
  // After the field's text was set.
  void Fit(HWND edit);

private:
  HFONT SmallerFont(HFONT font, int step);
  // Makes the field a tool of the tooltip with `text`, or no tool when
  // `text` is empty.
  void ShowWholeTextTip(HWND edit, const std::wstring& text);

  HWND tips_ = nullptr;
  HFONT baseFont_ = nullptr;
  std::vector<HFONT> smaller_;  // one point less each, made when first needed
};

}  // namespace vz::app
