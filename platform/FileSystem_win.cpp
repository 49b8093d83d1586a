#include "platform/FileSystem.h"

#include <windows.h>

#include "platform/FileSystemWide.h"

namespace vz::platform {

char PathSeparator() { return '\\'; }

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

bool RemoveFile(const std::string& path) { return DeleteFileW(WidePath(path).c_str()) != 0; }

bool SetReadOnly(const std::string& path, bool readOnly) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const DWORD wanted = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~FILE_ATTRIBUTE_READONLY);
  if (wanted != attributes) SetFileAttributesW(wide.c_str(), wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted);
  return true;
}

bool RestoreWritable(const std::string& path, const std::string&) { return SetReadOnly(path, false); }

bool EntryExists(const std::string& path) {
  return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool SetArchiveOnly(const std::string& path) {
  return SetFileAttributesW(WidePath(path).c_str(), FILE_ATTRIBUTE_ARCHIVE) != 0;
}

bool MoveFileOver(const std::string& from, const std::string& to) {
  return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace vz::platform
