#pragma once
// The .omz archive layout: a plain sequence of entries, each a 25-byte header
// (word 1, 13-byte zero-terminated name, "ORCMP\0", uint32 length) followed by
// that many bytes of imploded data. Reading here is in memory and treats the
// archive as untrusted.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bytes/ByteFields.h"

namespace vz::omz {

constexpr size_t kEntryHeaderSize = 25;
constexpr size_t kEntryNameField = 13;
constexpr size_t kMaxEntryName = kEntryNameField - 1;

struct EntryHeader {
  std::string name;
  uint32_t length = 0;
};

void PutEntryHeader(uint8_t* out, const std::string& name, uint32_t length);

// One file of a set, held in memory: its entry name and its bytes.
using ArchiveFile = std::pair<std::string, Bytes>;

// The archive of a file set, built in memory: for each non-empty file, in
// order, an entry header naming it and the file imploded (binary, 1024-byte
// dictionary). The same bytes as packing the files from disk, without
// writing, reading back and deleting them. implodeWork holds
// pkcmp::kImplodeWorkSize bytes. False with a message when a file cannot be
// compressed.
bool BuildArchive(const std::vector<ArchiveFile>& files, char* implodeWork, Bytes& archive, std::string& error);

// Decodes one header; false with a message when the bytes are not an entry
// header or the name could leave the folder (separators, "..", controls).
bool ParseEntryHeader(const uint8_t* in, EntryHeader& header, std::string& error);

// A name that may be stored in an entry and used as a file name.
bool IsValidEntryName(const std::string& name);

struct ArchiveEntry {
  std::string name;
  uint64_t offset = 0;      // of the entry header
  uint32_t packedSize = 0;  // compressed bytes
  bool expanded = false;    // data holds the whole file
  unsigned explodeResult = 0;
  Bytes data;
};

// Walks every entry and expands it. Entries larger than maxExpanded bytes
// stop expanding there (expanded false). False with a message for a broken
// layout (a truncated header, a length beyond the end); an entry that does
// not expand is listed with expanded false and the walk goes on.
bool ReadArchive(ByteView archive, std::vector<ArchiveEntry>& entries, std::string& error,
                 size_t maxExpanded = size_t{64} << 20);

}  // namespace vz::omz
