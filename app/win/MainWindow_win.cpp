#include "app/win/MainWindow_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cmath>
#include <future>

#include "app/win/CalendarPopup_win.h"
#include "app/win/CheckImportMenu_win.h"
#include "app/win/ImportRangeDialog_win.h"
#include "app/win/TarvoLayout.h"
#include "app/win/WinText_win.h"
#include "app/run/ProgramVersion.h"
#include "app/window/AboutText.h"
#include "app/window/ExitStatus.h"
#include "platform/FileSystem.h"

namespace vz::app {

namespace {

using namespace tarvo;

// Posted to the window itself.
constexpr UINT kWmTasks = WM_APP + 1;            // the task queue turned non-empty
constexpr UINT kWmFirstActivation = WM_APP + 2;  // handled outside WM_ACTIVATE
constexpr UINT kWmBadDate = WM_APP + 3;          // wParam: field id; lParam: tell the user
constexpr UINT kWmFinishClose = WM_APP + 4;      // the run has stopped: the window goes
// Drains the task queue as well, so a task whose wake-up post failed waits
// at most this long; also watches a run that a close waits for.
constexpr UINT_PTR kDrainTimer = 1;
constexpr UINT kDrainIntervalMs = 1000;

constexpr wchar_t kMessageCaption[] = L"Vuzuz archive creator";

std::wstring LocaleText(LCTYPE type) {
  wchar_t buffer[128] = {};
  const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 128);
  return n > 1 ? std::wstring(buffer, static_cast<size_t>(n - 1)) : std::wstring();
}

// Queues a task for the window's thread and wakes it; false when the
// window has gone and the task was dropped.
bool PushTask(const std::shared_ptr<TWindowTaskQueue>& queue, HWND window, std::function<void()> task) {
  const auto pushed = queue->Push(std::move(task));
  if (pushed == TWindowTaskQueue::PushResult::Wake && !PostMessageW(window, kWmTasks, 0, 0)) queue->WakeFailed();
  return pushed != TWindowTaskQueue::PushResult::Dropped;
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

TTarvoWnd::TTarvoWnd(HINSTANCE instance, std::vector<std::string> args, MainWindowServices services)
    : instance_(instance), args_(std::move(args)), services_(std::move(services)) {
  from_.value = to_.value = std::nan("");
}

TTarvoWnd::~TTarvoWnd() {
  queue_->Close();
  if (hwnd_) DestroyWindow(hwnd_);
  if (font_) DeleteObject(font_);
}

bool TTarvoWnd::Create() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  // The program's icon (resource 1): the big one for Alt+Tab and the
  // taskbar, the small one, drawn at its own size, for the caption.
  wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(1));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  HDC screen = GetDC(nullptr);
  dpi_ = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kDesignDpi;
  if (screen) ReleaseDC(nullptr, screen);
  if (dpi_ <= 0) dpi_ = kDesignDpi;

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, Scale(kClientWidth), Scale(kClientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + (work.right - work.left - width) / 2;
  const int y = work.top + (work.bottom - work.top - height) / 2;
  hwnd_ = CreateWindowExW(exStyle, kWindowClass, kCaption, style, x, y, width, height, nullptr, nullptr, instance_,
                          this);
  if (!hwnd_) return false;
  model_ = std::make_unique<TMainWindowModel>(*this, services_);
  // The fields start at the moment of creation, which the model holds.
  ShowSettings(model_->Settings());
  return true;
}

void TTarvoWnd::Show(int showCommand) {
  model_->RestoreSettings();
  ShowWindow(hwnd_, showCommand == SW_SHOWMINNOACTIVE || showCommand == SW_HIDE ? SW_SHOWNORMAL : showCommand);
  UpdateWindow(hwnd_);
}

int TTarvoWnd::Finish() {
  // Closed again while a run would not stop: the settings are saved, and
  // the run is ended with the process rather than left to reach freed state.
  if (abandoned_) TerminateProcess(GetCurrentProcess(), kExitTerminated);
  const auto thread = model_ ? model_->Trd1().LastThread() : nullptr;
  const std::optional<int> unstarted = model_ ? model_->UnstartedExitStatus() : std::nullopt;
  model_.reset();
  if (thread) thread->WaitFor();
  if (lastResult_) return ExitStatusOf(*lastResult_);
  return unstarted.value_or(kExitComplete);
}

int TTarvoWnd::Scale(int designPixels) const { return MulDiv(designPixels, dpi_, kDesignDpi); }

// ---------------------------------------------------------------------------
// The window procedure: one line per message, exceptions stop here.

LRESULT CALLBACK TTarvoWnd::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TTarvoWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TTarvoWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  std::string fault;
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    fault = error.what();
  } catch (...) {
    fault = "Unexpected error.";
  }
  // Under /x the status bar shows it: no box waits for a person.
  try {
    if (self->model_) self->model_->Tell(fault);
    else MessageBoxW(hwnd, Utf16(fault).c_str(), kMessageCaption, MB_OK | MB_ICONERROR);
  } catch (...) {
  }
  return 0;
}

LRESULT TTarvoWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // A registered message: no case label.
  if (message != 0 && message == TTaskbarProgress::ButtonCreatedMessage()) {
    taskbar_.ButtonCreated(hwnd_);
    return 0;
  }
  switch (message) {
    case WM_CREATE: OnCreate(); return 0;
    case WM_PAINT: OnPaint(); return 0;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); return 0;
    case WM_ACTIVATE: OnActivate(wParam); break;
    case WM_CLOSE: OnClose(); return 0;
    case WM_TIMER: OnTimer(); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_SYSCOMMAND:
      if (OnSysCommand(wParam)) return 0;
      break;
    case DM_GETDEFID: return MAKELRESULT(kIdStart, DC_HASDEFID);
    case kWmTasks: DrainTasks(); return 0;
    case kWmFirstActivation: OnFirstActivation(); return 0;
    case kWmFinishClose: DestroyWindow(hwnd_); return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->hwndFrom == statusBar_ && header->code == static_cast<UINT>(NM_DBLCLK)) {
        OpenRunLog();
        return TRUE;
      }
      break;
    }
    case kWmBadDate: {
      HWND edit = Item(static_cast<int>(wParam));
      if (GetActiveWindow() == hwnd_) SetFocus(edit);
      if (lParam) model_->Tell(InvalidDateTimeMessage(GetWindowTextUtf8(edit)));
      return 0;
    }
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Creation and drawing.

void TTarvoWnd::OnCreate() {
  LOGFONTW logFont{};
  logFont.lfHeight = -MulDiv(kFontPoints, dpi_, 72);
  logFont.lfWeight = FW_NORMAL;
  logFont.lfCharSet = DEFAULT_CHARSET;
  logFont.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  wcscpy_s(logFont.lfFaceName, kFontFace);
  font_ = CreateFontIndirectW(&logFont);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

  for (int i = 0; i < static_cast<int>(std::size(kControls)); ++i) CreateControl(i);
  SendMessageW(Item(kIdFormat), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kControls[1].text));
  SendMessageW(Item(kIdFormat), CB_SETCURSEL, 0, 0);
  SendMessageW(Item(kIdDelete), BM_SETCHECK, BST_CHECKED, 0);
  SendMessageW(Item(kIdCreate), BM_SETCHECK, BST_CHECKED, 0);
  SendMessageW(Item(kIdImport), BM_SETCHECK, BST_CHECKED, 0);

  // Status bar: two panels, 300 and 50 wide, below the panel; during a run
  // a progress bar between them (a child of the bar).
  const int panelHeight = Scale(kClientHeight - kStatusBarHeight);
  statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | CCS_NORESIZE | CCS_NOPARENTALIGN, 0,
                               panelHeight, Scale(kClientWidth), Scale(kStatusBarHeight), hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdStatusBar)), instance_, nullptr);
  SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  statusPanels_.Attach(statusBar_, Scale(kStatusPanel0Width), Scale(kStatusProgressWidth));
  CreateRunLogTip();
  AddCheckImportMenuItem(hwnd_);
  AddAboutMenuItem();

  // The date-time fields keep the user's formats as they stand now.
  for (DateEdit* field : {&from_, &to_}) {
    field->edit = Item(field == &from_ ? kIdFrom : kIdTo);
    field->datePattern = LocaleText(LOCALE_SSHORTDATE);
    field->timePattern = LocaleText(LOCALE_STIMEFORMAT);
    field->format = DateTimeFormatFromPatterns(Utf8(field->datePattern), Utf8(field->timePattern),
                                               Utf8(LocaleText(LOCALE_S1159)), Utf8(LocaleText(LOCALE_S2359)));
    dateFit_.Attach(hwnd_, field->edit, font_);
    dateFit_.Fit(field->edit);
  }
  SetTimer(hwnd_, kDrainTimer, kDrainIntervalMs, nullptr);
}

HWND TTarvoWnd::CreateControl(int index) {
  const ControlLayout& c = kControls[index];
  const wchar_t* className = L"STATIC";
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  int width = Scale(c.width);
  int height = Scale(c.height);
  int buttonWidth = 0;
  switch (c.kind) {
    case Kind::Label:
      break;
    case Kind::Combo:
      className = WC_COMBOBOXW;
      style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
      height = Scale(c.height) * 6;  // room for the list when dropped
      break;
    case Kind::DirField:
    case Kind::DateField:
      className = WC_EDITW;
      style |= WS_TABSTOP | ES_AUTOHSCROLL;
      exStyle = WS_EX_CLIENTEDGE;
      buttonWidth = Scale(c.kind == Kind::DateField ? kDateButtonWidth : kBrowseButtonWidth);
      width -= buttonWidth;
      break;
    case Kind::Button:
      className = WC_BUTTONW;
      style |= WS_TABSTOP | (c.id == kIdStart ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      break;
    case Kind::CheckBox:
      className = WC_BUTTONW;
      style |= WS_TABSTOP | BS_AUTOCHECKBOX;
      break;
  }
  HWND control = CreateWindowExW(exStyle, className, c.kind == Kind::Combo ? L"" : c.text, style, Scale(c.left),
                                 Scale(c.top), width, height, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_, nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  if (buttonWidth > 0) {
    HWND button = CreateWindowExW(0, WC_BUTTONW, L"...", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                  Scale(c.left) + width, Scale(c.top), buttonWidth, height, hwnd_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(FieldButtonId(c.id))), instance_, nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  return control;
}

void TTarvoWnd::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  // The panel above the status bar, with a lowered bevel.
  RECT panel{0, 0, Scale(kClientWidth), Scale(kClientHeight - kStatusBarHeight)};
  DrawEdge(dc, &panel, BDR_SUNKENOUTER, BF_RECT);
  EndPaint(hwnd_, &paint);
}

// ---------------------------------------------------------------------------
// The user's actions.

void TTarvoWnd::OnCommand(int id, int code, HWND) {
  if (!model_) return;
  // A field's button reports as its field.
  for (const int field : {kIdMsDir, kIdOutput, kIdFrom, kIdTo}) {
    if (id == FieldButtonId(field)) id = field;
  }
  WindowSettings& settings = model_->MutableSettings();
  switch (id) {
    case kIdStart:
      if (code != BN_CLICKED) return;
      // Enter leaves a date-time field's typing unread: read it first.
      for (DateEdit* field : {&from_, &to_}) {
        if (GetFocus() == field->edit && !LeaveDateEdit(*field)) return;
      }
      model_->BtnStartClick();
      return;
    case kIdClose:
      if (code == BN_CLICKED) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
      return;
    case kIdFormat:
      if (code == CBN_SELCHANGE) settings.run.format = static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0));
      return;
    case kIdMsDir:
      if (code == EN_CHANGE && !updating_) settings.run.msDir = GetWindowTextUtf8(Item(id));
      if (code == BN_CLICKED) BrowseFolder(id);
      return;
    case kIdOutput:
      if (code == EN_CHANGE && !updating_) model_->SetOutputText(GetWindowTextUtf8(Item(id)));
      if (code == BN_CLICKED) BrowseFolder(id);
      return;
    case kIdFrom:
    case kIdTo: {
      DateEdit& field = *DateEditOf(id);
      if (code == EN_CHANGE && !updating_) field.typed = true;
      if (code == EN_KILLFOCUS && !updating_) LeaveDateEdit(field);
      if (code == BN_CLICKED) {
        // The "..." button reads the text into the value first (silently),
        // then opens the calendar on it; OK shows the chosen value.
        const DateFieldReading reading = ReadDateFieldText(GetWindowTextUtf8(field.edit), field.format);
        field.value = reading.value;
        StoreDateValue(field);
        double value = field.value;
        if (ShowCalendarPopup(field.edit, value)) {
          UpdateEdit(field, value);
          StoreDateValue(field);
        }
      }
      return;
    }
    case kIdSelected:
    case kIdDelete:
    case kIdCreate:
    case kIdImport: {
      if (code != BN_CLICKED || updating_) return;
      const bool checked = SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (id == kIdSelected) settings.run.selected = checked;
      if (id == kIdDelete) settings.run.deleteData = checked;
      if (id == kIdCreate) settings.run.create = checked;
      if (id == kIdImport) model_->SetImportChecked(checked);
      return;
    }
  }
}

void TTarvoWnd::OnActivate(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE || activated_) return;
  activated_ = true;
  // Posted, so that a message box of the first activation (validation of
  // /g) does not open inside the activation itself.
  PostMessageW(hwnd_, kWmFirstActivation, 0, 0);
}

void TTarvoWnd::OnFirstActivation() { model_->FormActivate(args_); }

void TTarvoWnd::OnClose() {
  if (closing_) {
    abandoned_ = true;
    DestroyWindow(hwnd_);
    return;
  }
  model_->FormCloseQuery();  // stops a run, waits 1000 ms, saves the settings
  DrainTasks();              // a run that ended meanwhile reports its end
  const auto thread = model_->Trd1().LastThread();
  if (thread && !thread->Finished()) {
    // The run has not reached a stop check yet: the window stays until it
    // does (a second close ends the program without waiting).
    closing_ = true;
    ShowControlsEnabled(false, false);
    EnableWindow(Item(kIdStart), FALSE);
    model_->SetStatus("Waiting for the run to stop...");
    return;
  }
  DestroyWindow(hwnd_);
}

void TTarvoWnd::OnTimer() {
  DrainTasks();
  if (!closing_) return;
  const auto thread = model_->Trd1().LastThread();
  if (!thread || thread->Finished()) PostMessageW(hwnd_, kWmFinishClose, 0, 0);
}

void TTarvoWnd::OnDestroy() {
  KillTimer(hwnd_, kDrainTimer);
  queue_->Close();
  PostQuitMessage(0);
}

void TTarvoWnd::DrainTasks() { queue_->Drain(); }

// ---------------------------------------------------------------------------
// The fields.

TTarvoWnd::DateEdit* TTarvoWnd::DateEditOf(int id) { return id == kIdFrom ? &from_ : &to_; }

void TTarvoWnd::UpdateEdit(DateEdit& field, double value) {
  const DateTimeParts parts = DecodeDateTime(value);
  if (parts.year == 0) return;  // no calendar date: the field keeps its value
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(parts.year);
  time.wMonth = static_cast<WORD>(parts.month);
  time.wDayOfWeek = static_cast<WORD>(DayOfWeek(value));
  time.wDay = static_cast<WORD>(parts.day);
  time.wHour = static_cast<WORD>(parts.hour);
  time.wMinute = static_cast<WORD>(parts.minute);
  time.wSecond = static_cast<WORD>(parts.second);
  wchar_t date[128];
  wchar_t clock[128];
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, 0, &time, field.datePattern.c_str(), date, 128)) return;
  if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, field.timePattern.c_str(), clock, 128)) return;
  const bool wasUpdating = updating_;
  updating_ = true;
  SetWindowTextW(field.edit, (std::wstring(date) + L" " + clock).c_str());
  dateFit_.Fit(field.edit);
  updating_ = wasUpdating;
  field.value = value;
  field.typed = false;
}

bool TTarvoWnd::LeaveDateEdit(DateEdit& field) {
  const DateFieldReading reading = ReadDateFieldText(GetWindowTextUtf8(field.edit), field.format);
  field.value = reading.value;
  StoreDateValue(field);
  if (reading.valid) return true;
  const bool tell = field.typed;
  field.typed = false;
  PostMessageW(hwnd_, kWmBadDate, static_cast<WPARAM>(GetDlgCtrlID(field.edit)), tell ? 1 : 0);
  return false;
}

void TTarvoWnd::StoreDateValue(const DateEdit& field) {
  if (std::isnan(field.value)) return;
  TRunSettings& run = model_->MutableSettings().run;
  (&field == &from_ ? run.from : run.to) = field.value;
}

void TTarvoWnd::BrowseFolder(int fieldId) {
  HWND edit = Item(fieldId);
  const std::wstring current = Utf16(GetWindowTextUtf8(edit));
  BROWSEINFOW info{};
  info.hwndOwner = hwnd_;
  info.lpszTitle = fieldId == kIdMsDir ? L"MetaStock data directory" : L"Output directory";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = current.empty() ? 0 : reinterpret_cast<LPARAM>(current.c_str());
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return;
  wchar_t path[MAX_PATH] = {};
  if (SHGetPathFromIDListW(chosen, path)) SetWindowTextW(edit, path);  // EN_CHANGE tells the model
  CoTaskMemFree(chosen);
  SetFocus(edit);
}

void TTarvoWnd::SetTextIfChanged(HWND control, const std::string& text) {
  if (GetWindowTextUtf8(control) == text) return;
  SetWindowTextUtf8(control, text);
}

HWND TTarvoWnd::ControlOf(Control control) const {
  switch (control) {
    case Control::Format: return Item(kIdFormat);
    case Control::MsDir: return Item(kIdMsDir);
    case Control::Output: return Item(kIdOutput);
    case Control::From: return Item(kIdFrom);
    case Control::To: return Item(kIdTo);
    case Control::Start: return Item(kIdStart);
    case Control::Close: return Item(kIdClose);
    case Control::Selected: return Item(kIdSelected);
    case Control::Delete: return Item(kIdDelete);
    case Control::Create: return Item(kIdCreate);
    case Control::Import: return Item(kIdImport);
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// IMainView: what the window model shows.

void TTarvoWnd::Post(std::function<void()> task) { PushTask(queue_, hwnd_, std::move(task)); }

void TTarvoWnd::ShowErrorFrom(const std::shared_ptr<TWindowTaskQueue>& queue, HWND window, const std::string& text) {
  if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
    MessageBoxW(window, Utf16(text).c_str(), L"Error", MB_OK | MB_ICONERROR);
    return;
  }
  auto shown = std::make_shared<std::promise<void>>();
  std::future<void> done = shown->get_future();
  const bool pushed = PushTask(queue, window, [window, text, shown] {
    MessageBoxW(window, Utf16(text).c_str(), L"Error", MB_OK | MB_ICONERROR);
    shown->set_value();
  });
  if (!pushed) return;
  try {
    done.get();
  } catch (const std::future_error&) {
    // The window went before the box was shown.
  }
}

void TTarvoWnd::ShowSettings(const WindowSettings& settings) {
  const TRunSettings& run = settings.run;
  updating_ = true;
  SendMessageW(Item(kIdFormat), CB_SETCURSEL, run.format == 0 ? 0 : static_cast<WPARAM>(-1), 0);
  SetTextIfChanged(Item(kIdMsDir), run.msDir);
  SetTextIfChanged(Item(kIdOutput), run.output);
  if (!(run.from == from_.value)) UpdateEdit(from_, run.from);
  if (!(run.to == to_.value)) UpdateEdit(to_, run.to);
  const std::pair<int, bool> boxes[] = {
      {kIdSelected, run.selected}, {kIdDelete, run.deleteData}, {kIdCreate, run.create}, {kIdImport, run.import}};
  for (const auto& [id, checked] : boxes) SendMessageW(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  EnableWindow(Item(kIdDelete), settings.deleteEnabled && IsWindowEnabled(Item(kIdImport)));
  updating_ = false;
  // A value the field could not show stays what the field holds.
  StoreDateValue(from_);
  StoreDateValue(to_);
  ShowRunLogTip();  // /l: may have named another file
}

void TTarvoWnd::CreateRunLogTip() {
  runLogTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_,
                               nullptr);
  if (!runLogTip_) return;
  // A path is longer than the panel: the tip wraps at the window's width.
  SendMessageW(runLogTip_, TTM_SETMAXTIPWIDTH, 0, Scale(kClientWidth));
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = statusBar_;
  tool.uId = 1;
  SendMessageW(statusBar_, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&tool.rect));
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(runLogTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void TTarvoWnd::ShowRunLogTip() {
  if (!runLogTip_ || !model_) return;
  const std::string path = model_->RunLogPath();
  const std::wstring text = path.empty() ? L"No run log (/l: without a file)"
                                         : L"Run log: " + Utf16(path) + L"\nDouble-click the status bar to open it.";
  if (text == runLogTipText_) return;
  runLogTipText_ = text;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = statusBar_;
  tool.uId = 1;
  tool.lpszText = runLogTipText_.data();
  SendMessageW(runLogTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void TTarvoWnd::OpenRunLog() {
  if (!model_) return;
  const std::string path = model_->RunLogPath();
  if (path.empty()) {
    model_->Tell("This program keeps no run log: /l: was given without a file.");
    return;
  }
  if (!platform::FileExists(path)) {
    model_->Tell("No run has written the run log yet:\n" + path);
    return;
  }
  const std::wstring file = Utf16(path);
  // The user's editor for the file's type, else Notepad.
  auto opened = [](HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; };
  if (opened(ShellExecuteW(hwnd_, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL))) return;
  const std::wstring quoted = L"\"" + file + L"\"";
  if (opened(ShellExecuteW(hwnd_, L"open", L"notepad.exe", quoted.c_str(), nullptr, SW_SHOWNORMAL))) return;
  model_->Tell("The run log cannot be opened:\n" + path);
}

void TTarvoWnd::ShowStatus(const std::string& step, const std::string& detail) {
  statusPanels_.ShowTexts(Utf16(step), Utf16(detail));
}

// ---------------------------------------------------------------------------
// The run's progress: a bar in the status bar and on the taskbar button.

void TTarvoWnd::ShowProgress(RunCounter, int64_t done, int64_t total) {
  if (runProgress_.Count(done, total)) ShowRunProgress();
}

void TTarvoWnd::ShowRunProgress() {
  statusPanels_.ShowProgress(runProgress_.Shown());
  taskbar_.Show(runProgress_.Shown());
}

// ---------------------------------------------------------------------------
// The system menu's own item: the About box.

void TTarvoWnd::AddAboutMenuItem() {
  HMENU menu = GetSystemMenu(hwnd_, FALSE);
  if (!menu) return;
  // Below "Check Smart import...", which opens the program's own group.
  AppendMenuW(menu, MF_STRING, kSysCommandAbout, L"About Vuzuz archive creator...");
}

bool TTarvoWnd::OnSysCommand(WPARAM command) {
  // The system keeps a command's four low bits for itself.
  switch (command & 0xFFF0) {
    case kSysCommandAbout: ShowAbout(); return true;
    case kSysCommandCheckImport:
      StartImportCheck(*model_, services_, [queue = queue_, hwnd = hwnd_](std::function<void()> task) {
        PushTask(queue, hwnd, std::move(task));
      });
      return true;
    default: return false;
  }
}

void TTarvoWnd::ShowAbout() {
  const std::wstring text = Utf16(AboutText(kProgramVersion, model_ ? model_->RunLogPath() : std::string()));
  const std::wstring caption = Utf16(kAboutCaption);
  MSGBOXPARAMSW box{};
  box.cbSize = sizeof box;
  box.hwndOwner = hwnd_;
  box.hInstance = instance_;
  box.lpszText = text.c_str();
  box.lpszCaption = caption.c_str();
  // The program's icon (the window class's, resource 1) where the program
  // has one.
  const wchar_t* const icon = MAKEINTRESOURCEW(1);
  const bool hasIcon = FindResourceW(instance_, icon, MAKEINTRESOURCEW(14 /* RT_GROUP_ICON */)) != nullptr;
  box.dwStyle = MB_OK | (hasIcon ? MB_USERICON : MB_ICONINFORMATION);
  box.lpszIcon = hasIcon ? icon : nullptr;
  MessageBoxIndirectW(&box);
}

void TTarvoWnd::ShowButtonCaption(const std::string& caption) { SetWindowTextUtf8(Item(kIdStart), caption); }

void TTarvoWnd::ShowControlsEnabled(bool enabled, bool deleteEnabled) {
  for (const int id : {kIdFormat, kIdMsDir, kIdOutput, kIdFrom, kIdTo, kIdSelected, kIdCreate, kIdImport}) {
    EnableWindow(Item(id), enabled);
    if (HWND button = Item(FieldButtonId(id))) EnableWindow(button, enabled);
  }
  EnableWindow(Item(kIdDelete), deleteEnabled);
  // Keyboard focus never stays on a control that was just disabled.
  HWND focus = GetFocus();
  if (focus && (focus == hwnd_ || !IsWindowEnabled(focus))) SetFocus(Item(kIdStart));
}

void TTarvoWnd::FocusControl(Control control) { SetFocus(ControlOf(control)); }

void TTarvoWnd::ShowMessage(const std::string& text) {
  MessageBoxW(hwnd_, Utf16(text).c_str(), kMessageCaption, MB_OK);
}

bool TTarvoWnd::AskImportRange(double& from, double& to) {
  // Modal on the window thread; the run's thread waits for the answer.
  return !closing_ && ShowImportRangeDialog(hwnd_, from, to);
}

void TTarvoWnd::RequestClose() { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }

void TTarvoWnd::RunEnded(const RunResult& result) {
  if (runProgress_.End()) ShowRunProgress();
  lastResult_ = result;
  if (closing_) PostMessageW(hwnd_, kWmFinishClose, 0, 0);
}

bool TTarvoWnd::ReadPlacement(WindowPlacement& placement) const {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!GetWindowPlacement(hwnd_, &wp)) return false;
  placement.flags = static_cast<int>(wp.flags);
  placement.showCmd = static_cast<int>(wp.showCmd);
  placement.pixelsPerInch = dpi_;
  placement.minX = wp.ptMinPosition.x;
  placement.minY = wp.ptMinPosition.y;
  placement.maxX = wp.ptMaxPosition.x;
  placement.maxY = wp.ptMaxPosition.y;
  placement.left = wp.rcNormalPosition.left;
  placement.top = wp.rcNormalPosition.top;
  placement.right = wp.rcNormalPosition.right;
  placement.bottom = wp.rcNormalPosition.bottom;
  return true;
}

void TTarvoWnd::ApplyPlacement(const WindowPlacement& placement) {
  // The stored position with the design size; the window has no other
  // state than normal (no minimise or maximise box), and the system keeps
  // a position that lies off every screen on one.
  RECT now{};
  GetWindowRect(hwnd_, &now);
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  wp.showCmd = IsWindowVisible(hwnd_) ? SW_SHOWNORMAL : SW_HIDE;
  wp.ptMinPosition = {placement.minX, placement.minY};
  wp.ptMaxPosition = {placement.maxX, placement.maxY};
  wp.rcNormalPosition = {placement.left, placement.top, placement.left + (now.right - now.left),
                         placement.top + (now.bottom - now.top)};
  SetWindowPlacement(hwnd_, &wp);
}

}  // namespace vz::app
