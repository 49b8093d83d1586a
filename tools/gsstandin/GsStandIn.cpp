// gsstandin.exe: a stand-in for GlobalServer in the Windows round trip under
// Wine. It shows the windows the wizard drivers look for and reacts to their
// messages as GlobalServer does: the keyboard menu paths open the "Import
// Data" and "Delete Data" wizards, Browse opens an "Open" dialog, Next turns
// pages, Finish shows a progress window and then the "GlobalServer" notice,
// WM_CLOSE closes. Every archive it is given is unpacked with the project's
// own reader. It records every message the drivers send or post, and what
// it imported and deleted, in a file a test reads.
//
//   gsstandin RECORD UNPACKDIR [--refuse TEXT] [--refuse-first] [--lifetime SECONDS]
//             [--holdings FILE]
//
// --refuse TEXT answers every file name containing TEXT with a second "Open"
// window, as the file dialog does for a file it cannot take; --refuse-first
// answers so the first file it is given (of the whole session), whatever its
// name. The stand-in ends when a file RECORD.stop appears, or after the
// lifetime (600 s). --holdings FILE keeps what it holds (StandInHoldings.h)
// in FILE, read at the start: a later stand-in goes on from it.
//
// Its windows are Unicode windows, as GlobalServer's are to a program that
// sends wide text: a path typed into the file dialog arrives as UTF-16 and
// is recorded as UTF-8, so a folder name in any script is checked whole.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "StandInHoldings.h"
#include "StandInRecord.h"
#include "automation/GlobalServerWindows.h"

namespace {

namespace gs = vz::automation::gs;

constexpr wchar_t kWindowClass[] = L"StandInWindow";
constexpr wchar_t kPageClass[] = L"StandInPage";
constexpr UINT_PTR kTimerStop = 1;
constexpr UINT_PTR kTimerReading = 2;
constexpr UINT_PTR kTimerImporting = 3;
constexpr UINT_PTR kTimerDeleting = 4;
// The stand-in's work takes this long: enough for the drivers to see each
// progress window, short enough for CI.
constexpr UINT kProgressMs = 300;

struct Options {
  std::string record;
  std::string unpackDir;
  std::string refuse;
  bool refuseFirst = false;
  std::string holdings;
  DWORD lifetimeMs = 600 * 1000;
};

struct State {
  HWND main = nullptr;
  HWND importWizard = nullptr;
  HWND deleteWizard = nullptr;
  HWND page = nullptr;
  HWND dialog = nullptr;
  HWND field = nullptr;
  HWND progress = nullptr;
  HWND dateFields[4] = {};
  std::string typed[4];
  std::string menuPath;
  int importPage = 0;
  int filesGiven = 0;
  DWORD started = 0;
};

Options options;
State state;
vz::standin::TRecord record;
vz::standin::THoldings holdings;
std::map<HWND, std::string> names;
std::map<HWND, WNDPROC> controlProcs;

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Utf8(const wchar_t* text) {
  const int length = static_cast<int>(wcslen(text));
  if (length == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

std::string NameOf(HWND window) {
  auto found = names.find(window);
  if (found != names.end()) return found->second;
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
  return text;
}

std::string Hex(unsigned long long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", value);
  return text;
}

// One line per driver message, in the form the drivers' own tests use:
// "post main WM_SYSKEYDOWN 0x12 0x20380001".
void RecordMessage(bool posted, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const char* name = gs::DriverMessageName(message);
  if (!name) return;
  std::string line = std::string(posted ? "post " : "send ") + NameOf(window) + " " + name;
  if (message == WM_COMMAND) {
    line +=
        " " + std::to_string(wParam) + " " + (lParam == 0 ? std::string("0") : NameOf(reinterpret_cast<HWND>(lParam)));
  } else if (message == WM_SETTEXT) {
    line += " \"" + (lParam ? Utf8(reinterpret_cast<const wchar_t*>(lParam)) : std::string()) + "\"";
  } else if (message == WM_GETTEXT) {
    line += " " + std::to_string(wParam);
  } else {
    line += " " + Hex(wParam) + " " + Hex(static_cast<unsigned long>(static_cast<DWORD>(lParam)));
  }
  record.Line(line);
}

// Messages another program sends arrive in the window procedure while that
// program waits; those of this program's own making are not recorded.
void RecordIfSent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (InSendMessage()) RecordMessage(false, window, message, wParam, lParam);
}

HWND MakeWindow(const char* name, const char* title) {
  HWND window = CreateWindowExW(0, kWindowClass, Wide(title).c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 420,
                                300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  names[window] = name;
  return window;
}

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

HWND MakeControl(const char* name, const wchar_t* className, const char* text, DWORD style, HWND parent, int id,
                 int y) {
  HWND control = CreateWindowExW(0, className, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 10, y, 300, 24,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                 nullptr);
  names[control] = name;
  if (std::wstring(className) != kPageClass)
    controlProcs[control] =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc)));
  return control;
}

void ShowProgress(const char* name, const char* title, UINT_PTR timer) {
  state.progress = MakeWindow(name, title);
  SetTimer(state.main, timer, kProgressMs, nullptr);
}

// The work of a wizard is done: its progress and the wizard go, the
// closing notice shows.
void EndWork(UINT_PTR timer, HWND& wizard) {
  KillTimer(state.main, timer);
  DestroyWindow(state.progress);
  state.progress = nullptr;
  DestroyWindow(wizard);
  wizard = nullptr;
  MakeWindow("notice", gs::kNoticeTitle);
}

void OpenImportWizard() {
  if (state.importWizard) return;
  state.importPage = 0;
  holdings.ImportStarted();
  state.importWizard = MakeWindow("wizard", gs::kImportWizardTitle);
  state.page = MakeControl("page", kPageClass, gs::kImportPageText, 0, state.importWizard, 100, 10);
  SetWindowPos(state.page, nullptr, 0, 0, 400, 200, SWP_NOZORDER);
  MakeControl("browse", L"BUTTON", gs::kBrowseButton, BS_PUSHBUTTON, state.page, static_cast<int>(gs::kCmdBrowse), 10);
  MakeControl("next", L"BUTTON", gs::kNextButton, BS_PUSHBUTTON, state.importWizard, static_cast<int>(gs::kCmdNext),
              210);
  MakeControl("finish", L"BUTTON", gs::kFinishButton, BS_PUSHBUTTON, state.importWizard,
              static_cast<int>(gs::kCmdFinish), 240);
}

void OpenDeleteWizard() {
  if (state.deleteWizard) return;
  state.deleteWizard = MakeWindow("wizard", gs::kDeleteWizardTitle);
  HWND page = MakeControl("page", kPageClass, gs::kDeletePageText, 0, state.deleteWizard, 100, 10);
  SetWindowPos(page, nullptr, 0, 0, 400, 200, SWP_NOZORDER);
  MakeControl("rangeLabel", L"STATIC", "Range:", 0, page, 99, 10);
  const char* fieldNames[4] = {"startDate", "endDate", "startTime", "endTime"};
  for (int i = 0; i < 4; ++i) {
    state.typed[i].clear();
    state.dateFields[i] = MakeControl(fieldNames[i], L"EDIT", "", WS_TABSTOP | WS_BORDER, page, 101 + i, 40 + 30 * i);
  }
  MakeControl("next", L"BUTTON", gs::kNextButton, BS_PUSHBUTTON, state.deleteWizard, static_cast<int>(gs::kCmdNext),
              210);
  MakeControl("finish", L"BUTTON", gs::kFinishButton, BS_PUSHBUTTON, state.deleteWizard,
              static_cast<int>(gs::kCmdFinish), 240);
}

void OpenFileDialog() {
  if (state.dialog) return;
  state.dialog = MakeWindow("dialog", gs::kFileDialogTitle);
  state.field = MakeControl("field", L"EDIT", "", WS_BORDER | ES_AUTOHSCROLL, state.dialog, 1148, 10);
  MakeControl("open", L"BUTTON", gs::kOpenButton, BS_DEFPUSHBUTTON, state.dialog, IDOK, 50);
  MakeControl("cancel", L"BUTTON", "Cancel", BS_PUSHBUTTON, state.dialog, IDCANCEL, 80);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file dialog's OK: a name it can open (as typed, or with the archive
// extension added) is taken; any other is answered with a second "Open"
// window, and the dialog stays.
void AcceptFile() {
  wchar_t text[MAX_PATH * 2] = {};
  GetWindowTextW(state.field, text, static_cast<int>(std::size(text)));
  const std::string typed = Utf8(text);
  std::string path = typed;
  if (!FileExists(path)) path += ".omz";
  const bool first = state.filesGiven++ == 0;
  if (!FileExists(path) || (!options.refuse.empty() && typed.find(options.refuse) != std::string::npos) ||
      (options.refuseFirst && first)) {
    record.Line("refused " + typed);
    MakeWindow("complaint", gs::kFileDialogTitle);
    return;
  }
  record.Line("accepted " + typed);
  holdings.Accepted(typed);
  vz::standin::UnpackArchive(path, options.unpackDir, record);
  DestroyWindow(state.dialog);
}

void TurnImportPage() {
  if (++state.importPage != 1) return;
  DestroyWindow(state.page);
  state.page = nullptr;
  ShowProgress("reading", gs::kReadingSymbolsTitle, kTimerReading);
  HWND symbols = MakeControl("symbols", kPageClass, "", 0, state.importWizard, 101, 10);
  SetWindowPos(symbols, nullptr, 0, 0, 400, 200, SWP_NOZORDER);
  MakeControl("show", L"BUTTON", gs::kShowGroup, BS_GROUPBOX, symbols, 5350, 10);
  MakeControl("portfolio", L"BUTTON", gs::kPortfolioRadio, BS_AUTORADIOBUTTON, symbols, 5353, 40);
  MakeControl("selected", L"BUTTON", gs::kPortfolioSelectedRadio, BS_AUTORADIOBUTTON, symbols, 5354, 70);
  MakeControl("all", L"BUTTON", gs::kAllSymbolsRadio, BS_AUTORADIOBUTTON, symbols, static_cast<int>(gs::kCmdAllSymbols),
              100);
}

void OnMenuKey(UINT message, WPARAM key) {
  if (message == WM_SYSKEYDOWN && key != VK_MENU) state.menuPath = std::string(1, static_cast<char>(key));
  if (message != WM_KEYDOWN) return;
  state.menuPath += static_cast<char>(key);
  if (state.menuPath == "FIV") OpenImportWizard();
  if (state.menuPath == "EA") record.Line("selected all");
  if (state.menuPath == "FD") OpenDeleteWizard();
}

void OnTimer(UINT_PTR timer) {
  if (timer == kTimerStop) {
    const DWORD age = GetTickCount() - state.started;
    if (GetFileAttributesW(Wide(options.record + ".stop").c_str()) != INVALID_FILE_ATTRIBUTES ||
        age > options.lifetimeMs)
      DestroyWindow(state.main);
    return;
  }
  if (timer == kTimerReading) {
    KillTimer(state.main, kTimerReading);
    DestroyWindow(state.progress);
    state.progress = nullptr;
  }
  if (timer == kTimerImporting) {
    record.Line("import finished");
    holdings.ImportFinished();
    EndWork(timer, state.importWizard);
  }
  if (timer == kTimerDeleting) {
    record.Line("deleted " + state.typed[0] + " " + state.typed[1] + " " + state.typed[2] + " " + state.typed[3]);
    holdings.Deleted(state.typed[0], state.typed[1], state.typed[2], state.typed[3]);
    EndWork(timer, state.deleteWizard);
  }
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  RecordIfSent(window, message, wParam, lParam);
  switch (message) {
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
      OnMenuKey(message, wParam);
      return 0;
    case WM_SYSCOMMAND:
      // Only noted: showing and hiding windows is of no use under Xvfb.
      if ((wParam & 0xFFF0) == SC_MINIMIZE) record.Line("minimised");
      if ((wParam & 0xFFF0) == SC_RESTORE) record.Line("restored");
      return 0;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Wizards, dialogs, progress windows and the notice.
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  RecordIfSent(window, message, wParam, lParam);
  if (message == WM_COMMAND) {
    if (window == state.dialog && wParam == IDOK) AcceptFile();
    if (window == state.importWizard && wParam == gs::kCmdNext) TurnImportPage();
    if (window == state.importWizard && wParam == gs::kCmdFinish)
      ShowProgress("importing", gs::kImportingTitle, kTimerImporting);
    if (window == state.deleteWizard && wParam == gs::kCmdFinish)
      ShowProgress("deleting", gs::kDeletingTitle, kTimerDeleting);
    return 0;
  }
  if (message == WM_CLOSE && NameOf(window) == "notice") record.Line("notice closed");
  if (message == WM_DESTROY) {
    if (window == state.dialog) state.dialog = nullptr;
    if (window == state.importWizard) state.importWizard = nullptr;
    if (window == state.deleteWizard) state.deleteWizard = nullptr;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  RecordIfSent(window, message, wParam, lParam);
  if (message == WM_COMMAND) {
    if (wParam == gs::kCmdBrowse) OpenFileDialog();
    if (wParam == gs::kCmdAllSymbols) record.Line("all symbols");
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The system's own controls, watched: what the drivers send them is
// recorded, and the keys typed into the delete wizard's fields are noted
// (digits as they are, ">" for a Right arrow).
LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  RecordIfSent(window, message, wParam, lParam);
  if (message == WM_KEYDOWN) {
    for (int i = 0; i < 4; ++i) {
      if (window != state.dateFields[i]) continue;
      if (wParam == VK_RIGHT)
        state.typed[i] += '>';
      else if (wParam >= '0' && wParam <= '9')
        state.typed[i] += static_cast<char>(wParam);
    }
  }
  auto original = controlProcs.find(window);
  if (original == controlProcs.end()) return DefWindowProcW(window, message, wParam, lParam);
  return CallWindowProcW(original->second, window, message, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance) {
  static const std::wstring mainClass = Wide(gs::kMainWindowClass);
  WNDCLASSW main{};
  main.lpfnWndProc = MainProc;
  main.hInstance = instance;
  main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  main.lpszClassName = mainClass.c_str();
  WNDCLASSW window = main;
  window.lpfnWndProc = WindowProc;
  window.lpszClassName = kWindowClass;
  WNDCLASSW page = main;
  page.lpfnWndProc = PageProc;
  page.lpszClassName = kPageClass;
  return RegisterClassW(&main) && RegisterClassW(&window) && RegisterClassW(&page);
}

bool ParseOptions(int argc, char** argv) {
  if (argc < 3) return false;
  options.record = argv[1];
  options.unpackDir = argv[2];
  for (int i = 3; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--refuse-first")
      options.refuseFirst = true;
    else if (name == "--refuse" && i + 1 < argc)
      options.refuse = argv[++i];
    else if (name == "--holdings" && i + 1 < argc)
      options.holdings = argv[++i];
    else if (name == "--lifetime" && i + 1 < argc)
      options.lifetimeMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10) * 1000);
    else
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!ParseOptions(argc, argv)) {
    std::fprintf(stderr,
                 "usage: gsstandin RECORD UNPACKDIR [--refuse TEXT] [--refuse-first] [--lifetime SECONDS]"
                 " [--holdings FILE]\n");
    return 2;
  }
  if (!record.Open(options.record)) {
    std::fprintf(stderr, "gsstandin: cannot write %s\n", options.record.c_str());
    return 1;
  }
  CreateDirectoryW(Wide(options.unpackDir).c_str(), nullptr);
  // Without --holdings what it holds is kept in memory only.
  holdings.Load(options.holdings);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterClasses(instance)) return 1;
  state.started = GetTickCount();
  state.main = CreateWindowExW(0, Wide(gs::kMainWindowClass).c_str(), L"Vuzuz Research GlobalServer (stand-in)",
                               WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 200, nullptr, nullptr, instance, nullptr);
  names[state.main] = "main";
  MakeControl("filterLabel", L"STATIC", gs::kFilterLabel, 0, state.main, 999, 10);
  HWND combo =
      MakeControl("combo", L"COMBOBOX", "", CBS_DROPDOWNLIST, state.main, static_cast<int>(gs::kFilterComboId), 40);
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"All"));
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Portfolio"));
  SetTimer(state.main, kTimerStop, 200, nullptr);
  record.Line("ready");

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    RecordMessage(true, message.hwnd, message.message, message.wParam, message.lParam);
    DispatchMessageW(&message);
  }
  record.Line("stopped");
  return 0;
}
