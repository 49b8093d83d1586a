#pragma once
// The .omz archive layout: a plain sequence of entries, each a 25-byte header
// (word 1, 13-byte zero-terminated name, "ORCMP\0", uint32 length) followed by
// that many bytes of imploded data. This is the one entry writer and the one
// entry reader, in memory; TOMZCompressor packs and extracts file sets on
// disk through them. Archives read here are untrusted.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bytes/ByteFields.h"
#include "vuzuz/OmzError.h"

namespace vz::omz {

constexpr size_t kEntryHeaderSize = 25;
constexpr size_t kEntryNameField = 13;
constexpr size_t kMaxEntryName = kEntryNameField - 1;

struct EntryHeader {
  std::string name;
  uint32_t length = 0;
};

void PutEntryHeader(uint8_t* out, const std::string& name, uint32_t length);

// Decodes one header; false when the bytes are not an entry header or the
// name could leave the folder (separators, "..", controls).
bool ParseEntryHeader(const uint8_t* in, EntryHeader& header, Failure& error);

// A name that may be stored in an entry and used as a file name.
bool IsValidEntryName(const std::string& name);

// Appends one entry to `archive`: its header and `file` imploded. An empty
// file adds nothing. implodeWork holds pkcmp::kImplodeWorkSize bytes. False
// (kInvalidEntryName, kCompressionFailed) leaves `archive` as it was.
bool AppendEntry(Bytes& archive, const std::string& name, ByteView file, char* implodeWork, Failure& error);

// One file of a set, held in memory: its entry name and its bytes.
using ArchiveFile = std::pair<std::string, Bytes>;

// The archive of a file set, built in memory: an entry for each non-empty
// file, in order. The same bytes as packing the files from disk, without
// writing, reading back and deleting them.
bool BuildArchive(const std::vector<ArchiveFile>& files, char* implodeWork, Bytes& archive, Failure& error);

// Takes the next entry from `cursor`: its header and its packed bytes, which
// lie inside the archive. False at a broken layout (kEntryHeaderTruncated,
// kNotEntryHeader, kEntryNameUnterminated, kInvalidEntryName,
// kEntryPastEnd), the text naming the offset; call only while bytes remain.
bool NextEntry(TByteCursor& cursor, EntryHeader& header, ByteView& packed, Failure& error);

struct ArchiveEntry {
  std::string name;
  uint64_t offset = 0;      // of the entry header
  uint32_t packedSize = 0;  // compressed bytes
  bool expanded = false;    // data holds the whole file
  unsigned explodeResult = 0;
  Failure error;              // why it did not expand (kEntryDoesNotExpand, kEntryTooLarge)
  Bytes data;
};

// Expands one entry's packed bytes into entry.data, at most maxExpanded
// bytes; entry.expanded and entry.error tell how it went.
void ExpandEntry(ByteView packed, char* explodeWork, size_t maxExpanded, ArchiveEntry& entry);

// Walks every entry and expands it. False for a broken layout, with the
// entries before it listed; an entry that does not expand is listed with
// expanded false and the walk goes on.
bool ReadArchive(ByteView archive, std::vector<ArchiveEntry>& entries, Failure& error,
                 size_t maxExpanded = size_t{64} << 20);

}  // namespace vz::omz
