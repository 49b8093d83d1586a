#include "vuzuz/OmzArchive.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "vuzuz/pkcmp/Pkcmp.h"

namespace vz::omz {

namespace {

// Entry header layout.
constexpr size_t kHeaderWord = 0;
constexpr size_t kHeaderName = 2;
constexpr size_t kHeaderMethod = 15;
constexpr size_t kHeaderLength = 21;
constexpr char kMethod[6] = {'O', 'R', 'C', 'M', 'P', '\0'};

// Moves bytes between a span and a growing buffer for the codec.
struct MemoryStreams {
  ByteView input;
  size_t read = 0;
  Bytes* output = nullptr;
  size_t limit = 0;
  bool overflow = false;
};

unsigned int ReadMemory(char* buffer, unsigned int* size, void* param) {
  auto* s = static_cast<MemoryStreams*>(param);
  const size_t n = std::min<size_t>(*size, s->input.size() - s->read);
  std::memcpy(buffer, s->input.data() + s->read, n);
  s->read += n;
  return static_cast<unsigned int>(n);
}

void WriteMemory(char* buffer, unsigned int* size, void* param) {
  auto* s = static_cast<MemoryStreams*>(param);
  const size_t room = s->limit - s->output->size();
  const size_t n = std::min<size_t>(*size, room);
  if (n < *size) s->overflow = true;
  s->output->insert(s->output->end(), buffer, buffer + n);
  *size = static_cast<unsigned int>(n);  // fewer: the codec stops
}

}  // namespace

bool BuildArchive(const std::vector<ArchiveFile>& files, char* implodeWork, Bytes& archive, std::string& error) {
  archive.clear();
  for (const auto& [name, bytes] : files) {
    if (bytes.empty()) continue;
    const size_t headerAt = archive.size();
    archive.resize(headerAt + kEntryHeaderSize);
    MemoryStreams streams{ByteView(bytes.data(), bytes.size()), 0, &archive, SIZE_MAX};
    unsigned int type = pkcmp::kPkBinary, dictSize = 1024;
    const unsigned int result = pkcmp::implode(ReadMemory, WriteMemory, implodeWork, &streams, &type, &dictSize);
    const size_t packed = archive.size() - headerAt - kEntryHeaderSize;
    if (result != pkcmp::kPkOk || packed > UINT32_MAX) {
      error = "cannot compress " + name;
      return false;
    }
    PutEntryHeader(archive.data() + headerAt, name, static_cast<uint32_t>(packed));
  }
  return true;
}

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

bool ParseEntryHeader(const uint8_t* in, EntryHeader& header, std::string& error) {
  if (LoadU16(in + kHeaderWord) != 1 || std::memcmp(in + kHeaderMethod, kMethod, sizeof kMethod) != 0) {
    error = "not an archive entry header";
    return false;
  }
  const uint8_t* nameEnd = std::find(in + kHeaderName, in + kHeaderName + kEntryNameField, 0);
  if (nameEnd == in + kHeaderName + kEntryNameField) {
    error = "entry name without terminator";
    return false;
  }
  header.name.assign(in + kHeaderName, nameEnd);
  if (!IsValidEntryName(header.name)) {
    error = "entry name is not a plain file name";
    return false;
  }
  header.length = LoadU32(in + kHeaderLength);
  return true;
}

bool ReadArchive(ByteView archive, std::vector<ArchiveEntry>& entries, std::string& error, size_t maxExpanded) {
  entries.clear();
  std::vector<char> work(pkcmp::kExplodeWorkSize);
  TByteCursor cursor(archive);
  while (cursor.Remaining() > 0) {
    const size_t at = cursor.Pos();
    const uint8_t* raw = cursor.Take(kEntryHeaderSize);
    EntryHeader header;
    if (!raw) {
      error = "truncated entry header at offset " + std::to_string(at);
      return false;
    }
    if (!ParseEntryHeader(raw, header, error)) {
      error += " at offset " + std::to_string(at);
      return false;
    }
    const uint8_t* packed = cursor.Take(header.length);
    if (!packed) {
      error = "entry " + header.name + " at offset " + std::to_string(at) + " runs past the end of the archive";
      return false;
    }
    ArchiveEntry entry;
    entry.name = header.name;
    entry.offset = at;
    entry.packedSize = header.length;
    MemoryStreams streams{ByteView(packed, header.length), 0, &entry.data, maxExpanded, false};
    entry.explodeResult = pkcmp::explode(ReadMemory, WriteMemory, work.data(), &streams);
    entry.expanded = entry.explodeResult == pkcmp::kPkOk && !streams.overflow;
    entries.push_back(std::move(entry));
  }
  return true;
}

}  // namespace vz::omz
