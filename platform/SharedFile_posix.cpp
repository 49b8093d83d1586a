#include "platform/SharedFile.h"

#include "platform/FileFault.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <string>
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

bool SetLock(int fd, short type, off_t offset, off_t length = 1) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = offset;
  lock.l_len = length;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// True when another open file description holds any lock on the bytes.
bool OthersHold(int fd, off_t offset, off_t length = 1) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = offset;
  lock.l_len = length;
  if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

// The lock bytes kAccessRead .. kDenyWrite chosen by `bits` (bit 0 for
// kAccessRead, bit 1 for kAccessWrite, ...), one call per run of adjacent
// bytes: an open that reads and writes takes both access bytes at once.
template <class Call>
bool EachRun(unsigned bits, Call call) {
  for (int first = 0; first < 4;) {
    if ((bits & (1u << first)) == 0) {
      ++first;
      continue;
    }
    int end = first + 1;
    while (end < 4 && (bits & (1u << end)) != 0) ++end;
    if (!call(kAccessRead + first, static_cast<off_t>(end - first))) return false;
    first = end;
  }
  return true;
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

FileError KindOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return FileError::NotFound;
    case EACCES:
    case EPERM:
    case EROFS: return FileError::AccessDenied;
    case EISDIR:
    case ELOOP:
    case ENXIO:
    case ENODEV: return FileError::NotRegular;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FileError::NoSpace;
    default: return FileError::Other;
  }
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The permission bits of `like` (read and write only) and the group of the
// folder: the folder's sharing, for a file just created in it.
void ShareLike(int fd, const std::string& path, const std::string& like) {
  struct stat model {}, folder {}, own {};
  if (fstat(fd, &own) != 0) return;
  if (::stat(like.c_str(), &model) == 0) {
    const mode_t wanted = model.st_mode & 0666;
    if ((own.st_mode & 07777) != wanted && fchmod(fd, wanted) != 0) {
      // not ours to change: it keeps what the system gave it
    }
  }
  if (::stat(FolderOf(path).c_str(), &folder) == 0 && folder.st_gid != own.st_gid &&
      fchown(fd, static_cast<uid_t>(-1), folder.st_gid) != 0) {
    // not a member of the folder's group: the file keeps ours
  }
}

}  // namespace

struct TSharedFile::Impl {
  int fd = -1;
  std::string path;  // as opened, for the fault injection of the drills
};

TSharedFile::TSharedFile() : impl_(std::make_unique<Impl>()) {}
TSharedFile::~TSharedFile() { Close(); }
TSharedFile::TSharedFile(TSharedFile&& other) noexcept : impl_(std::make_unique<Impl>()) {
  std::swap(impl_, other.impl_);
  std::swap(error_, other.error_);
  std::swap(errorKind_, other.errorKind_);
}
TSharedFile& TSharedFile::operator=(TSharedFile&& other) noexcept {
  if (this != &other) {
    Close();
    std::swap(impl_, other.impl_);
    std::swap(error_, other.error_);
    std::swap(errorKind_, other.errorKind_);
  }
  return *this;
}

bool TSharedFile::Open(const std::string& path, const FileOpenMode& mode) {
  Close();
  error_.clear();
  errorKind_ = FileError::None;
  auto fail = [&](int error) {
    error_ = std::strerror(error);
    errorKind_ = KindOf(error);
    return false;
  };
  const bool wantRead = mode.access != FileAccess::Write;
  const bool wantWrite = mode.access != FileAccess::Read;
  // Writers open read-write as well so that they can take read locks.
  // Without O_NONBLOCK, opening a pipe would wait for its other end.
  int flags = (wantWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
  if (mode.disposition == FileDisposition::CreateAlways) {
    flags |= O_CREAT;
    if (const int injected = InjectedFileFault(FileOperation::Create, path)) return fail(injected);
  }
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return fail(errno);
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = "not a regular file (a folder, pipe or device)";
    errorKind_ = FileError::NotRegular;
    ::close(fd);
    return false;
  }
  fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);  // of the flags F_SETFL changes, only O_NONBLOCK was set
  const bool denyRead = mode.share == FileShare::None;
  const bool denyWrite = mode.share != FileShare::ReadWrite;
  const bool gated = wantWrite && TakeGate(fd);
  // Bits of the lock bytes, as EachRun numbers them.
  const auto bit = [](bool on, off_t byte) { return on ? 1u << (byte - kAccessRead) : 0u; };
  const unsigned checked = bit(wantRead, kDenyRead) | bit(wantWrite, kDenyWrite) | bit(denyRead, kAccessRead) |
                           bit(denyWrite, kAccessWrite);
  const unsigned taken = bit(wantRead, kAccessRead) | bit(wantWrite, kAccessWrite) | bit(denyRead, kDenyRead) |
                         bit(denyWrite, kDenyWrite);
  const bool conflict = !EachRun(checked, [fd](off_t byte, off_t length) { return !OthersHold(fd, byte, length); });
  const bool locked =
      !conflict && EachRun(taken, [fd](off_t byte, off_t length) { return SetLock(fd, F_RDLCK, byte, length); });
  if (gated) SetLock(fd, F_UNLCK, kGate);
  if (!locked) {
    error_ = "in use by another program (sharing violation)";
    errorKind_ = FileError::SharingViolation;
    ::close(fd);  // closing the description drops every lock it took
    return false;
  }
  if (mode.disposition == FileDisposition::CreateAlways) {
    if (ftruncate(fd, 0) != 0) {
      const int error = errno;
      ::close(fd);
      return fail(error);
    }
    if (!mode.createLike.empty()) ShareLike(fd, path, mode.createLike);
  }
  impl_->fd = fd;
  impl_->path = path;
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

bool TSharedFile::ReadSomeAt(uint64_t offset, void* buffer, size_t size, size_t& got) const {
  got = 0;
  if (!IsOpen()) return false;
  ssize_t n;
  do {
    n = ::pread(impl_->fd, buffer, size, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  if (n < 0) return false;
  got = static_cast<size_t>(n);
  return true;
}

bool TSharedFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (!IsOpen()) return false;
  if (const int injected = InjectedFileFault(FileOperation::Write, impl_->path)) {
    error_ = std::strerror(injected);
    errorKind_ = KindOf(injected);
    return false;
  }
  if (DiskFullSimulated() && static_cast<int64_t>(offset + size) > Size()) {
    error_ = std::strerror(ENOSPC);
    errorKind_ = FileError::NoSpace;
    return false;
  }
  const auto* in = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(impl_->fd, in + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      error_ = std::strerror(error);
      errorKind_ = KindOf(error);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool TSharedFile::Truncate(uint64_t size) {
  if (!IsOpen()) return false;
  // Only a longer file takes space: cutting one short cannot fail so.
  if (static_cast<int64_t>(size) > Size()) {
    if (const int injected = InjectedFileFault(FileOperation::Write, impl_->path)) {
      error_ = std::strerror(injected);
      errorKind_ = KindOf(injected);
      return false;
    }
  }
  if (DiskFullSimulated() && static_cast<int64_t>(size) > Size()) {
    error_ = std::strerror(ENOSPC);
    errorKind_ = FileError::NoSpace;
    return false;
  }
  return ftruncate(impl_->fd, static_cast<off_t>(size)) == 0;
}

bool TSharedFile::TakeAccessOf(const std::string& path) {
  struct stat model {};
  if (!IsOpen() || ::stat(path.c_str(), &model) != 0) return false;
  // Owner and group when allowed (as root, or the group alone when we are
  // a member of it); the permissions always, the file being ours.
  if (fchown(impl_->fd, model.st_uid, model.st_gid) != 0 &&
      fchown(impl_->fd, static_cast<uid_t>(-1), model.st_gid) != 0) {
    // keeps our own group
  }
  return fchmod(impl_->fd, model.st_mode & 07777) == 0;
}

bool TSharedFile::Flush() { return IsOpen(); }

bool TSharedFile::Sync() {
  if (!IsOpen()) return false;
  if (const int injected = InjectedFileFault(FileOperation::Flush, impl_->path)) {
    error_ = std::strerror(injected);
    errorKind_ = KindOf(injected);
    return false;
  }
  return fsync(impl_->fd) == 0;
}

}  // namespace vz::platform
