#include "vuzuz/Omzcreate.h"

#include <system_error>

#include "vuzuz/OmzArchive.h"
#include "vuzuz/OmzFile.h"

namespace fs = std::filesystem;

namespace vz::omz {

namespace {
constexpr size_t kMaxSourceSize = size_t{1} << 30;
constexpr size_t kMaxArchiveSize = size_t{1} << 30;
constexpr size_t kMaxExtractedSize = size_t{1} << 30;

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}
}  // namespace

TOMZCompressor::TOMZCompressor(fs::path folder) : implodeWork_{}, explodeWork_{}, folder_(std::move(folder)) {}

TOMZCompressor::~TOMZCompressor() {
  if (archiveOpen_) DiscardArchive();
}

bool TOMZCompressor::Fail(Error code, const std::string& text) { return Reject(error_, code, text); }

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
  if (!IsValidBaseName(base)) return Fail(Error::kInvalidBaseName, "invalid base name \"" + base + "\"");
  const bool haveDaily = Exists(PathIn(folder_, base + ".DLY"));
  const bool haveIntraday = Exists(PathIn(folder_, base + ".DAT"));
  if (!Exists(PathIn(folder_, base)) || (!haveDaily && !haveIntraday)) {
    DeleteSet(base);
    return Fail(Error::kIncompleteSet, "the file set " + base + " is incomplete");
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
  const Failure entryError = error_;
  ok = OMZClose() && ok;
  if (!ok && entryError.code != Error::kNone) error_ = entryError;
  DeleteSet(base);
  return ok;
}

bool TOMZCompressor::OMZCreateEmpty(const std::string& base) {
  if (archiveOpen_) DiscardArchive();
  error_ = {};
  if (!IsValidBaseName(base)) return Fail(Error::kInvalidBaseName, "invalid base name \"" + base + "\"");
  archivePath_ = PathIn(folder_, base + ".omz");
  archiveTemp_ = TemporaryPathFor(archivePath_);
  archive_.clear();
  archive_.open(archiveTemp_, std::ios::binary | std::ios::trunc);
  if (!archive_) return Fail(Error::kCannotWrite, "cannot create " + archiveTemp_.string());
  archiveOpen_ = true;
  archiveGood_ = true;
  return true;
}

bool TOMZCompressor::OMZAdd(const std::string& path) {
  if (!archiveOpen_) return Fail(Error::kWrongCallOrder, "no archive is open");
  // The descriptor is passed as "base." so that its entry is named "base".
  std::string plain = path;
  if (!plain.empty() && plain.back() == '.') plain.pop_back();
  const fs::path file = fs::path(plain).is_absolute() ? fs::path(plain) : PathIn(folder_, plain);
  const std::string name = fs::path(plain).filename().string();
  Bytes source;
  Bytes entry;
  if (!ReadWholeFile(file, source, error_, kMaxSourceSize) ||
      !AppendEntry(entry, name, source, implodeWork_, error_)) {
    archiveGood_ = false;
    return false;
  }
  archive_.write(reinterpret_cast<const char*>(entry.data()), static_cast<std::streamsize>(entry.size()));
  if (!archive_) {
    archiveGood_ = false;
    return Fail(Error::kCannotWrite, "writing " + archiveTemp_.string() + " failed");
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
    if (archiveGood_) Reject(error_, Error::kCannotWrite, "writing " + archiveTemp_.string() + " failed");
    return Fail(error_.code, error_.text + "; " + archivePath_.string() + " left as it was");
  }
  return FlushToDisk(archiveTemp_, error_) && MoveIntoPlace(archiveTemp_, archivePath_, error_);
}

bool TOMZCompressor::OMZUnzip(const std::string& path) {
  if (archiveOpen_) return Fail(Error::kWrongCallOrder, "an archive is being built");
  error_ = {};
  const fs::path file = fs::path(path).is_absolute() ? fs::path(path) : PathIn(folder_, path);
  Bytes archive;
  if (!ReadWholeFile(file, archive, error_, kMaxArchiveSize)) return false;
  // The first fault is the one reported; a broken entry does not stop the
  // walk, a broken layout does.
  Failure firstError;
  auto keepFirst = [&firstError](const Failure& error) {
    if (firstError.code == Error::kNone) firstError = error;
  };
  TByteCursor cursor(archive);
  while (cursor.Remaining() > 0) {
    EntryHeader header;
    ByteView packed;
    if (!NextEntry(cursor, header, packed, error_)) {
      keepFirst({error_.code, error_.text + " in " + file.string()});
      break;
    }
    // Entries follow each other by their stored lengths, wherever the
    // expansion stopped reading.
    if (!ExtractEntry(header.name, packed)) keepFirst(error_);
  }
  error_ = firstError;
  return error_.code == Error::kNone;
}

bool TOMZCompressor::ExtractEntry(const std::string& name, ByteView packed) {
  ArchiveEntry entry;
  entry.name = name;
  ExpandEntry(packed, explodeWork_, kMaxExtractedSize, entry);
  if (!entry.expanded) return Fail(entry.error.code, entry.error.text);
  if (entry.data.empty()) return Fail(Error::kEntryEmpty, "entry " + name + ": expands to nothing");
  return WriteFileAtomically(PathIn(folder_, name), entry.data, error_);
}

}  // namespace vz::omz
