// "Import range": two date fields (each with its drop-down calendar, in the
// user's short date format) and OK and Cancel, laid out in design pixels on
// two panels with a lowered bevel.
#include "app/win/ImportRangeDialog_win.h"

#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/win/DesignScale_win.h"
#include "vuzuz/Dates.h"

namespace vz::app {

namespace {

constexpr wchar_t kCaption[] = L"Import range";
constexpr int kClientWidth = 257;
constexpr int kClientHeight = 142;
constexpr int kLowerPanelHeight = 41;

// Upper panel, from its top-left corner (the client area's).
constexpr DesignBox kFromLabelBox{16, 28, 90, 13};
constexpr DesignBox kFromBox{112, 24, 129, 21};
constexpr DesignBox kToLabelBox{86, 60, 22, 13};
constexpr DesignBox kToBox{112, 56, 129, 21};
// Lower panel, from its top-left corner.
constexpr DesignBox kOkBox{72, 8, 75, 25};
constexpr DesignBox kCancelBox{160, 8, 75, 25};

// What the dialog shows and gives back: two days.
struct RangeDialogData {
  double from = 0;
  double to = 0;
  HFONT font = nullptr;
  int dpi = 96;
};

RangeDialogData* DataOf(HWND dialog) {
  return reinterpret_cast<RangeDialogData*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

HWND CreateControl(HWND dialog, const RangeDialogData& data, const wchar_t* className, const wchar_t* text,
                   DWORD style, const DesignBox& box, int panelTop, int id) {
  const RECT r = ScaleBox(box, data.dpi, panelTop);
  HWND control = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(data.font), FALSE);
  return control;
}

// The day of a value into a date field; a day the field cannot show leaves
// the field at its own start (today).
void ShowDay(HWND field, double value) {
  const DateTimeParts parts = DecodeDateTime(static_cast<double>(DayNumber(value)));
  if (parts.year == 0) return;
  SYSTEMTIME day{};
  day.wYear = static_cast<WORD>(parts.year);
  day.wMonth = static_cast<WORD>(parts.month);
  day.wDay = static_cast<WORD>(parts.day);
  DateTime_SetSystemtime(field, GDT_VALID, &day);
}

// The day a date field shows, at midnight; false when it shows none.
bool ReadDay(HWND field, double& value) {
  SYSTEMTIME day{};
  if (DateTime_GetSystemtime(field, &day) != GDT_VALID) return false;
  return TryEncodeDate(day.wYear, day.wMonth, day.wDay, value);
}

// The client area at its design size, centred on the owner's screen.
void PlaceDialog(HWND dialog, const RangeDialogData& data) {
  RECT frame{0, 0, ScaleToDpi(kClientWidth, data.dpi), ScaleToDpi(kClientHeight, data.dpi)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  HWND owner = GetWindow(dialog, GW_OWNER);
  if (GetMonitorInfoW(MonitorFromWindow(owner != nullptr ? owner : dialog, MONITOR_DEFAULTTOPRIMARY), &monitor))
    screen = monitor.rcWork;
  const int x = screen.left + (screen.right - screen.left - width) / 2;
  const int y = screen.top + (screen.bottom - screen.top - height) / 2;
  SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Controls in tab order: EdtFrom, EdtTo, BtnOk, BtnCancel.
void InitDialog(HWND dialog, RangeDialogData& data) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&data));
  data.dpi = WindowDpi(dialog);
  data.font = CreateDesignFont(data.dpi);
  PlaceDialog(dialog, data);
  const int lowerTop = kClientHeight - kLowerPanelHeight;
  CreateControl(dialog, data, L"STATIC", L"Date range, from:", SS_LEFT | SS_NOPREFIX, kFromLabelBox, 0, -1);
  HWND from = CreateControl(dialog, data, DATETIMEPICK_CLASSW, L"", WS_TABSTOP | WS_GROUP | DTS_SHORTDATEFORMAT,
                            kFromBox, 0, kImportRangeFrom);
  CreateControl(dialog, data, L"STATIC", L"to:", SS_LEFT | SS_NOPREFIX, kToLabelBox, 0, -1);
  HWND to = CreateControl(dialog, data, DATETIMEPICK_CLASSW, L"", WS_TABSTOP | DTS_SHORTDATEFORMAT, kToBox, 0,
                          kImportRangeTo);
  CreateControl(dialog, data, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, kOkBox, lowerTop, IDOK);
  CreateControl(dialog, data, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, kCancelBox, lowerTop, IDCANCEL);
  if (from != nullptr) ShowDay(from, data.from);
  if (to != nullptr) ShowDay(to, data.to);
  SendMessageW(dialog, DM_SETDEFID, IDOK, 0);
  if (from != nullptr) SetFocus(from);
}

// The two panels' lowered bevels.
void PaintPanels(HWND dialog, HDC dc, const RangeDialogData& data) {
  RECT client{};
  GetClientRect(dialog, &client);
  RECT upper = client;
  upper.bottom = client.bottom - ScaleToDpi(kLowerPanelHeight, data.dpi);
  RECT lower = client;
  lower.top = upper.bottom;
  DrawEdge(dc, &upper, BDR_SUNKENOUTER, BF_RECT);
  DrawEdge(dc, &lower, BDR_SUNKENOUTER, BF_RECT);
}

void Close(HWND dialog, bool ok) {
  RangeDialogData* data = DataOf(dialog);
  if (ok && data != nullptr) {
    double from = data->from;
    double to = data->to;
    // The fields always show a day; should one not, its day stays as given.
    if (!ReadDay(GetDlgItem(dialog, kImportRangeFrom), from)) from = static_cast<double>(DayNumber(data->from));
    if (!ReadDay(GetDlgItem(dialog, kImportRangeTo), to)) to = static_cast<double>(DayNumber(data->to));
    data->from = from;
    data->to = to;
  }
  EndDialog(dialog, ok ? IDOK : IDCANCEL);
}

INT_PTR CALLBACK RangeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitDialog(dialog, *reinterpret_cast<RangeDialogData*>(lParam));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        Close(dialog, LOWORD(wParam) == IDOK);
        return TRUE;
      }
      return FALSE;
    case WM_PAINT: {
      RangeDialogData* data = DataOf(dialog);
      if (data == nullptr) return FALSE;
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(dialog, &paint);
      PaintPanels(dialog, dc, *data);
      EndPaint(dialog, &paint);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// An empty dialog template: the caption and the frame. The controls are made
// in pixels when the dialog starts, so the template holds none.
std::vector<WORD> DialogTemplate() {
  std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
  DLGTEMPLATE head{};
  head.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  head.dwExtendedStyle = WS_EX_DLGMODALFRAME;
  head.cdit = 0;
  static_assert(sizeof(DLGTEMPLATE) % sizeof(WORD) == 0);
  std::memcpy(words.data(), &head, sizeof head);
  words.push_back(0);  // no menu
  words.push_back(0);  // the standard dialog class
  for (const wchar_t* c = kCaption; *c != L'\0'; ++c) words.push_back(static_cast<WORD>(*c));
  words.push_back(0);
  return words;
}

}  // namespace

bool ShowImportRangeDialog(HWND owner, double& from, double& to) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  RangeDialogData data;
  data.from = from;
  data.to = to;
  // DLGTEMPLATE must sit on a DWORD boundary: a vector's storage does.
  const std::vector<WORD> dialogTemplate = DialogTemplate();
  const INT_PTR result =
      DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
                              owner, RangeDialogProc, reinterpret_cast<LPARAM>(&data));
  if (data.font != nullptr) DeleteObject(data.font);
  if (result != IDOK) return false;
  from = data.from;
  to = data.to;
  return true;
}

}  // namespace vz::app
