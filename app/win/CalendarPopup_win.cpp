// The calendar pop-up: a borderless window with the month title between two
// pairs of auto-repeating step buttons, the day grid, spinners for the time
// of day, and OK and Cancel. It runs its own message loop until it closes,
// so the field's "..." button simply waits for the answer.
#include "app/win/CalendarPopup_win.h"

#include <commctrl.h>

#include <array>
#include <string>
#include <utility>

#include "app/win/DesignScale_win.h"
#include "app/win/WinText_win.h"
#include "app/window/CalendarModel.h"

namespace vz::app {

namespace {

constexpr wchar_t kStepButtonClass[] = L"VzCalendarStep";
constexpr wchar_t kDayGridClass[] = L"VzCalendarDays";

// Auto-repeat of a held step button: first after a pause, then steadily, as
// a scroll bar arrow does.
constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kRepeatDelayMs = 400;
constexpr UINT kRepeatRateMs = 100;

// Layout in design pixels (96 per inch) inside the 184 by 160 pop-up.
constexpr DesignBox kPrevYearBox{4, 4, 16, 16};
constexpr DesignBox kPrevMonthBox{20, 4, 16, 16};
constexpr DesignBox kNextMonthBox{148, 4, 16, 16};
constexpr DesignBox kNextYearBox{164, 4, 16, 16};
constexpr DesignBox kTitleBox{36, 4, 112, 16};
constexpr DesignBox kDaysBox{4, 22, 176, 98};  // a row of weekday names and six weeks, 14 high each
constexpr DesignBox kHourBox{4, 122, 44, 18};  // the up-down control takes the box's right part
constexpr DesignBox kColon1Box{48, 124, 6, 14};
constexpr DesignBox kMinuteBox{54, 122, 44, 18};
constexpr DesignBox kColon2Box{98, 124, 6, 14};
constexpr DesignBox kSecondBox{104, 122, 44, 18};
constexpr DesignBox kOkBox{84, 142, 46, 16};
constexpr DesignBox kCancelBox{132, 142, 48, 16};
constexpr int kSpinnerOffset = 50;  // id of an up-down control: its edit's id + this

struct PopupState {
  explicit PopupState(double value) : model(value) {}
  TCalendarModel model;
  HWND field = nullptr;
  HWND popup = nullptr;
  HWND days = nullptr;
  int dpi = 96;
  HFONT font = nullptr;
  HFONT boldFont = nullptr;
  MonthNames monthNames;
  std::array<std::wstring, 7> dayNames;  // Monday first
  bool done = false;
  bool ok = false;
};

// The pop-up is modal on its thread, so the last close is one record: the
// field and the tick count when its pop-up closed.
struct LastClose {
  HWND field = nullptr;
  DWORD at = 0;
};
thread_local LastClose lastClose;

PopupState* StateOf(HWND popup) { return reinterpret_cast<PopupState*>(GetWindowLongPtrW(popup, GWLP_USERDATA)); }

HWND CreateChild(const PopupState& state, DWORD exStyle, const wchar_t* className, const wchar_t* text,
                 DWORD style, const DesignBox& box, int id) {
  const RECT r = ScaleBox(box, state.dpi);
  HWND child = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, state.popup,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (child != nullptr) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
  return child;
}

std::wstring LocaleText(LCTYPE type) {
  wchar_t buffer[80] = {};
  const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, static_cast<int>(std::size(buffer)));
  return n > 1 ? std::wstring(buffer, static_cast<size_t>(n - 1)) : std::wstring();
}

void LoadNames(PopupState& state) {
  state.monthNames = EnglishMonthNames();
  for (int i = 0; i < 12; ++i) {
    const std::wstring name = LocaleText(static_cast<LCTYPE>(LOCALE_SMONTHNAME1 + i));
    if (!name.empty()) state.monthNames[static_cast<size_t>(i)] = Utf8(name);
  }
  static constexpr std::array<const wchar_t*, 7> kEnglishDays = {L"Mo", L"Tu", L"We", L"Th", L"Fr", L"Sa", L"Su"};
  for (int i = 0; i < 7; ++i) {
    // Day 1 of these locale entries is Monday, as the grid's first column.
    std::wstring name = LocaleText(static_cast<LCTYPE>(LOCALE_SSHORTESTDAYNAME1 + i));
    if (name.empty()) name = LocaleText(static_cast<LCTYPE>(LOCALE_SABBREVDAYNAME1 + i));
    state.dayNames[static_cast<size_t>(i)] = name.empty() ? kEnglishDays[static_cast<size_t>(i)] : name;
  }
}

// The title and the grid follow the model; the title is also the pop-up's
// window text, for screen readers and tests.
void Refresh(PopupState& state) {
  SetWindowTextW(state.popup, Utf16(state.model.Title(state.monthNames)).c_str());
  RECT title = ScaleBox(kTitleBox, state.dpi);
  InvalidateRect(state.popup, &title, TRUE);
  InvalidateRect(state.days, nullptr, TRUE);
}

void Finish(PopupState& state, bool ok) {
  if (state.done) return;
  if (ok) {
    const std::array<std::pair<int, void (TCalendarModel::*)(int)>, 3> spinners = {
        {{kCalendarHour, &TCalendarModel::SetHour},
         {kCalendarMinute, &TCalendarModel::SetMinute},
         {kCalendarSecond, &TCalendarModel::SetSecond}}};
    for (const auto& [id, set] : spinners) {
      BOOL read = FALSE;
      const UINT number = GetDlgItemInt(state.popup, id, &read, FALSE);
      // A number too long to read keeps the time the pop-up opened with.
      if (read) (state.model.*set)(static_cast<int>(number > 99 ? 99 : number));
    }
  }
  state.done = true;
  state.ok = ok;
}

// ---------------------------------------------------------------------------
// Step buttons: a press steps at once and again while held.

void NotifyStep(HWND button) {
  SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

bool Pressed(HWND button) { return GetWindowLongPtrW(button, GWLP_USERDATA) != 0; }

void SetPressed(HWND button, bool pressed) {
  if (Pressed(button) == pressed) return;
  SetWindowLongPtrW(button, GWLP_USERDATA, pressed ? 1 : 0);
  if (!pressed) KillTimer(button, kRepeatTimer);
  InvalidateRect(button, nullptr, TRUE);
}

bool CursorOver(HWND button) {
  POINT cursor{};
  RECT r{};
  return GetCursorPos(&cursor) && GetWindowRect(button, &r) && PtInRect(&r, cursor);
}

// One or two triangles pointing the way the button steps: one for a month,
// two for a year.
void PaintStepButton(HWND button, HDC dc) {
  RECT r{};
  GetClientRect(button, &r);
  const bool pressed = Pressed(button);
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  const int id = GetDlgCtrlID(button);
  const bool back = id == kCalendarPrevYear || id == kCalendarPrevMonth;
  const int count = id == kCalendarPrevYear || id == kCalendarNextYear ? 2 : 1;
  const int half = (r.bottom - r.top) / 4;  // half the height of a triangle
  const int width = half + 1;
  const int shift = pressed ? 1 : 0;
  int x = (r.left + r.right - count * width) / 2 + shift;
  const int y = (r.top + r.bottom) / 2 + shift;
  HBRUSH brush = GetSysColorBrush(COLOR_BTNTEXT);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  for (int i = 0; i < count; ++i, x += width) {
    const POINT tip = {back ? x : x + width, y};
    const POINT baseTop = {back ? x + width : x, y - half - 1};
    const POINT baseBottom = {back ? x + width : x, y + half + 1};
    const POINT triangle[] = {tip, baseTop, baseBottom};
    Polygon(dc, triangle, 3);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
}

LRESULT CALLBACK StepButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(button);
      SetPressed(button, true);
      SetTimer(button, kRepeatTimer, kRepeatDelayMs, nullptr);
      NotifyStep(button);
      return 0;
    case WM_TIMER:
      if (wParam == kRepeatTimer && Pressed(button)) {
        SetTimer(button, kRepeatTimer, kRepeatRateMs, nullptr);
        if (CursorOver(button)) NotifyStep(button);
      }
      return 0;
    case WM_LBUTTONUP:
      SetPressed(button, false);
      if (GetCapture() == button) ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      SetPressed(button, false);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(button, &paint);
      PaintStepButton(button, dc);
      EndPaint(button, &paint);
      return 0;
    }
    default:
      return DefWindowProcW(button, message, wParam, lParam);
  }
}

// ---------------------------------------------------------------------------
// Day grid: a row of weekday names, then six weeks from Monday.

struct GridGeometry {
  int cellWidth;
  int cellHeight;
};

GridGeometry GeometryOf(HWND days) {
  RECT r{};
  GetClientRect(days, &r);
  return {(r.right - r.left) / 7, (r.bottom - r.top) / (kCalendarWeeks + 1)};
}

RECT CellRect(const GridGeometry& g, int index) {
  const int left = (index % 7) * g.cellWidth;
  const int top = (index / 7 + 1) * g.cellHeight;
  return {left, top, left + g.cellWidth, top + g.cellHeight};
}

bool IsChosen(const TCalendarModel& model, const CalendarCell& cell) {
  return cell.year == model.Year() && cell.month == model.Month() && cell.day == model.Day();
}

void PaintDays(HWND days, HDC dc, PopupState& state) {
  RECT client{};
  GetClientRect(days, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, state.font);
  const GridGeometry g = GeometryOf(days);

  SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  for (int column = 0; column < 7; ++column) {
    RECT r{column * g.cellWidth, 0, (column + 1) * g.cellWidth, g.cellHeight};
    DrawTextW(dc, state.dayNames[static_cast<size_t>(column)].c_str(), -1, &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  RECT rule{0, g.cellHeight - 1, 7 * g.cellWidth, g.cellHeight};
  FillRect(dc, &rule, GetSysColorBrush(COLOR_BTNSHADOW));

  SYSTEMTIME today{};
  GetLocalTime(&today);
  const CalendarGrid grid = state.model.Grid();
  for (int i = 0; i < kCalendarCells; ++i) {
    const CalendarCell& cell = grid[static_cast<size_t>(i)];
    if (cell.day == 0) continue;
    RECT r = CellRect(g, i);
    const bool chosen = IsChosen(state.model, cell);
    if (chosen) {
      FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
      if (GetFocus() == days) DrawFocusRect(dc, &r);
    }
    if (cell.year == today.wYear && cell.month == today.wMonth && cell.day == today.wDay) {
      FrameRect(dc, &r, GetSysColorBrush(chosen ? COLOR_HIGHLIGHTTEXT : COLOR_HIGHLIGHT));
    }
    SetTextColor(dc, GetSysColor(chosen ? COLOR_HIGHLIGHTTEXT : cell.inMonth ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    const std::wstring number = std::to_wstring(cell.day);
    DrawTextW(dc, number.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
}

bool ChooseCellAt(HWND days, PopupState& state, LPARAM lParam) {
  const GridGeometry g = GeometryOf(days);
  if (g.cellWidth <= 0 || g.cellHeight <= 0) return false;
  const int x = static_cast<short>(LOWORD(lParam));
  const int y = static_cast<short>(HIWORD(lParam));
  if (x < 0 || y < g.cellHeight) return false;
  const int column = x / g.cellWidth;
  const int row = y / g.cellHeight - 1;
  if (column >= 7 || row >= kCalendarWeeks) return false;
  const CalendarCell cell = state.model.Grid()[static_cast<size_t>(row * 7 + column)];
  return cell.day != 0 && state.model.SelectDay(cell.year, cell.month, cell.day);
}

// Arrow keys move the day, Page Up and Page Down the month, with Ctrl the
// year. False for any other key.
bool StepByKey(PopupState& state, WPARAM key) {
  const bool control = GetKeyState(VK_CONTROL) < 0;
  switch (key) {
    case VK_LEFT: state.model.MoveDays(-1); return true;
    case VK_RIGHT: state.model.MoveDays(1); return true;
    case VK_UP: state.model.MoveDays(-7); return true;
    case VK_DOWN: state.model.MoveDays(7); return true;
    case VK_PRIOR: control ? state.model.PrevYear() : state.model.PrevMonth(); return true;
    case VK_NEXT: control ? state.model.NextYear() : state.model.NextMonth(); return true;
    default: return false;
  }
}

LRESULT CALLBACK DayGridProc(HWND days, UINT message, WPARAM wParam, LPARAM lParam) {
  PopupState* state = StateOf(GetParent(days));
  if (state == nullptr) return DefWindowProcW(days, message, wParam, lParam);
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
      SetFocus(days);
      if (ChooseCellAt(days, *state, lParam)) Refresh(*state);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (ChooseCellAt(days, *state, lParam)) Finish(*state, true);
      return 0;
    case WM_KEYDOWN:
      if (StepByKey(*state, wParam)) {
        Refresh(*state);
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(days, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // all painted in WM_PAINT
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(days, &paint);
      PaintDays(days, dc, *state);
      EndPaint(days, &paint);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(days, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// The pop-up window.

void CreateSpinner(const PopupState& state, const DesignBox& box, int id, int maximum, int value) {
  HWND edit = CreateChild(state, WS_EX_CLIENTEDGE, L"EDIT", L"", WS_TABSTOP | ES_NUMBER | ES_RIGHT, box, id);
  if (edit == nullptr) return;
  SendMessageW(edit, EM_LIMITTEXT, 2, 0);
  HWND spin = CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                              WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS |
                                  UDS_NOTHOUSANDS,
                              0, 0, 0, 0, state.popup, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id + kSpinnerOffset)),
                              GetModuleHandleW(nullptr), nullptr);
  if (spin == nullptr) return;
  SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
  SendMessageW(spin, UDM_SETRANGE32, 0, maximum);
  SendMessageW(spin, UDM_SETPOS32, 0, value);
}

// Children in tab order: the day grid, hour, minute, second, OK, Cancel.
void CreateControls(PopupState& state) {
  CreateChild(state, 0, kStepButtonClass, L"", 0, kPrevYearBox, kCalendarPrevYear);
  CreateChild(state, 0, kStepButtonClass, L"", 0, kPrevMonthBox, kCalendarPrevMonth);
  CreateChild(state, 0, kStepButtonClass, L"", 0, kNextMonthBox, kCalendarNextMonth);
  CreateChild(state, 0, kStepButtonClass, L"", 0, kNextYearBox, kCalendarNextYear);
  state.days = CreateChild(state, WS_EX_STATICEDGE, kDayGridClass, L"", WS_TABSTOP, kDaysBox, kCalendarDays);
  CreateSpinner(state, kHourBox, kCalendarHour, 23, state.model.Hour());
  CreateChild(state, 0, L"STATIC", L":", SS_CENTER, kColon1Box, -1);
  CreateSpinner(state, kMinuteBox, kCalendarMinute, 59, state.model.Minute());
  CreateChild(state, 0, L"STATIC", L":", SS_CENTER, kColon2Box, -1);
  CreateSpinner(state, kSecondBox, kCalendarSecond, 59, state.model.Second());
  CreateChild(state, 0, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, kOkBox, IDOK);
  CreateChild(state, 0, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, kCancelBox, IDCANCEL);
}

void PaintPopup(HWND popup, HDC dc, const PopupState& state) {
  RECT r{};
  GetClientRect(popup, &r);
  DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
  RECT title = ScaleBox(kTitleBox, state.dpi);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  HGDIOBJ oldFont = SelectObject(dc, state.boldFont);
  const std::wstring text = Utf16(state.model.Title(state.monthNames));
  DrawTextW(dc, text.c_str(), -1, &title, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, oldFont);
}

LRESULT CALLBACK PopupProc(HWND popup, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* state = static_cast<PopupState*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    state->popup = popup;
    SetWindowLongPtrW(popup, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  }
  PopupState* state = StateOf(popup);
  if (state == nullptr) return DefWindowProcW(popup, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      CreateControls(*state);
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kCalendarPrevYear: state->model.PrevYear(); Refresh(*state); return 0;
        case kCalendarPrevMonth: state->model.PrevMonth(); Refresh(*state); return 0;
        case kCalendarNextMonth: state->model.NextMonth(); Refresh(*state); return 0;
        case kCalendarNextYear: state->model.NextYear(); Refresh(*state); return 0;
        case IDOK: Finish(*state, true); return 0;
        case IDCANCEL: Finish(*state, false); return 0;
        default: break;
      }
      break;
    case WM_ACTIVATE:
      // Another window took over (a click outside, Alt+Tab): close unchanged.
      if (LOWORD(wParam) == WA_INACTIVE) Finish(*state, false);
      break;
    case WM_CANCELMODE:
      Finish(*state, false);
      break;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(popup, &paint);
      PaintPopup(popup, dc, *state);
      EndPaint(popup, &paint);
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(popup, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(popup, message, wParam, lParam);
}

bool RegisterClasses() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW popup{};
    popup.cbSize = sizeof popup;
    popup.style = CS_DROPSHADOW | CS_SAVEBITS;
    popup.lpfnWndProc = PopupProc;
    popup.hInstance = instance;
    popup.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    popup.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    popup.lpszClassName = kCalendarPopupClass;
    WNDCLASSEXW step = popup;
    step.style = CS_DBLCLKS;
    step.lpfnWndProc = StepButtonProc;
    step.lpszClassName = kStepButtonClass;
    WNDCLASSEXW days = popup;
    days.style = CS_DBLCLKS;
    days.lpfnWndProc = DayGridProc;
    days.hbrBackground = nullptr;
    days.lpszClassName = kDayGridClass;
    return RegisterClassExW(&popup) != 0 && RegisterClassExW(&step) != 0 && RegisterClassExW(&days) != 0;
  }();
  return registered;
}

// A press of a mouse button on any window but the pop-up and its children.
bool IsClickOutside(const PopupState& state, const MSG& msg) {
  switch (msg.message) {
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN: case WM_NCRBUTTONDOWN: case WM_NCMBUTTONDOWN:
      return msg.hwnd != state.popup && !IsChild(state.popup, msg.hwnd);
    default:
      return false;
  }
}

ScreenRect ToScreenRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

bool ShowCalendarPopup(HWND field, double& value) {
  if (!IsWindow(field) || !RegisterClasses()) return false;
  if (lastClose.field == field && CalendarReopenTooSoon(lastClose.at, GetTickCount())) return false;

  PopupState state(value);
  state.field = field;
  state.dpi = WindowDpi(field);
  LoadNames(state);
  state.font = CreateDesignFont(state.dpi);
  state.boldFont = CreateDesignFont(state.dpi, true);

  RECT fieldRect{};
  GetWindowRect(field, &fieldRect);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (GetMonitorInfoW(MonitorFromWindow(field, MONITOR_DEFAULTTONEAREST), &monitor)) screen = monitor.rcWork;
  const int width = ScaleToDpi(kCalendarWidth, state.dpi);
  const int height = ScaleToDpi(kCalendarHeight, state.dpi);
  const ScreenPoint at = CalendarPopupPosition(ToScreenRect(fieldRect), ToScreenRect(screen), width, height,
                                               ScaleToDpi(kCalendarNudge, state.dpi));

  HWND popup = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT, kCalendarPopupClass,
                               Utf16(state.model.Title(state.monthNames)).c_str(), WS_POPUP | WS_CLIPCHILDREN,
                               at.x, at.y, width, height, GetAncestor(field, GA_ROOT), nullptr,
                               GetModuleHandleW(nullptr), &state);
  if (popup == nullptr) {
    DeleteObject(state.font);
    DeleteObject(state.boldFont);
    return false;
  }
  ShowWindow(popup, SW_SHOW);
  SetForegroundWindow(popup);
  SetFocus(state.days);

  // The pop-up's own loop. A click that closed it goes on to its target once
  // the pop-up is gone and the focus back at the field; a quit request is
  // passed on to the loop outside.
  MSG pending{};
  bool hasPending = false;
  bool quit = false;
  while (!state.done) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      pending = msg;
      break;
    }
    if (got == -1) break;
    if (state.done || IsClickOutside(state, msg)) {
      pending = msg;
      hasPending = true;
      break;
    }
    if (!IsWindow(field)) break;
    if (!IsDialogMessageW(popup, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  const bool ok = state.done && state.ok;
  state.done = true;  // deactivation while being destroyed changes nothing
  if (ok) value = state.model.Value();
  DestroyWindow(popup);
  DeleteObject(state.font);
  DeleteObject(state.boldFont);
  lastClose = {field, GetTickCount()};
  if (IsWindow(field)) SetFocus(field);
  if (hasPending) {
    TranslateMessage(&pending);
    DispatchMessageW(&pending);
  }
  if (quit) PostQuitMessage(static_cast<int>(pending.wParam));
  return ok;
}

}  // namespace vz::app
