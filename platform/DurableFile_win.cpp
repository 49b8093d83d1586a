#include "platform/DurableFile.h"

#include <windows.h>

namespace vz::platform {

namespace {

std::error_code LastError() { return std::error_code(static_cast<int>(GetLastError()), std::system_category()); }

}  // namespace

std::error_code FlushFileToDisk(const std::filesystem::path& file) {
  const HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  std::error_code result;
  if (!FlushFileBuffers(h)) result = LastError();
  CloseHandle(h);
  return result;
}

std::error_code RenameDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return LastError();
  return {};
}

}  // namespace vz::platform
