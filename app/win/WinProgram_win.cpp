#include "app/win/WinProgram_win.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/win/MainWindow_win.h"
#include "app/win/TarvoLayout.h"
#include "app/win/WinText_win.h"
#include "app/window/CommandLine.h"
#include "app/window/DateField.h"
#include "app/window/ExitStatus.h"
#include "vuzuz/ShowError.h"

namespace vz::app {

namespace {

// The arguments after the program name, as UTF-8.
std::vector<std::string> CommandLineArguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8(argv[i], wcslen(argv[i])));
  LocalFree(argv);
  return args;
}

bool IsConsoleCommand(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  const std::string& first = args[0];
  for (const char* command :
       {"--help", "-h", "/?", "--version", "--list", "--bars", "--dump", "--unzip", "--verify", "--check-import",
        "--sample"}) {
    if (first == command) return true;
  }
  return false;
}

// Output goes to the console the program was started from; a stream that
// was redirected to a file or pipe stays where it was sent.
void AttachParentConsole() {
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  auto unset = [](DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE;
  };
  if (unset(STD_OUTPUT_HANDLE)) std::freopen("CONOUT$", "w", stdout);
  if (unset(STD_ERROR_HANDLE)) std::freopen("CONOUT$", "w", stderr);
}

int RunConsole(std::vector<std::string> args, const std::function<ConsoleProgramOptions()>& consoleOptions) {
  AttachParentConsole();
  // --sample is the console program without arguments: the bundled sample.
  if (args[0] == "--sample") args.clear();
  const int status = RunConsoleProgram(args, consoleOptions());
  std::fflush(stdout);
  std::fflush(stderr);
  return status;
}

// The user's date conventions for the date-time texts the run reads.
void InstallDateTimeFormat() {
  auto locale = [](LCTYPE type) {
    wchar_t buffer[128] = {};
    const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 128);
    return n > 1 ? Utf8(buffer, static_cast<size_t>(n - 1)) : std::string();
  };
  SetDateTimeFormat(DateTimeFormatFromPatterns(locale(LOCALE_SSHORTDATE), locale(LOCALE_STIMEFORMAT),
                                               locale(LOCALE_S1159), locale(LOCALE_S2359)));
}

// A fault before the window can show it: a box, unless nobody is there to
// answer it (/x), when the exit status alone tells.
void ShowStartFault(bool closesByItself, const wchar_t* text) {
  if (!closesByItself) MessageBoxW(nullptr, text, tarvo::kCaption, MB_OK | MB_ICONERROR);
}

int RunWindow(std::vector<std::string> args) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS |
                                                     ICC_DATE_CLASSES};
  InitCommonControlsEx(&controls);
  // The folder picker needs a single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  InstallDateTimeFormat();

  int status = kExitSetupFailed;
  const bool closesByItself = ClosesByItself(args);
  {
    TTarvoWnd window(GetModuleHandleW(nullptr), std::move(args), ProductionServices());
    if (!window.Create()) {
      ShowStartFault(closesByItself, L"The main window cannot be created.");
      return kExitSetupFailed;
    }
    // ShowError from any thread: an error box on the window's thread.
    const ErrorSink previous = SetErrorSink(
        [queue = window.Queue(), hwnd = window.Handle()](const std::string& text) {
          TTarvoWnd::ShowErrorFrom(queue, hwnd, text);
        });
    window.Show(SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (IsDialogMessageW(window.Handle(), &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    status = window.Finish();
    SetErrorSink(previous);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}

}  // namespace

int RunWindowsProgram(const std::function<ConsoleProgramOptions()>& consoleOptions) {
  std::vector<std::string> args = CommandLineArguments();
  if (IsConsoleCommand(args)) return RunConsole(std::move(args), consoleOptions);
  const bool closesByItself = ClosesByItself(args);
  try {
    return RunWindow(std::move(args));
  } catch (const std::exception& error) {
    ShowStartFault(closesByItself, Utf16(error.what()).c_str());
  } catch (...) {
    ShowStartFault(closesByItself, L"Unexpected error at start-up.");
  }
  return kExitSetupFailed;
}

}  // namespace vz::app
