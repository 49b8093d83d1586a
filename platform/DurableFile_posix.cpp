#include "platform/DurableFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "platform/FileFault.h"

namespace vz::platform {

namespace {

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

std::error_code SyncPath(const std::filesystem::path& path, int flags) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return LastError();
  std::error_code result;
  if (::fsync(fd) != 0) result = LastError();
  ::close(fd);
  return result;
}

}  // namespace

std::error_code FlushFileToDisk(const std::filesystem::path& file) {
  // Write access: fsync of a descriptor opened for reading is not
  // guaranteed to flush everywhere. O_NONBLOCK keeps a fifo from blocking.
  if (const int injected = InjectedFileFault(FileOperation::Flush, file.string()))
    return std::error_code(injected, std::generic_category());
  return SyncPath(file, O_WRONLY | O_NONBLOCK);
}

std::error_code RenameDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (const int injected = InjectedFileFault(FileOperation::Rename, to.string()))
    return std::error_code(injected, std::generic_category());
  if (std::rename(from.c_str(), to.c_str()) != 0) return LastError();
  const std::filesystem::path folder = to.has_parent_path() ? to.parent_path() : std::filesystem::path(".");
  SyncPath(folder, O_RDONLY | O_DIRECTORY);
  return {};
}

}  // namespace vz::platform
