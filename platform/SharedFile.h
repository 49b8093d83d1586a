#pragma once
// Files opened with a sharing mode towards other programs, as MetaStock's
// working files need: an open that conflicts with another holder fails at
// once, without waiting.
//
// Windows uses the real share modes of CreateFile. Linux has none, so every
// open takes shared advisory locks (open file description locks) on a few
// bytes far beyond any data: "I read", "I write", "I deny read", "I deny
// write". An open first checks, under a short exclusive gate lock, that no
// other holder denies the access it asks for and that no other holder uses
// an access it denies; the answers are those of the Windows share table.
// Only programs that use these locks see them; the data is not protected
// from programs that ignore them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vz::platform {

enum class FileAccess { Read, Write, ReadWrite };
enum class FileShare { None, Read, ReadWrite };
enum class FileDisposition { OpenExisting, CreateAlways };
// What kind of failure the last Open or write met.
enum class FileError { None, NotFound, SharingViolation, AccessDenied, NotRegular, NoSpace, Other };

struct FileOpenMode {
  FileAccess access = FileAccess::ReadWrite;
  FileShare share = FileShare::ReadWrite;
  FileDisposition disposition = FileDisposition::OpenExisting;
  bool archive = false;      // Windows: create with the archive attribute
  bool allowRename = false;  // others (and we) may rename or delete it while open
  // POSIX: a file this open creates or truncates takes the read and write
  // permission bits of this file and the group of the folder it is in, so
  // that the people who share the folder can share the new file too
  // (ignored when empty, when the file is not ours to change, on Windows).
  std::string createLike;
};

class TSharedFile {
public:
  TSharedFile();
  ~TSharedFile();
  TSharedFile(TSharedFile&& other) noexcept;
  TSharedFile& operator=(TSharedFile&& other) noexcept;
  TSharedFile(const TSharedFile&) = delete;
  TSharedFile& operator=(const TSharedFile&) = delete;

  // Opens or creates the file; false when it cannot be opened, also when
  // another holder's sharing mode conflicts. CreateAlways truncates only
  // after the sharing check succeeded.
  bool Open(const std::string& path, const FileOpenMode& mode);
  void Close();
  bool IsOpen() const;

  // Size in bytes, -1 on failure.
  int64_t Size() const;
  // Reads the whole file from offset 0 into out (resized to what was read).
  bool ReadAll(std::vector<uint8_t>& out) const;
  // Reads up to size bytes at offset; `got` receives the count read.
  bool ReadAt(uint64_t offset, void* buffer, size_t size, size_t& got) const;
  // The same with one read of the system: `got` may stop short of both
  // `size` and the file's end (so a short count does not say the file ends
  // there); for callers that know how much they need and save the call that
  // would confirm the end.
  bool ReadSomeAt(uint64_t offset, void* buffer, size_t size, size_t& got) const;
  // Writes all bytes at offset.
  bool WriteAt(uint64_t offset, const void* data, size_t size);
  bool Truncate(uint64_t size);
  // Hands written data to the system (writes are unbuffered here, so this
  // is cheap); Sync also waits until it is on the disk.
  bool Flush();
  bool Sync();

  // Gives the open file the owner, group and permissions (POSIX) or the
  // access control list and attributes other than read-only (Windows) of
  // the file at `path`, as a replacement for it should have; what the
  // system does not allow (another owner without privilege) is left as it
  // is. False when the file at `path` cannot be examined.
  bool TakeAccessOf(const std::string& path);

  // Text and kind of the last failure of Open or of a write, for messages
  // (the system's reason: "Permission denied", "No space left on device").
  const std::string& ErrorText() const { return error_; }
  FileError ErrorKind() const { return errorKind_; }

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string error_;
  FileError errorKind_ = FileError::None;
};

// Test seam: while on, every write or truncation that would make a file
// longer fails as on a full disk (overwriting bytes already there still
// works, as it does on a real full disk). Process-wide; off by default.
void SimulateDiskFullForTesting(bool on);
bool DiskFullSimulated();

}  // namespace vz::platform
