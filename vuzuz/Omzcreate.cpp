#include "vuzuz/Omzcreate.h"

#include <algorithm>
#include <array>
#include <system_error>

#include "vuzuz/OmzArchive.h"
#include "vuzuz/OmzFile.h"

namespace fs = std::filesystem;

namespace vz::omz {

namespace {
constexpr unsigned int kDictionarySize = 1024;
constexpr uint64_t kMaxSourceSize = uint64_t{1} << 30;
constexpr uint64_t kMaxPackedSize = UINT32_MAX;    // the entry length field
constexpr uint64_t kMaxExtractedSize = uint64_t{1} << 30;

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}
}  // namespace

TOMZCompressor::TOMZCompressor(fs::path folder) : implodeWork_{}, explodeWork_{}, folder_(std::move(folder)) {}

TOMZCompressor::~TOMZCompressor() {
  if (archiveOpen_) DiscardArchive();
}

bool TOMZCompressor::Fail(const std::string& text) {
  error_ = text;
  return false;
}

void TOMZCompressor::DeleteSet(const std::string& base) {
  std::error_code ec;
  for (const char* ext : {"", ".DLY", ".DAT", ".IDX"}) fs::remove(PathIn(folder_, base + ext), ec);
}

void TOMZCompressor::DiscardArchive() {
  archive_.close();
  archiveOpen_ = false;
  std::error_code ec;
  fs::remove(archiveTemp_, ec);
}

bool TOMZCompressor::OMZCreate(const std::string& base, bool /*flag*/) {
  if (!IsValidBaseName(base)) return Fail("invalid base name \"" + base + "\"");
  const bool haveDaily = Exists(PathIn(folder_, base + ".DLY"));
  const bool haveIntraday = Exists(PathIn(folder_, base + ".DAT"));
  if (!Exists(PathIn(folder_, base)) || (!haveDaily && !haveIntraday)) {
    DeleteSet(base);
    return Fail("the file set " + base + " is incomplete");
  }
  if (!OMZCreateEmpty(base)) return false;
  bool ok = OMZAdd(base + ".");
  if (ok && haveDaily) ok = OMZAdd(base + ".DLY");
  if (ok && haveIntraday) {
    ok = OMZAdd(base + ".DAT");
    if (ok && Exists(PathIn(folder_, base + ".IDX"))) ok = OMZAdd(base + ".IDX");
  }
  // On a failed entry the close discards the new archive; the error of the
  // entry is the one to report.
  const std::string entryError = error_;
  ok = OMZClose() && ok;
  if (!ok && !entryError.empty()) error_ = entryError;
  DeleteSet(base);
  return ok;
}

bool TOMZCompressor::OMZCreateEmpty(const std::string& base) {
  if (archiveOpen_) DiscardArchive();
  error_.clear();
  if (!IsValidBaseName(base)) return Fail("invalid base name \"" + base + "\"");
  archivePath_ = PathIn(folder_, base + ".omz");
  archiveTemp_ = TemporaryPathFor(archivePath_);
  archive_.clear();
  archive_.open(archiveTemp_, std::ios::binary | std::ios::trunc);
  if (!archive_) return Fail("cannot create " + archiveTemp_.string());
  archiveOpen_ = true;
  archiveGood_ = true;
  return true;
}

bool TOMZCompressor::OMZAdd(const std::string& path) {
  if (!archiveOpen_) return Fail("no archive is open");
  // The descriptor is passed as "base." so that its entry is named "base".
  std::string plain = path;
  if (!plain.empty() && plain.back() == '.') plain.pop_back();
  const fs::path file = fs::path(plain).is_absolute() ? fs::path(plain) : PathIn(folder_, plain);
  const std::string name = fs::path(plain).filename().string();
  if (!IsValidEntryName(name)) {
    archiveGood_ = false;
    return Fail("\"" + name + "\" does not fit an entry name");
  }

  source_.clear();
  source_.open(file, std::ios::binary);
  if (!source_) {
    archiveGood_ = false;
    return Fail("cannot open " + file.string());
  }
  source_.seekg(0, std::ios::end);
  const std::streamoff size = source_.tellg();
  source_.seekg(0);
  if (size <= 0 || static_cast<uint64_t>(size) > kMaxSourceSize) {
    source_.close();
    if (size == 0) return true;  // an empty file gets no entry
    archiveGood_ = false;
    return Fail("cannot read the size of " + file.string());
  }

  std::array<uint8_t, kEntryHeaderSize> header;
  const std::streamoff start = archive_.tellp();
  PutEntryHeader(header.data(), name, 0);
  archive_.write(reinterpret_cast<const char*>(header.data()), kEntryHeaderSize);

  sourceRemaining_ = static_cast<uint64_t>(size);
  outputLimit_ = kMaxPackedSize;
  readFailed_ = false;
  writeFailed_ = false;
  TOMZCompressor* self = this;
  unsigned int type = pkcmp::kPkBinary;
  unsigned int dictionary = kDictionarySize;
  const unsigned int rc = pkcmp::implode(ReadSourceCallback, WriteArchiveCallback, implodeWork_, &self, &type,
                                         &dictionary);
  source_.close();

  // The header is rewritten with the true length, so the archive can be
  // walked up to this entry whatever happened inside it.
  const std::streamoff end = archive_.tellp();
  const uint64_t length = start >= 0 && end >= start + 25 ? static_cast<uint64_t>(end - start - 25) : 0;
  PutEntryHeader(header.data(), name, static_cast<uint32_t>(length));
  archive_.seekp(start);
  archive_.write(reinterpret_cast<const char*>(header.data()), kEntryHeaderSize);
  archive_.seekp(end);

  if (rc != pkcmp::kPkOk && !writeFailed_) {
    archiveGood_ = false;
    return Fail("compressing " + name + " failed with code " + std::to_string(rc));
  }
  if (!writeFailed_ && (readFailed_ || sourceRemaining_ != 0)) {
    archiveGood_ = false;
    return Fail("reading " + file.string() + " failed");
  }
  if (writeFailed_ || !archive_ || start < 0 || end < 0) {
    archiveGood_ = false;
    return Fail("writing " + archiveTemp_.string() + " failed");
  }
  return true;
}

bool TOMZCompressor::OMZClose() {
  if (!archiveOpen_) return true;
  archive_.flush();
  archive_.close();
  archiveOpen_ = false;
  std::error_code ec;
  if (!archiveGood_ || archive_.fail()) {
    fs::remove(archiveTemp_, ec);
    if (archiveGood_) error_ = "writing " + archiveTemp_.string() + " failed";
    return Fail(error_ + "; " + archivePath_.string() + " left as it was");
  }
  std::string why;
  return (FlushToDisk(archiveTemp_, why) && MoveIntoPlace(archiveTemp_, archivePath_, why)) || Fail(why);
}

bool TOMZCompressor::OMZUnzip(const std::string& path) {
  if (archiveOpen_) return Fail("an archive is being built");
  error_.clear();
  const fs::path file = fs::path(path).is_absolute() ? fs::path(path) : PathIn(folder_, path);
  source_.clear();
  source_.open(file, std::ios::binary);
  if (!source_) return Fail("cannot open " + file.string());
  source_.seekg(0, std::ios::end);
  const std::streamoff sizeOff = source_.tellg();
  source_.seekg(0);
  if (sizeOff < 0) {
    source_.close();
    return Fail("cannot read the size of " + file.string());
  }
  const uint64_t size = static_cast<uint64_t>(sizeOff);
  bool result = true;
  uint64_t pos = 0;
  std::string firstError;
  while (pos < size) {
    std::array<uint8_t, kEntryHeaderSize> raw;
    EntryHeader header;
    std::string why;
    if (size - pos < kEntryHeaderSize) {
      why = "truncated entry header";
    } else if (!source_.read(reinterpret_cast<char*>(raw.data()), kEntryHeaderSize)) {
      why = "read error";
    } else if (ParseEntryHeader(raw.data(), header, why) && header.length > size - pos - kEntryHeaderSize) {
      why = "entry " + header.name + " runs past the end of the archive";
    }
    if (!why.empty()) {
      if (firstError.empty()) firstError = why + " at offset " + std::to_string(pos) + " of " + file.string();
      result = false;
      break;
    }
    const uint64_t next = pos + kEntryHeaderSize + header.length;
    if (!ExtractEntry(header.name, header.length)) {
      if (firstError.empty()) firstError = error_;
      result = false;
    }
    // Entries follow each other by their stored lengths, wherever the
    // decompression stopped reading.
    pos = next;
    source_.clear();
    source_.seekg(static_cast<std::streamoff>(pos));
  }
  source_.close();
  error_ = firstError;
  return result;
}

bool TOMZCompressor::ExtractEntry(const std::string& name, uint64_t length) {
  const fs::path target = PathIn(folder_, name);
  const fs::path temp = TemporaryPathFor(target);
  archive_.clear();
  archive_.open(temp, std::ios::binary | std::ios::trunc);
  if (!archive_) return Fail("cannot create " + temp.string());
  sourceRemaining_ = length;
  outputLimit_ = kMaxExtractedSize;
  readFailed_ = false;
  writeFailed_ = false;
  TOMZCompressor* self = this;
  const unsigned int rc = pkcmp::explode(ReadSourceCallback, WriteArchiveCallback, explodeWork_, &self);
  const std::streamoff written = archive_.tellp();
  archive_.close();
  std::error_code ec;
  std::string why;
  if (rc != pkcmp::kPkOk && !writeFailed_)
    why = "expanding failed with code " + std::to_string(rc);
  else if (readFailed_)
    why = "read error";
  else if (writeFailed_ || archive_.fail())
    why = "cannot write " + temp.string();
  else if (written <= 0)
    why = "expands to nothing";
  if (!why.empty()) {
    fs::remove(temp, ec);
    return Fail("entry " + name + ": " + why);
  }
  return MoveIntoPlace(temp, target, why) || Fail(why);
}

unsigned int TOMZCompressor::ReadSourceCallback(char* buffer, unsigned int* size, void* param) {
  TOMZCompressor* self = *static_cast<TOMZCompressor**>(param);
  const uint64_t want = std::min<uint64_t>(*size, self->sourceRemaining_);
  if (want == 0) return 0;
  self->source_.read(buffer, static_cast<std::streamsize>(want));
  const std::streamsize got = self->source_.gcount();
  if (static_cast<uint64_t>(got) < want) self->readFailed_ = true;
  self->sourceRemaining_ -= static_cast<uint64_t>(got);
  return static_cast<unsigned int>(got);
}

void TOMZCompressor::WriteArchiveCallback(char* buffer, unsigned int* size, void* param) {
  TOMZCompressor* self = *static_cast<TOMZCompressor**>(param);
  // A refused write (size 0) stops the codec at once.
  if (*size > self->outputLimit_) {
    self->writeFailed_ = true;
    *size = 0;
    return;
  }
  self->outputLimit_ -= *size;
  self->archive_.write(buffer, *size);
  if (!self->archive_) {
    self->writeFailed_ = true;
    *size = 0;
  }
}

}  // namespace vz::omz
