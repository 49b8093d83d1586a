#pragma once
// The B-tree index file (base + ".IDX") of an intraday data file: 1024-byte
// nodes of 21-byte entries, keys of symbol field, day and block number.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bytes/ByteFields.h"
#include "vuzuz/OmzError.h"

namespace vz::omz {

constexpr size_t kIndexHeaderSize = 2048;
constexpr size_t kIndexNodeSize = 1024;
constexpr size_t kIndexEntrySize = 21;
constexpr size_t kIndexKeySize = 17;
constexpr size_t kIndexSlots = 47;
constexpr size_t kEntriesPerFullNode = 24;

using IndexKey = std::array<uint8_t, kIndexKeySize>;

struct IndexEntry {
  uint32_t pointer = 0;  // tick block offset (leaves) or child node offset
  IndexKey key{};
};

// Key bytes: the 12-byte symbol field, 0xDE, day and block big-endian.
IndexKey MakeIndexKey(const uint8_t* symbolField, uint16_t day, uint16_t block);

// Number of nodes for a level of m entries.
size_t NodesForEntries(size_t m);

// The whole index file for the leaf entries, in order: header, leaf level,
// upper levels, 0xFF padding, header fields filled in. `unixTime` goes into
// the time field.
Bytes BuildIndexFile(const std::vector<IndexEntry>& leaves, uint32_t unixTime);

// Reading back. The leaf entries in key order, found by walking the tree
// from its root; false for a malformed index (kIndexTruncated,
// kNotIndexFile, kIndexLevels, kIndexBadPointer, kIndexNodeTwice,
// kIndexNodeCount, kIndexLeafFlag).
bool ReadIndexLeaves(ByteView idx, std::vector<IndexEntry>& leaves, Failure& error);

// Finds the leaf entry with exactly this key by descending from the root.
std::optional<IndexEntry> FindIndexEntry(ByteView idx, const IndexKey& key);

}  // namespace vz::omz
