#include "platform/Process.h"

#include <windows.h>

#include "platform/FileSystemWide.h"

namespace vz::platform {

namespace {
// Quotes one argument by the rules CommandLineToArgvW and the C runtime use.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') out.append(backslashes * 2 + 1, '\\');
    else out.append(backslashes, '\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, '\\');
  out.push_back('"');
  return out;
}
}  // namespace

// UTF-8, as every path inside the program: the ANSI call would turn the
// letters of a folder outside the code page (Cyrillic on a Western system)
// into question marks.
std::string SelfExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return Utf8Text(buffer.data(), n);
    if (buffer.size() >= 32768) return {};  // longer than any Windows path
    buffer.resize(buffer.size() * 2);
  }
}

struct TProcess::Impl {
  HANDLE process = nullptr;
};

TProcess::TProcess() : impl_(std::make_unique<Impl>()) {}
TProcess::~TProcess() { Wait(); }

bool TProcess::Start(const std::vector<std::string>& argv) {
  if (argv.empty() || impl_->process) return false;
  std::string commandLine;
  for (const auto& a : argv) {
    if (!commandLine.empty()) commandLine.push_back(' ');
    commandLine += QuoteArgument(a);
  }
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(argv[0].c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  impl_->process = pi.hProcess;
  return true;
}

int TProcess::Wait() {
  if (!impl_->process) return -1;
  WaitForSingleObject(impl_->process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(impl_->process, &code);
  CloseHandle(impl_->process);
  impl_->process = nullptr;
  return static_cast<int>(code);
}

int RunProcess(const std::vector<std::string>& argv) {
  TProcess p;
  if (!p.Start(argv)) return -1;
  return p.Wait();
}

}  // namespace vz::platform
