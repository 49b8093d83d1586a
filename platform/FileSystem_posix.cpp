#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileFault.h"

namespace vz::platform {

char PathSeparator() { return '/'; }

bool EndsWithSeparator(const std::string& path) { return !path.empty() && path.back() == '/'; }

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool SetReadOnly(const std::string& path, bool readOnly) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
  if (mode != (st.st_mode & 07777)) ::chmod(path.c_str(), mode);
  return true;
}

bool RestoreWritable(const std::string& path, const std::string& like) {
  struct stat st {}, model {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  mode_t mode = (st.st_mode & 07777) | S_IWUSR;
  if (::stat(like.c_str(), &model) == 0) mode |= model.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH);
  if (mode != (st.st_mode & 07777)) ::chmod(path.c_str(), mode);
  return true;
}

bool EntryExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsReadOnly(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool SetArchiveOnly(const std::string& path) { return SetReadOnly(path, false); }

bool MoveFileOver(const std::string& from, const std::string& to) {
  if (const int injected = InjectedFileFault(FileOperation::Rename, to)) {
    errno = injected;
    return false;
  }
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace vz::platform
