// wingui-driver: starts vuzuz-archive-creator.exe and drives its window the
// way a user would, through Win32 messages to its controls, reading back
// what the window shows. Every check prints one line; the exit status is 0
// when all passed. Screenshots of the window, the calendar pop-up and the
// import range dialog are written as BMP files.
//
//   wingui-driver EXE WORKDIR SHOTDIR
//   wingui-driver --icon EXE SHOTDIR     the program's icon only
//
// WORKDIR is emptied and filled with generated MetaStock directories and
// the archives the program writes.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/win/CalendarPopup_win.h"
#include "app/record/ImportState.h"
#include "app/win/CheckImportMenu_win.h"
#include "app/win/TarvoLayout.h"
#include "app/window/CalendarModel.h"
#include "platform/SettingsStore.h"
#include "tools/msgen/MsSample.h"
#include "vuzuz/OmzArchive.h"

namespace {

namespace fs = std::filesystem;
using namespace vz::app::tarvo;

constexpr char kStoredKey[] = "Software\\Velmora\\Pendra 3.0\\Archive\\TTarvoWnd";
constexpr char kDefaultKey[] = "SOFTWARE\\Velmora\\Pendra 3.0";

int failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  std::fflush(stdout);
  if (!ok) ++failures;
}

std::wstring Wide(const std::string& text) {
  std::wstring out(text.size() * 2 + 1, L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                                    static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

std::string Narrow(const std::wstring& text) {
  std::string out(text.size() * 4 + 1, '\0');
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                                    static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    Sleep(50);
  }
  return true;
}

std::string Text(HWND window) {
  wchar_t buffer[1024] = {};
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &got))
    return {};
  return Narrow(std::wstring(buffer, got < 1024 ? got : 1023));
}

// One argument as the program's command-line parser reads it back:
// backslashes before a quote are doubled.
std::wstring QuoteArgument(const std::wstring& arg) {
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes * 2, L'\\');
  return out + L"\"";
}

struct FindData {
  DWORD pid;
  const wchar_t* className;
  HWND found;
};

// A visible top-level window of the process with the class.
HWND FindWindowOf(DWORD pid, const wchar_t* className) {
  FindData data{pid, className, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        auto& d = *reinterpret_cast<FindData*>(lParam);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        if (owner != d.pid || wcscmp(name, d.className) != 0 || !IsWindowVisible(hwnd)) return TRUE;
        d.found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&data));
  return data.found;
}

// A visible dialog of the process with the caption.
HWND FindDialogOf(DWORD pid, const std::string& caption) {
  struct Search {
    DWORD pid;
    const std::string* caption;
    HWND found;
  } search{pid, &caption, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(lParam);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        if (owner != s.pid || wcscmp(name, L"#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
        wchar_t text[128] = {};
        GetWindowTextW(hwnd, text, 128);
        if (Narrow(text) != *s.caption) return TRUE;
        s.found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The texts of a message box's static controls.
std::string MessageBoxText(HWND box) {
  std::string text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM lParam) -> BOOL {
        wchar_t name[32] = {};
        GetClassNameW(child, name, 32);
        if (_wcsicmp(name, L"Static") == 0) *reinterpret_cast<std::string*>(lParam) += Text(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

int Scale(int design, int dpi) { return MulDiv(design, dpi, kDesignDpi); }

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDesignDpi;
}

// A screen grab of the window's rectangle, written as a 24-bit BMP.
bool Screenshot(HWND window, const fs::path& file) {
  RECT r{};
  GetWindowRect(window, &r);
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info.bmiHeader;
  header.bfSize = header.bfOffBits + stride * static_cast<DWORD>(h);
  bool ok = false;
  if (FILE* out = _wfopen(file.wstring().c_str(), L"wb")) {
    ok = std::fwrite(&header, sizeof header, 1, out) == 1 &&
         std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
         std::fwrite(bits, stride * static_cast<DWORD>(h), 1, out) == 1;
    ok = std::fclose(out) == 0 && ok;
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

// One start of the program.
class TProgram {
public:
  TProgram(const fs::path& exe, const std::vector<std::string>& args, bool expectWindow = true) {
    std::wstring line = L"\"" + exe.wstring() + L"\"";
    for (const auto& arg : args) line += L" " + QuoteArgument(Wide(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.wstring().c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_)) {
      Check(false, "the program starts");
      return;
    }
    if (!expectWindow) return;
    WaitFor([&] { return (main_ = FindWindowOf(process_.dwProcessId, kWindowClass)) != nullptr; });
    Check(main_ != nullptr, "the main window opens");
  }
  ~TProgram() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  HWND Main() const { return main_; }
  HWND Item(int id) const { return GetDlgItem(main_, id); }
  std::string ItemText(int id) const { return Text(Item(id)); }
  std::string Status() const { return Text(Item(kIdStatusBar)); }
  // The run's progress bar in the status bar: its position out of 1000, or
  // -1 while it is hidden.
  int ProgressShown() const {
    HWND bar = FindWindowExW(Item(kIdStatusBar), nullptr, PROGRESS_CLASSW, nullptr);
    if (!bar || !IsWindowVisible(bar)) return -1;
    DWORD_PTR position = 0;
    SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position);
    return static_cast<int>(position);
  }
  // Whether a tooltip of the program shows now.
  bool TooltipShows() const { return FindWindowOf(process_.dwProcessId, TOOLTIPS_CLASSW) != nullptr; }
  bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

  void Type(int id, const std::string& text) const {
    SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  }
  // A button press as the button reports it to the window.
  void Press(int id) const {
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
  }
  void SetCheck(int id, bool checked) const {
    if (Checked(id) == checked) return;
    SendMessageW(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    // Sent, not posted: a box's click opens nothing modal, and a sent
    // notification is handled before this returns. (A posted one followed by
    // Settle's sent WM_NULL may be overtaken by it, since a thread handles
    // sent messages before posted ones.)
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(main_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)),
                        SMTO_NORMAL, 5000, &ignored);
  }
  // Lets the program handle what was posted to it. A thread handles sent
  // messages before posted ones, so one sent WM_NULL may be answered before
  // the posted message is even taken; after the first answer the posted
  // messages come next, and a later sent one waits for their handlers.
  void Settle() const {
    for (int round = 0; round < 3; ++round) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
      Sleep(25);
    }
  }
  HWND WaitForMessageBox(DWORD timeoutMs = 20000) const {
    HWND box = nullptr;
    WaitFor([&] { return (box = FindWindowOf(process_.dwProcessId, L"#32770")) != nullptr; }, timeoutMs);
    return box;
  }
  // The first line of the next message box (the system's text; a second
  // line names the folder and the reason), which is then dismissed with OK.
  std::string AnswerMessageBox() const {
    HWND box = WaitForMessageBox();
    if (!box) return "(no message box)";
    const std::string text = MessageBoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    WaitFor([&] { return !IsWindow(box); });
    return text.substr(0, text.find_first_of("\r\n"));
  }
  // Waits for the status text; the run's notes on the data that come up as
  // message boxes on the way are read out and answered with OK, as a user
  // would.
  bool WaitForStatus(const std::string& text, DWORD timeoutMs = 60000) const {
    return WaitFor(
        [&] {
          if (Status() == text) return true;
          HWND box = FindWindowOf(process_.dwProcessId, L"#32770");
          if (box && IsWindowVisible(box) && Text(box) != "Import range") {
            std::printf("     a message box says: %s\n", MessageBoxText(box).c_str());
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            WaitFor([&] { return !IsWindow(box); }, 5000);
          }
          return false;
        },
        timeoutMs);
  }
  void Close() const { PostMessageW(main_, WM_CLOSE, 0, 0); }
  // The exit status, or -1 when the program has not ended in time.
  int WaitForExit(DWORD timeoutMs = 30000) const {
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
  }
  DWORD Pid() const { return process_.dwProcessId; }

private:
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
};

std::string Utf8Path(const fs::path& path) { return Narrow(path.wstring()); }
std::string WithSlash(const fs::path& dir) { return Utf8Path(dir) + "\\"; }

// Every archive under the folder decodes whole; returns how many there are.
int CheckArchives(const fs::path& dir, const std::string& what) {
  int count = 0;
  bool allWhole = true;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    // The days not yet imported are the one other file a run keeps there.
    if (it->path().filename() == vz::app::kImportStateFileName) continue;
    if (it->path().extension() != ".omz") {
      allWhole = false;  // nothing but archives is left behind
      std::printf("     left behind: %s\n", it->path().string().c_str());
      continue;
    }
    ++count;
    std::vector<uint8_t> bytes(static_cast<size_t>(fs::file_size(it->path())));
    if (FILE* in = _wfopen(it->path().wstring().c_str(), L"rb")) {
      if (!bytes.empty() && std::fread(bytes.data(), bytes.size(), 1, in) != 1) allWhole = false;
      std::fclose(in);
    }
    std::vector<vz::omz::ArchiveEntry> entries;
    vz::omz::Failure error;
    const bool read = vz::omz::ReadArchive(vz::ByteView(bytes.data(), bytes.size()), entries, error);
    bool expanded = read && entries.size() >= 2;
    for (const auto& entry : entries) expanded = expanded && entry.expanded && entry.explodeResult == 0;
    if (!expanded) {
      allWhole = false;
      std::printf("     not whole: %s (%s)\n", it->path().string().c_str(), error.text.c_str());
    }
  }
  Check(allWhole, what + ": every archive decodes whole, nothing else left behind");
  return count;
}

// A moment as a date-time field shows it: the user's short date and long
// time formats.
std::string DateTimeText(const SYSTEMTIME& moment) {
  wchar_t pattern[128] = {}, time[128] = {}, date[128] = {}, clock[128] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, pattern, 128);
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, time, 128);
  GetDateFormatW(LOCALE_USER_DEFAULT, 0, &moment, pattern, date, 128);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &moment, time, clock, 128);
  return Narrow(std::wstring(date) + L" " + clock);
}

std::string TodayAt2359Text() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  now.wHour = 23;
  now.wMinute = 59;
  now.wSecond = 0;
  return DateTimeText(now);
}

// The calendar's title for a month: the user's long month name and the year.
std::string MonthTitle(int month, int year) {
  wchar_t name[80] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, static_cast<LCTYPE>(LOCALE_SMONTHNAME1 + month - 1), name, 80);
  return Narrow(name) + ", " + std::to_string(year);
}

// A bare top-level window of GlobalServer's main window class, on a thread
// of its own that answers its messages, so that the program finds a
// GlobalServer running. Hidden: it must not take the activation.
class TServerStandIn {
public:
  TServerStandIn() {
    thread_ = std::thread([this] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"VuzuzResearchGlobalServer";
      RegisterClassExW(&wc);
      HWND window = CreateWindowExW(0, wc.lpszClassName, L"GlobalServer", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                    nullptr, nullptr, wc.hInstance, nullptr);
      threadId_ = GetCurrentThreadId();
      window_ = window;
      created_ = true;
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
      if (window) DestroyWindow(window);
    });
    WaitFor([&] { return created_.load(); }, 5000);
  }
  ~TServerStandIn() {
    // The thread has its message queue once it has created its window.
    while (!created_) Sleep(10);
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  TServerStandIn(const TServerStandIn&) = delete;
  TServerStandIn& operator=(const TServerStandIn&) = delete;

  bool Exists() const { return window_ != nullptr && FindWindowW(L"VuzuzResearchGlobalServer", nullptr) == window_; }

private:
  std::thread thread_;
  std::atomic<bool> created_{false};
  DWORD threadId_ = 0;
  HWND window_ = nullptr;
};

}  // namespace

// The sizes of the exe's first icon (resource 1, the one Explorer and the
// window show), from its icon directory: 0 in a width byte means 256.
std::vector<int> IconSizes(const fs::path& exe) {
  std::vector<int> sizes;
  HMODULE module = LoadLibraryExW(exe.wstring().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return sizes;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14))) {  // RT_GROUP_ICON
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    const DWORD size = SizeofResource(module, found);
    constexpr DWORD kHeader = 6;
    constexpr DWORD kEntry = 14;
    const DWORD count = bytes && size >= kHeader ? bytes[4] | bytes[5] << 8 : 0;
    for (DWORD i = 0; i < count && kHeader + (i + 1) * kEntry <= size; ++i) {
      const int width = bytes[kHeader + i * kEntry];
      sizes.push_back(width == 0 ? 256 : width);
    }
  }
  FreeLibrary(module);
  return sizes;
}

// The width of an icon's colour bitmap, 0 when there is no icon.
int IconWidth(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

// wingui-driver --icon EXE SHOTDIR: the program's icon in the exe, on its
// window's class (big and small) and in the window's caption (the picture
// SHOTDIR/icon-window.bmp).
int CheckIcon(const fs::path& exe, const fs::path& shots) {
  std::puts("-- the program's icon");
  fs::create_directories(shots);
  const std::vector<int> sizes = IconSizes(exe);
  std::string listed;
  for (int size : sizes) listed += " " + std::to_string(size);
  auto has = [&](int size) { return std::find(sizes.begin(), sizes.end(), size) != sizes.end(); };
  Check(has(16) && has(32) && has(48) && has(256), "the exe's icon holds 16 to 256 pixels:" + listed);
  TProgram program(exe, {});
  if (!program.Main()) return 1;
  program.Settle();
  // The class's icons cannot be read from another process under Wine: the
  // caption shows the small one, so its corner must hold the icon's blue
  // tile and green bar (app/main/icon.mvg).
  RECT frame{};
  GetWindowRect(program.Main(), &frame);
  const int corner = GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME);
  auto closeTo = [](COLORREF c, int r, int g, int b) {
    return std::abs(GetRValue(c) - r) < 40 && std::abs(GetGValue(c) - g) < 40 && std::abs(GetBValue(c) - b) < 40;
  };
  bool blue = false;
  bool green = false;
  HDC screen = GetDC(nullptr);
  for (int y = frame.top; y < frame.top + corner; ++y) {
    for (int x = frame.left; x < frame.left + corner; ++x) {
      const COLORREF c = GetPixel(screen, x, y);
      blue = blue || closeTo(c, 0x1f, 0x4e, 0x8c);
      green = green || closeTo(c, 0x5f, 0xd0, 0x68);
    }
  }
  ReleaseDC(nullptr, screen);
  Check(blue && green, "the caption shows the program's icon");
  // The class's icons are drawn from the exe's resource at these sizes.
  HMODULE module = LoadLibraryExW(exe.wstring().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  for (const int size : {GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CXSMICON)}) {
    HICON icon = module ? static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0)) : nullptr;
    Check(IconWidth(icon) == size, "the exe's icon loads at " + std::to_string(size) + " px");
    if (icon) DestroyIcon(icon);
  }
  if (module) FreeLibrary(module);
  Check(Screenshot(program.Main(), shots / "icon-window.bmp"), "a picture of the window with its icon");
  program.Close();
  Check(program.WaitForExit() == 0, "closes with status 0");
  std::printf("%s: %d failed\n", failures ? "FAILED" : "passed", failures);
  return failures ? 1 : 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"--icon") return CheckIcon(argv[2], argv[3]);
  if (argc != 4) {
    std::fprintf(stderr, "usage: wingui-driver EXE WORKDIR SHOTDIR\n"
                         "       wingui-driver --icon EXE SHOTDIR\n");
    return 2;
  }
  const fs::path exe = argv[1];
  const fs::path work = argv[2];
  const fs::path shots = argv[3];
  // The pointer off every window the program opens (they open centred on
  // the screen): a tooltip would show where it rests.
  SetCursorPos(0, 0);
  std::error_code ec;
  fs::remove_all(work, ec);
  fs::create_directories(work);
  fs::create_directories(shots);
  const int dpi = ScreenDpi();

  // The data: the sample (converted over one month) and a bigger directory
  // that takes long enough to be stopped.
  const fs::path small = work / "small";
  const fs::path big = work / "big";
  std::string error;
  if (!vz::msgen::WriteSampleDirectory(small, &error) || !vz::msgen::WriteLargeDirectory(big, 0.05, &error)) {
    std::fprintf(stderr, "cannot write the MetaStock directories: %s\n", error.c_str());
    return 2;
  }
  vz::platform::DeleteStoredKey(kStoredKey);
  vz::platform::WriteStoredValues(kDefaultKey, {{"MSPath", WithSlash(small)}});
  const fs::path kept = work / L"\u0410\u0440\u0445\u0438\u0432";  // "Archive" in Russian
  const std::string month = "/f:20261101";
  const std::string monthEnd = "/t:20261130";

  std::puts("-- first start on an empty registry");
  {
    TProgram program(exe, {});
    if (!program.Main()) return 1;
    program.Settle();
    Check(Text(program.Main()) == "Vuzuz archive creator", "caption");
    RECT client{};
    GetClientRect(program.Main(), &client);
    Check(client.right == Scale(kClientWidth, dpi) && client.bottom == Scale(kClientHeight, dpi),
          "client area 399 x 246 design pixels");
    bool placed = true;
    auto rectOf = [&](HWND control) {
      RECT r{};
      GetWindowRect(control, &r);
      MapWindowPoints(nullptr, program.Main(), reinterpret_cast<POINT*>(&r), 2);
      return r;
    };
    for (const ControlLayout& c : kControls) {
      if (c.kind == Kind::Label) continue;
      // A field's edit and button share the field's rectangle.
      const bool field = c.kind == Kind::DirField || c.kind == Kind::DateField;
      const RECT r = rectOf(program.Item(c.id));
      const RECT whole = field ? RECT{r.left, r.top, rectOf(program.Item(FieldButtonId(c.id))).right, r.bottom} : r;
      const bool here = whole.left == Scale(c.left, dpi) && whole.top == Scale(c.top, dpi) &&
                        whole.right - whole.left == Scale(c.width, dpi) &&
                        (c.kind == Kind::Combo || whole.bottom - whole.top == Scale(c.height, dpi));
      if (!here) std::printf("     control %d at %ld,%ld,%ld,%ld\n", c.id, whole.left, whole.top, whole.right, whole.bottom);
      placed = placed && here;
    }
    Check(placed, "every control at its table position");
    Check(program.Checked(kIdCreate) && program.Checked(kIdImport) && program.Checked(kIdDelete) &&
              !program.Checked(kIdSelected),
          "check boxes at their design values");
    Check(program.ItemText(kIdMsDir) == WithSlash(small), "MetaStock directory from the registry default");
    Check(program.ItemText(kIdOutput).empty(), "empty output directory");
    Check(program.ItemText(kIdTo) == TodayAt2359Text(), "To is today at 23:59:00 (" + program.ItemText(kIdTo) + ")");
    Check(!program.ItemText(kIdFrom).empty(), "From shows the moment of start");
    Check(program.ItemText(kIdStart) == "&Start", "Start button");
    // Longer than a tooltip's delay, with the pointer off the window.
    Sleep(1500);
    Check(!program.TooltipShows(), "no tooltip at start with the pointer away");
    Screenshot(program.Main(), shots / "main-window.bmp");

    program.SetCheck(kIdImport, false);
    Check(!IsWindowEnabled(program.Item(kIdDelete)), "unticking Smart import disables Delete data");
    program.SetCheck(kIdImport, true);
    Check(IsWindowEnabled(program.Item(kIdDelete)), "ticking it enables Delete data again");

    // A bad output directory: a path through a file.
    const fs::path blocker = work / "file.txt";
    if (FILE* f = _wfopen(blocker.wstring().c_str(), L"wb")) std::fclose(f);
    program.Type(kIdOutput, (blocker / "sub").string());
    program.Press(kIdStart);
    Check(program.AnswerMessageBox() == "Can't create output directory.", "bad output directory: validation message");

    // A typed bad date, then leaving the field.
    PostMessageW(program.Item(kIdFrom), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageW(program.Item(kIdFrom), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    program.Settle();
    program.Type(kIdFrom, "99.99.2026 x");
    PostMessageW(program.Item(kIdFrom), WM_KEYDOWN, VK_TAB, 0);
    Check(program.AnswerMessageBox() == "\"99.99.2026 x\" is not valid date/time.", "typed bad date: message");

    // The system menu's "Check Smart import...": with no GlobalServer on
    // this desktop its box lists the steps and says no run could import.
    PostMessageW(program.Main(), WM_SYSCOMMAND, vz::app::kSysCommandCheckImport, 0);
    const HWND report = program.WaitForMessageBox(30000);
    const std::string steps = report ? MessageBoxText(report) : std::string();
    Check(steps.find("[FAILED] GlobalServer is not running") != std::string::npos &&
              steps.find("A scheduled run could not import") != std::string::npos,
          "Check Smart import...: a box lists the steps (" + steps.substr(0, steps.find_first_of("\r\n")) + ")");
    if (report) {
      PostMessageW(report, WM_COMMAND, IDOK, 0);
      WaitFor([&] { return !IsWindow(report); });
    }

    // Settings to keep: an output directory (Cyrillic) and two boxes.
    program.Type(kIdOutput, Utf8Path(kept));
    program.SetCheck(kIdCreate, false);
    program.SetCheck(kIdDelete, false);
    program.Close();
    Check(program.WaitForExit() == 0, "closes with status 0");
  }
  vz::platform::StoredValues stored;  // texts in UTF-8
  const bool haveStored = vz::platform::ReadStoredValues(kStoredKey, stored);
  auto storedValue = [&](const std::string& name) {
    for (const auto& [key, value] : stored) {
      if (key == name) return value;
    }
    return std::string("(missing)");
  };
  Check(haveStored && storedValue("EdtOutput_Text") == Utf8Path(kept) &&
            storedValue("EdtCreate_Checked") == "False" && storedValue("EdtDelete_Checked") == "False" &&
            storedValue("EdtImport_Checked") == "True" && storedValue("FormVersion") == "0" &&
            storedValue("PixelsPerInch") == std::to_string(dpi) && storedValue("NormPos") != "(missing)",
        "the registry holds the settings under their names");

  std::puts("-- settings come back");
  {
    TProgram program(exe, {});
    if (!program.Main()) return 1;
    program.Settle();
    Check(program.ItemText(kIdOutput) == Utf8Path(kept), "output directory restored");
    Check(!program.Checked(kIdCreate) && !program.Checked(kIdDelete) && program.Checked(kIdImport),
          "check boxes restored");
    program.SetCheck(kIdCreate, true);
    program.SetCheck(kIdDelete, true);
    program.Close();
    program.WaitForExit();
  }

  std::puts("-- the calendar pop-up");
  {
    using namespace vz::app;
    TProgram program(exe, {"/f:20261215"});
    if (!program.Main()) return 1;
    program.Settle();
    HWND from = program.Item(kIdFrom);
    SYSTEMTIME start{2026, 12, 2, 15, 0, 0, 0, 0};
    Check(program.ItemText(kIdFrom) == DateTimeText(start), "From starts at 15 December 2026");
    program.Press(FieldButtonId(kIdFrom));
    HWND popup = nullptr;
    WaitFor([&] { return (popup = FindWindowOf(program.Pid(), kCalendarPopupClass)) != nullptr; });
    Check(popup != nullptr, "From's \"...\" button opens the pop-up");
    if (!popup) return 1;
    RECT field{}, r{};
    GetWindowRect(from, &field);
    GetWindowRect(popup, &r);
    // Just below the field, right edges together, then nudged left and up.
    const int nudge = Scale(kCalendarNudge, dpi);
    const bool below = r.top == field.bottom - nudge && r.right == field.right - nudge &&
                       r.right - r.left == Scale(kCalendarWidth, dpi) &&
                       r.bottom - r.top == Scale(kCalendarHeight, dpi);
    if (!below)
      std::printf("     field %ld,%ld,%ld,%ld; pop-up %ld,%ld,%ld,%ld\n", field.left, field.top, field.right,
                  field.bottom, r.left, r.top, r.right, r.bottom);
    Check(below, "the pop-up opens just below the field, right edges together");
    Check(Text(popup) == MonthTitle(12, 2026), "it shows the field's month (" + Text(popup) + ")");

    // A press of the next-month button as the mouse makes it.
    HWND next = GetDlgItem(popup, kCalendarNextMonth);
    PostMessageW(next, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageW(next, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    Check(WaitFor([&] { return Text(popup) == MonthTitle(1, 2027); }, 5000),
          "next month steps from December to January of the next year");
    // Back and forth by the buttons' commands.
    PostMessageW(popup, WM_COMMAND, MAKEWPARAM(kCalendarPrevMonth, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(popup, kCalendarPrevMonth)));
    Check(WaitFor([&] { return Text(popup) == MonthTitle(12, 2026); }, 5000), "previous month goes back to December");
    PostMessageW(popup, WM_COMMAND, MAKEWPARAM(kCalendarNextMonth, BN_CLICKED), reinterpret_cast<LPARAM>(next));
    Check(WaitFor([&] { return Text(popup) == MonthTitle(1, 2027); }, 5000), "and forward to January again");
    const std::pair<int, const char*> times[] = {{kCalendarHour, "7"}, {kCalendarMinute, "30"}, {kCalendarSecond, "15"}};
    for (const auto& [id, text] : times) {
      SendMessageW(GetDlgItem(popup, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
    }
    Sleep(200);  // let it paint
    Screenshot(popup, shots / "calendar.bmp");
    PostMessageW(popup, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(popup, IDOK)));
    Check(WaitFor([&] { return !IsWindow(popup); }, 5000), "OK closes the pop-up");
    program.Settle();
    SYSTEMTIME chosen{2027, 1, 5, 15, 7, 30, 15, 0};
    Check(program.ItemText(kIdFrom) == DateTimeText(chosen),
          "OK sets From to the chosen day and time (" + program.ItemText(kIdFrom) + ")");

    // Cancel leaves the field as it was; a press right after a close opens
    // nothing, so wait out the guard first.
    Sleep(kCalendarReopenGuardMs + 100);
    program.Press(FieldButtonId(kIdFrom));
    popup = nullptr;
    WaitFor([&] { return (popup = FindWindowOf(program.Pid(), kCalendarPopupClass)) != nullptr; });
    Check(popup != nullptr && Text(popup) == MonthTitle(1, 2027), "it opens again at the field's new month");
    if (popup) {
      PostMessageW(popup, WM_COMMAND, MAKEWPARAM(kCalendarNextYear, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(popup, kCalendarNextYear)));
      Check(WaitFor([&] { return Text(popup) == MonthTitle(1, 2028); }, 5000), "next year steps a year");
      PostMessageW(popup, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(popup, IDCANCEL)));
      Check(WaitFor([&] { return !IsWindow(popup); }, 5000), "Cancel closes the pop-up");
      program.Settle();
      Check(program.ItemText(kIdFrom) == DateTimeText(chosen), "Cancel leaves From unchanged");
    }
    program.Close();
    Check(program.WaitForExit() == 0, "closes with status 0");
  }

  std::puts("-- Start converts");
  {
    const fs::path out = work / "out-start";
    TProgram program(exe, {"/m:" + WithSlash(small), "/o:" + WithSlash(out), month, monthEnd});
    if (!program.Main()) return 1;
    program.Settle();
    program.Press(kIdStart);
    Check(program.WaitForStatus("Export complete. Smart import skipped: GlobalServer is not running."),
          "Smart import ticked, no GlobalServer: the final status says it was skipped");
    Check(fs::exists(out / "d2611.omz") && fs::exists(out / "2026_11" / "i261127.omz"), "archives on disk");
    Check(CheckArchives(out, "Start") > 10, "a month of archives");
    Check(program.ProgressShown() == -1, "no progress bar after the run");
    program.Close();
    Check(program.WaitForExit() == 0, "closes with status 0");
  }

  std::puts("-- the import range dialog");
  {
    const fs::path out = work / "out-range";
    TServerStandIn server;
    Check(server.Exists(), "a window of GlobalServer's class exists");
    TProgram program(exe, {"/m:" + WithSlash(small), "/o:" + WithSlash(out), month, monthEnd});
    if (!program.Main()) return 1;
    program.Settle();
    program.SetCheck(kIdImport, true);
    program.Press(kIdStart);
    HWND dialog = nullptr;
    // The run's notes on the data come first as message boxes; answer them
    // as the user would.
    WaitFor(
        [&] {
          if ((dialog = FindDialogOf(program.Pid(), "Import range")) != nullptr) return true;
          HWND box = FindWindowOf(program.Pid(), L"#32770");
          if (box && Text(box) != "Import range") {
            std::printf("     a message box says: %s\n", MessageBoxText(box).c_str());
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            WaitFor([&] { return !IsWindow(box); }, 5000);
          }
          return false;
        },
        60000);
    Check(dialog != nullptr, "Start with Smart import asks for the import range");
    if (dialog) {
      Check(GetWindow(dialog, GW_OWNER) == program.Main(), "the dialog is owned by the main window");
      Check(program.ItemText(kIdStart) == "Stop", "the run waits for the answer");
      Sleep(200);  // let it paint
      Screenshot(dialog, shots / "import-range.bmp");
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
      Check(program.WaitForStatus("Export complete, but import failed."),
            "Cancel: \"Export complete, but import failed.\"");
      Check(!IsWindow(dialog), "the dialog is gone");
    }
    Check(fs::exists(out / "d2611.omz"), "the archives were written before the question");
    program.Close();
    Check(program.WaitForExit() == 4, "closes with status 4 after a failed import");
  }

  std::puts("-- Stop during a bigger run");
  {
    const fs::path out = work / "out-stop";
    TProgram program(exe, {"/m:" + WithSlash(big), "/o:" + WithSlash(out), "/f:20260901", monthEnd});
    if (!program.Main()) return 1;
    program.Settle();
    program.Press(kIdStart);
    Check(WaitFor([&] { return program.ItemText(kIdStart) == "Stop"; }), "the button reads Stop");
    // Stop while the run is surely still reading: the conversion of the
    // bigger directory takes a few seconds at most. On the way, a picture
    // of the run with its progress bar past its start.
    const bool counting = WaitFor([&] { return program.ProgressShown() > 0; }, 5000);
    Check(counting, "a progress bar shows while the securities are read");
    if (counting) Screenshot(program.Main(), shots / "run-progress.bmp");
    program.Press(kIdStart);
    Check(program.WaitForStatus("Terminated.", 120000), "Stop: status \"Terminated.\"");
    Check(program.ItemText(kIdStart) == "&Start", "the button reads &Start again");
    Check(program.ProgressShown() == -1, "the progress bar is gone after the stop");
    CheckArchives(out, "Stop");
    program.Close();
    Check(program.WaitForExit() == 130, "closes with status 130 after a stopped run");
  }

  std::puts("-- closing during a run");
  {
    const fs::path out = work / "out-close";
    TProgram program(exe, {"/m:" + WithSlash(big), "/o:" + WithSlash(out), "/f:20260901", monthEnd, "/g"});
    if (!program.Main()) return 1;
    Check(WaitFor([&] { return program.ItemText(kIdStart) == "Stop"; }), "/g starts the run");
    Sleep(100);
    program.Close();
    Check(program.WaitForExit(120000) == 130, "the program ends by itself, status 130");
    CheckArchives(out, "close");
  }

  std::puts("-- scripted use");
  {
    const fs::path out = work / "out-scripted";
    TProgram program(exe, {"/m:" + WithSlash(small), "/o:" + WithSlash(out), month, monthEnd, "/g", "/x"});
    Check(program.WaitForExit(120000) == 0, "/g /x converts and closes with status 0");
    Check(fs::exists(out / "d2611.omz"), "archives on disk");
  }
  {
    const fs::path out = work / L"\u0412\u044b\u0432\u043e\u0434";  // a Cyrillic output folder
    TProgram program(exe, {"/m:" + WithSlash(small), "/o:" + WithSlash(out), month, monthEnd, "/g", "/x"});
    Check(program.WaitForExit(120000) == 0 && fs::exists(out / "d2611.omz"), "a Cyrillic output folder on the command line");
  }
  {
    TProgram program(exe, {"/m:" + WithSlash(work / "nothing"), "/g"});
    if (!program.Main()) return 1;
    Check(program.AnswerMessageBox() == "Invalid MetaStock directory.", "/g with a bad directory: validation message");
    program.Close();
    Check(program.WaitForExit() == 2, "and status 2");
  }
  {
    // Scheduled: nobody is there to answer a box, so none waits.
    TProgram program(exe, {"/m:" + WithSlash(work / "nothing"), "/g", "/x"}, false);
    Check(program.WaitForExit() == 2, "/g /x with a bad directory: closes by itself with status 2");
  }
  {
    TProgram program(exe, {"--version"}, false);
    Check(program.WaitForExit() == 0, "--version ends with status 0");
    Check(FindWindowOf(program.Pid(), kWindowClass) == nullptr, "--version shows no window");
  }

  std::printf("%s: %d failed\n", failures ? "FAILED" : "passed", failures);
  return failures ? 1 : 0;
}
