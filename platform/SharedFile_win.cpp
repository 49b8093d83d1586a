#include "platform/SharedFile.h"

#include <windows.h>

#include "platform/FileSystemWide.h"

#include <algorithm>
#include <string>

namespace vz::platform {

namespace {

std::string ErrorMessage(DWORD code) {
  if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION)
    return "in use by another program (sharing violation)";
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return "not found";
  if (code == ERROR_ACCESS_DENIED) return "Access denied";
  if (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL) return "No space left on the disk";
  if (code == ERROR_WRITE_PROTECT) return "the disk is write-protected";
  return "Windows error " + std::to_string(code);
}

FileError KindOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return FileError::NotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return FileError::SharingViolation;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return FileError::AccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return FileError::NoSpace;
    default: return FileError::Other;
  }
}
}  // namespace

struct TSharedFile::Impl {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::string path;
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
  DWORD access = 0;
  if (mode.access != FileAccess::Write) access |= GENERIC_READ;
  if (mode.access != FileAccess::Read) access |= GENERIC_WRITE;
  if (mode.allowRename) access |= DELETE;
  DWORD share = 0;
  if (mode.share != FileShare::None) share |= FILE_SHARE_READ;
  if (mode.share == FileShare::ReadWrite) share |= FILE_SHARE_WRITE;
  if (mode.allowRename) share |= FILE_SHARE_DELETE;
  const DWORD disposition = mode.disposition == FileDisposition::CreateAlways ? CREATE_ALWAYS : OPEN_EXISTING;
  const DWORD attributes = mode.archive ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_NORMAL;
  HANDLE handle = CreateFileW(WidePath(path).c_str(), access, share, nullptr, disposition, attributes, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    error_ = ErrorMessage(code);
    errorKind_ = KindOf(code);
    // A folder is refused as access denied; it is no file at all.
    const DWORD found = code == ERROR_ACCESS_DENIED ? GetFileAttributesW(WidePath(path).c_str()) : 0;
    if (found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      error_ = "not a regular file (a folder)";
      errorKind_ = FileError::NotRegular;
    }
    return false;
  }
  // Pipes, devices and consoles open too; only disk files are files here.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    error_ = "not a regular file (a pipe or device)";
    errorKind_ = FileError::NotRegular;
    return false;
  }
  impl_->handle = handle;
  impl_->path = path;
  return true;
}

void TSharedFile::Close() {
  if (impl_ && impl_->handle != INVALID_HANDLE_VALUE) {
    CloseHandle(impl_->handle);
    impl_->handle = INVALID_HANDLE_VALUE;
  }
}

bool TSharedFile::IsOpen() const { return impl_ && impl_->handle != INVALID_HANDLE_VALUE; }

int64_t TSharedFile::Size() const {
  LARGE_INTEGER size{};
  if (!IsOpen() || !GetFileSizeEx(impl_->handle, &size)) return -1;
  return size.QuadPart;
}

bool TSharedFile::ReadAt(uint64_t offset, void* buffer, size_t size, size_t& got) const {
  got = 0;
  if (!IsOpen()) return false;
  auto* out = static_cast<char*>(buffer);
  while (got < size) {
    OVERLAPPED at{};
    const uint64_t position = offset + got;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - got, 1u << 30));
    DWORD n = 0;
    if (!ReadFile(impl_->handle, out + got, chunk, &n, &at)) return GetLastError() == ERROR_HANDLE_EOF;
    if (n == 0) break;
    got += n;
  }
  return true;
}

bool TSharedFile::ReadSomeAt(uint64_t offset, void* buffer, size_t size, size_t& got) const {
  got = 0;
  if (!IsOpen()) return false;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD n = 0;
  if (!ReadFile(impl_->handle, buffer, static_cast<DWORD>(std::min<size_t>(size, 1u << 30)), &n, &at))
    return GetLastError() == ERROR_HANDLE_EOF;
  got = n;
  return true;
}

bool TSharedFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (!IsOpen()) return false;
  if (DiskFullSimulated() && static_cast<int64_t>(offset + size) > Size()) {
    error_ = ErrorMessage(ERROR_DISK_FULL);
    errorKind_ = FileError::NoSpace;
    return false;
  }
  const auto* in = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    OVERLAPPED at{};
    const uint64_t position = offset + done;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    DWORD n = 0;
    if (!WriteFile(impl_->handle, in + done, chunk, &n, &at) || n == 0) {
      const DWORD code = n == 0 ? GetLastError() : ERROR_DISK_FULL;
      error_ = ErrorMessage(code);
      errorKind_ = KindOf(code);
      return false;
    }
    done += n;
  }
  return true;
}

bool TSharedFile::Truncate(uint64_t size) {
  if (!IsOpen()) return false;
  if (DiskFullSimulated() && static_cast<int64_t>(size) > Size()) {
    error_ = ErrorMessage(ERROR_DISK_FULL);
    errorKind_ = FileError::NoSpace;
    return false;
  }
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(impl_->handle, position, nullptr, FILE_BEGIN) && SetEndOfFile(impl_->handle);
}

bool TSharedFile::Flush() { return IsOpen(); }

bool TSharedFile::TakeAccessOf(const std::string& path) {
  if (!IsOpen()) return false;
  const std::wstring from = WidePath(path);
  const std::wstring to = WidePath(impl_->path);
  const DWORD attributes = GetFileAttributesW(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  // Setting security and attributes needs no data access, so our own
  // exclusive handle does not stand in the way.
  DWORD needed = 0;
  GetFileSecurityW(from.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed > 0) {
    std::string descriptor(needed, '\0');
    if (GetFileSecurityW(from.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed))
      SetFileSecurityW(to.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
  }
  const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  SetFileAttributesW(to.c_str(), kept == 0 ? FILE_ATTRIBUTE_NORMAL : kept);
  return true;
}

bool TSharedFile::Sync() { return IsOpen() && FlushFileBuffers(impl_->handle); }

}  // namespace vz::platform
