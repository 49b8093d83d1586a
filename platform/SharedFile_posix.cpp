#include "platform/SharedFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace vz::platform {

namespace {

// Lock bytes far beyond any data; advisory locks do not affect I/O.
constexpr off_t kLockBase = std::numeric_limits<off_t>::max() - 16;
constexpr off_t kGate = kLockBase;
constexpr off_t kAccessRead = kLockBase + 1;
constexpr off_t kAccessWrite = kLockBase + 2;
constexpr off_t kDenyRead = kLockBase + 3;
constexpr off_t kDenyWrite = kLockBase + 4;

bool SetLock(int fd, short type, off_t offset) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = offset;
  lock.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// True when another open file description holds any lock on the byte.
bool OthersHold(int fd, off_t offset) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = offset;
  lock.l_len = 1;
  if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

// The gate serialises the check-then-lock of concurrent opens. It is held for
// microseconds, so a busy gate is retried briefly instead of failing.
bool TakeGate(int fd) {
  for (int attempt = 0; attempt < 500; ++attempt) {
    if (SetLock(fd, F_WRLCK, kGate)) return true;
    if (errno != EAGAIN && errno != EACCES) return false;
    timespec pause{0, 1000000};
    nanosleep(&pause, nullptr);
  }
  return false;
}

}  // namespace

struct TSharedFile::Impl {
  int fd = -1;
};

TSharedFile::TSharedFile() : impl_(std::make_unique<Impl>()) {}
TSharedFile::~TSharedFile() { Close(); }
TSharedFile::TSharedFile(TSharedFile&& other) noexcept : impl_(std::make_unique<Impl>()) {
  std::swap(impl_, other.impl_);
  std::swap(error_, other.error_);
}
TSharedFile& TSharedFile::operator=(TSharedFile&& other) noexcept {
  if (this != &other) {
    Close();
    std::swap(impl_, other.impl_);
    std::swap(error_, other.error_);
  }
  return *this;
}

bool TSharedFile::Open(const std::string& path, const FileOpenMode& mode) {
  Close();
  error_.clear();
  const bool wantRead = mode.access != FileAccess::Write;
  const bool wantWrite = mode.access != FileAccess::Read;
  // Writers open read-write as well so that they can take read locks.
  int flags = (wantWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  if (mode.disposition == FileDisposition::CreateAlways) flags |= O_CREAT;
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = "not a regular file";
    ::close(fd);
    return false;
  }
  const bool denyRead = mode.share == FileShare::None;
  const bool denyWrite = mode.share != FileShare::ReadWrite;
  const bool gated = wantWrite && TakeGate(fd);
  bool conflict = (wantRead && OthersHold(fd, kDenyRead)) || (wantWrite && OthersHold(fd, kDenyWrite)) ||
                  (denyRead && OthersHold(fd, kAccessRead)) || (denyWrite && OthersHold(fd, kAccessWrite));
  bool locked = !conflict;
  if (locked && wantRead) locked = SetLock(fd, F_RDLCK, kAccessRead);
  if (locked && wantWrite) locked = SetLock(fd, F_RDLCK, kAccessWrite);
  if (locked && denyRead) locked = SetLock(fd, F_RDLCK, kDenyRead);
  if (locked && denyWrite) locked = SetLock(fd, F_RDLCK, kDenyWrite);
  if (gated) SetLock(fd, F_UNLCK, kGate);
  if (!locked) {
    error_ = "in use by another program (sharing violation)";
    ::close(fd);  // closing the description drops every lock it took
    return false;
  }
  if (mode.disposition == FileDisposition::CreateAlways && ftruncate(fd, 0) != 0) {
    error_ = std::strerror(errno);
    ::close(fd);
    return false;
  }
  impl_->fd = fd;
  return true;
}

void TSharedFile::Close() {
  if (impl_ && impl_->fd >= 0) {
    ::close(impl_->fd);
    impl_->fd = -1;
  }
}

bool TSharedFile::IsOpen() const { return impl_ && impl_->fd >= 0; }

int64_t TSharedFile::Size() const {
  struct stat st {};
  if (!IsOpen() || fstat(impl_->fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool TSharedFile::ReadAt(uint64_t offset, void* buffer, size_t size, size_t& got) const {
  got = 0;
  if (!IsOpen()) return false;
  auto* out = static_cast<char*>(buffer);
  while (got < size) {
    const ssize_t n = ::pread(impl_->fd, out + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return true;
}

bool TSharedFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (!IsOpen()) return false;
  const auto* in = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(impl_->fd, in + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool TSharedFile::Truncate(uint64_t size) { return IsOpen() && ftruncate(impl_->fd, static_cast<off_t>(size)) == 0; }

bool TSharedFile::Flush() { return IsOpen(); }

bool TSharedFile::Sync() { return IsOpen() && fsync(impl_->fd) == 0; }

}  // namespace vz::platform
