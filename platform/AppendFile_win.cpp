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

}  // namespace

std::string AppendToFile(const std::string& path, const std::string& bytes) {
  // Without FILE_WRITE_DATA every write goes to the end of the file,
  // whoever else appends; the others may read, write and rename it
  // meanwhile (the log is rotated by renaming). FILE_READ_DATA is there for
  // the lock below only.
  HANDLE file = CreateFileW(WidePath(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Reason(GetLastError());
  // Writers also take turns on a byte far beyond any end of the file: a
  // system whose appends find the end and then write (Wine) would otherwise
  // let two writers put their lines at the same place. A lock that cannot
  // be had does not stop the line.
  OVERLAPPED turn{};
  turn.Offset = 0xFFFFFFFEu;
  turn.OffsetHigh = 0x7FFFFFFFu;
  const bool locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn) != FALSE;
  std::string problem;
  DWORD written = 0;
  if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) problem = Reason(GetLastError());
  else if (written != bytes.size()) problem = Reason(ERROR_DISK_FULL);
  if (locked) UnlockFileEx(file, 0, 1, 0, &turn);
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
  return Utf8Text(value.data(), n);
}

long CurrentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

}  // namespace vz::platform
