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

struct FileOpenMode {
  FileAccess access = FileAccess::ReadWrite;
  FileShare share = FileShare::ReadWrite;
  FileDisposition disposition = FileDisposition::OpenExisting;
  bool archive = false;      // Windows: create with the archive attribute
  bool allowRename = false;  // others (and we) may rename or delete it while open
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
  // Writes all bytes at offset.
  bool WriteAt(uint64_t offset, const void* data, size_t size);
  bool Truncate(uint64_t size);
  // Hands written data to the system (writes are unbuffered here, so this
  // is cheap); Sync also waits until it is on the disk.
  bool Flush();
  bool Sync();

  // Text of the last failure of Open, for messages.
  const std::string& ErrorText() const { return error_; }

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string error_;
};

}  // namespace vz::platform
