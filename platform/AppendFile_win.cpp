#include "platform/AppendFile.h"

#include <windows.h>

#include <system_error>

#include "platform/FileSystemWide.h"

namespace vz::platform {

namespace {

std::string Reason(DWORD error) {
  std::string text = std::system_category().message(static_cast<int>(error));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text;
}

std::string Utf8(const wchar_t* text, size_t size) {
  if (size == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::string AppendToFile(const std::string& path, const std::string& bytes) {
  // With only FILE_APPEND_DATA every write goes to the end of the file in
  // one step, whoever else appends; the others may read, write and rename
  // it meanwhile (the log is rotated by renaming).
  HANDLE file = CreateFileW(WidePath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Reason(GetLastError());
  std::string problem;
  DWORD written = 0;
  if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) problem = Reason(GetLastError());
  else if (written != bytes.size()) problem = Reason(ERROR_DISK_FULL);
  if (!CloseHandle(file) && problem.empty()) problem = Reason(GetLastError());
  return problem;
}

std::string EnvironmentText(const std::string& name) {
  const std::wstring wide = WidePath(name);
  const DWORD size = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD n = GetEnvironmentVariableW(wide.c_str(), value.data(), size);
  if (n == 0 || n >= size) return {};
  return Utf8(value.data(), n);
}

long CurrentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

}  // namespace vz::platform
