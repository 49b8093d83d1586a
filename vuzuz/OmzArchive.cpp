#include "vuzuz/OmzArchive.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "vuzuz/OmzEntryCodec.h"
#include "vuzuz/pkcmp/Pkcmp.h"

namespace vz::omz {

namespace {

// Entry header layout.
constexpr size_t kHeaderWord = 0;
constexpr size_t kHeaderName = 2;
constexpr size_t kHeaderMethod = 15;
constexpr size_t kHeaderLength = 21;
constexpr char kMethod[6] = {'O', 'R', 'C', 'M', 'P', '\0'};

constexpr uint64_t kMaxPackedSize = UINT32_MAX;  // the entry length field

}  // namespace

void PutEntryHeader(uint8_t* out, const std::string& name, uint32_t length) {
  std::memset(out, 0, kEntryHeaderSize);
  StoreU16(out + kHeaderWord, 1);
  std::memcpy(out + kHeaderName, name.data(), std::min(name.size(), kMaxEntryName));
  std::memcpy(out + kHeaderMethod, kMethod, sizeof kMethod);
  StoreU32(out + kHeaderLength, length);
}

bool IsValidEntryName(const std::string& name) {
  if (name.empty() || name.size() > kMaxEntryName || name == "." || name == "..") return false;
  for (unsigned char c : name)
    if (c <= 0x20 || c >= 0x7F || std::strchr("/\\:*?\"<>|", c)) return false;
  return true;
}

bool ParseEntryHeader(const uint8_t* in, EntryHeader& header, Failure& error) {
  if (LoadU16(in + kHeaderWord) != 1 || std::memcmp(in + kHeaderMethod, kMethod, sizeof kMethod) != 0)
    return Reject(error, Error::kNotEntryHeader, "not an archive entry header");
  const uint8_t* nameEnd = std::find(in + kHeaderName, in + kHeaderName + kEntryNameField, 0);
  if (nameEnd == in + kHeaderName + kEntryNameField)
    return Reject(error, Error::kEntryNameUnterminated, "entry name without terminator");
  header.name.assign(in + kHeaderName, nameEnd);
  if (!IsValidEntryName(header.name))
    return Reject(error, Error::kInvalidEntryName, "entry name is not a plain file name");
  header.length = LoadU32(in + kHeaderLength);
  return true;
}

bool AppendEntry(Bytes& archive, const std::string& name, ByteView file, char* implodeWork, Failure& error) {
  if (!IsValidEntryName(name))
    return Reject(error, Error::kInvalidEntryName, "\"" + name + "\" does not fit an entry name");
  if (file.empty()) return true;
  const size_t headerAt = archive.size();
  archive.resize(headerAt + kEntryHeaderSize);
  const unsigned result = ImplodeEntryData(file, implodeWork, archive);
  const size_t packed = archive.size() - headerAt - kEntryHeaderSize;
  if (result != pkcmp::kPkOk || packed > kMaxPackedSize) {
    archive.resize(headerAt);
    return Reject(error, Error::kCompressionFailed,
                  "compressing " + name + " failed with code " + std::to_string(result));
  }
  PutEntryHeader(archive.data() + headerAt, name, static_cast<uint32_t>(packed));
  return true;
}

bool BuildArchive(const std::vector<ArchiveFile>& files, char* implodeWork, Bytes& archive, Failure& error) {
  archive.clear();
  for (const auto& [name, bytes] : files)
    if (!AppendEntry(archive, name, bytes, implodeWork, error)) return false;
  return true;
}

bool NextEntry(TByteCursor& cursor, EntryHeader& header, ByteView& packed, Failure& error) {
  const size_t at = cursor.Pos();
  const std::string where = " at offset " + std::to_string(at);
  const uint8_t* raw = cursor.Take(kEntryHeaderSize);
  if (!raw) return Reject(error, Error::kEntryHeaderTruncated, "truncated entry header" + where);
  if (!ParseEntryHeader(raw, header, error)) {
    error.text += where;
    return false;
  }
  const uint8_t* data = cursor.Take(header.length);
  if (!data)
    return Reject(error, Error::kEntryPastEnd,
                  "entry " + header.name + where + " runs past the end of the archive");
  packed = ByteView(data, header.length);
  return true;
}

void ExpandEntry(ByteView packed, char* explodeWork, size_t maxExpanded, ArchiveEntry& entry) {
  entry.data.clear();
  const Expansion expansion = ExplodeEntryData(packed, explodeWork, maxExpanded, entry.data);
  entry.explodeResult = expansion.result;
  entry.expanded = expansion.result == pkcmp::kPkOk && !expansion.beyondLimit;
  entry.error = {};
  if (expansion.beyondLimit)
    Reject(entry.error, Error::kEntryTooLarge,
           "entry " + entry.name + " expands beyond " + std::to_string(maxExpanded) + " bytes");
  else if (!entry.expanded)
    Reject(entry.error, Error::kEntryDoesNotExpand,
           "entry " + entry.name + ": expanding failed with code " + std::to_string(expansion.result));
}

bool ReadArchive(ByteView archive, std::vector<ArchiveEntry>& entries, Failure& error, size_t maxExpanded) {
  entries.clear();
  std::vector<char> work(pkcmp::kExplodeWorkSize);
  TByteCursor cursor(archive);
  while (cursor.Remaining() > 0) {
    ArchiveEntry entry;
    entry.offset = cursor.Pos();
    EntryHeader header;
    ByteView packed;
    if (!NextEntry(cursor, header, packed, error)) return false;
    entry.name = header.name;
    entry.packedSize = header.length;
    ExpandEntry(packed, work.data(), maxExpanded, entry);
    entries.push_back(std::move(entry));
  }
  return true;
}

}  // namespace vz::omz
