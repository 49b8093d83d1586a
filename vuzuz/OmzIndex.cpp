#include "vuzuz/OmzIndex.h"

#include <algorithm>
#include <set>

#include "vuzuz/OmzHeaderFields.h"
#include "vuzuz/OmzNumbers.h"
#include "vuzuz/OmzSymbol.h"

namespace vz::omz {

namespace {

// Index header fields filled in when the file is finished.
constexpr size_t kIdxFileLast = 0x000;
constexpr size_t kIdxNodesLast = 0x008;
constexpr size_t kIdxNodeSizeField = 0x00C;
constexpr size_t kIdxEntryCount = 0x018;
constexpr size_t kIdxRoot = 0x01C;
constexpr size_t kIdxFirstNode = 0x048;
constexpr size_t kIdxLevelCounter = 0x06C;
constexpr size_t kIdxTime = 0x070;

// Node layout.
constexpr size_t kNodeNext = 0;
constexpr size_t kNodePrev = 4;
constexpr size_t kNodeCount = 8;
constexpr size_t kNodeUsed = 10;
constexpr size_t kNodeLeafFlag = 17;
constexpr size_t kNodeSlots = 18;
constexpr size_t kNodeEndMark = 988;

// A leaf level alone counts as 5; each level above adds one.
constexpr uint32_t kLeafOnlyLevelCounter = 5;
constexpr uint32_t kMaxLevels = 16;

void PutIndexHeader(uint8_t* h) {
  PutHeaderFields(h,
                  {{0x00C, 4, 1024}, {0x028, 4, 0x04000081}, {0x02C, 4, 0x10000000}, {0x030, 4, 2},
                   {0x034, 2, 970}, {0x036, 2, 1006}, {0x03C, 1, 0x20}, {0x03D, 1, 2}, {0x03E, 1, 2},
                   {0x03F, 1, 4}, {0x040, 1, 1}, {0x042, 1, 17}, {0x05F, 1, 1}, {0x060, 1, 0xFF},
                   {0x064, 1, 8}, {0x400, 2, 0xFEFE}, {0x402, 4, 1024}, {0x406, 1, 9}, {0x40F, 1, 4},
                   {0x413, 1, 4}, {0x41F, 1, 0xFF}},
                  {{0x080, 896}, {0x420, 992}});
}

void PutEntry(uint8_t* p, const IndexEntry& e) {
  StoreU32(p, e.pointer);
  std::copy(e.key.begin(), e.key.end(), p + 4);
}

IndexEntry GetEntry(const uint8_t* p) {
  IndexEntry e;
  e.pointer = LoadU32(p);
  std::copy(p + 4, p + 4 + kIndexKeySize, e.key.begin());
  return e;
}

// Appends the nodes of one level to the file; returns the entries promoted to
// the level above (each node's last counted entry, pointing at the node).
std::vector<IndexEntry> WriteLevel(Bytes& file, std::vector<IndexEntry> level, bool leaf) {
  // Above the leaves the level's last key is the "infinite" key.
  if (!leaf) level.back().key.fill(0xFF);
  const size_t m = level.size();
  const size_t nodes = NodesForEntries(m);
  std::vector<IndexEntry> promoted;
  for (size_t i = 0; i < nodes; ++i) {
    const size_t offset = file.size();
    file.resize(offset + kIndexNodeSize, 0);
    uint8_t* node = file.data() + offset;
    const bool last = i + 1 == nodes;
    const size_t count = last ? m - kEntriesPerFullNode * (nodes - 1) : kEntriesPerFullNode;
    StoreU32(node + kNodeNext, last ? 0 : static_cast<uint32_t>(offset + kIndexNodeSize));
    StoreU32(node + kNodePrev, i == 0 ? 0 : static_cast<uint32_t>(offset - kIndexNodeSize));
    StoreU16(node + kNodeCount, static_cast<uint32_t>(count));
    StoreU16(node + kNodeUsed, static_cast<uint32_t>(count * kIndexEntrySize));
    StoreU8(node + kNodeLeafFlag, leaf ? 1 : 0);
    // Slots past the counted entries carry copies of the entries that follow.
    for (size_t j = 0; j < kIndexSlots && kEntriesPerFullNode * i + j < m; ++j)
      PutEntry(node + kNodeSlots + kIndexEntrySize * j, level[kEntriesPerFullNode * i + j]);
    if (last) std::fill_n(node + kNodeEndMark, kIndexKeySize, 0xFF);
    IndexEntry up = level[kEntriesPerFullNode * i + count - 1];
    up.pointer = static_cast<uint32_t>(offset);
    promoted.push_back(up);
  }
  return promoted;
}

struct IndexLayout {
  uint32_t root = 0;
  uint32_t levels = 0;
};

bool ValidNodeOffset(ByteView idx, uint32_t offset) {
  return offset >= kIndexHeaderSize && (offset - kIndexHeaderSize) % kIndexNodeSize == 0 &&
         static_cast<uint64_t>(offset) + kIndexNodeSize <= idx.size();
}

bool ReadLayout(ByteView idx, IndexLayout& layout, Failure& error) {
  if (idx.size() < kIndexHeaderSize) return Reject(error, Error::kIndexTruncated, "index file shorter than its header");
  if (LoadU32(idx.data() + kIdxNodeSizeField) != kIndexNodeSize)
    return Reject(error, Error::kNotIndexFile, "index header does not give 1024-byte nodes");
  layout.root = LoadU32(idx.data() + kIdxRoot);
  const uint32_t counter = LoadU32(idx.data() + kIdxLevelCounter);
  if (counter < kLeafOnlyLevelCounter || counter - 4 > kMaxLevels)
    return Reject(error, Error::kIndexLevels, "index level counter " + std::to_string(counter) + " out of range");
  layout.levels = counter - 4;
  if (!ValidNodeOffset(idx, layout.root))
    return Reject(error, Error::kIndexBadPointer,
                  "index root " + std::to_string(layout.root) + " is not a node of the file");
  return true;
}

class TLeafCollector {
public:
  TLeafCollector(ByteView idx, uint32_t levels, std::vector<IndexEntry>& leaves, Failure& error)
      : idx_(idx), levels_(levels), leaves_(leaves), error_(error) {}

  bool Visit(uint32_t offset, uint32_t depth) {
    if (!ValidNodeOffset(idx_, offset))
      return Reject(error_, Error::kIndexBadPointer, "index pointer " + std::to_string(offset) + " is not a node");
    if (!visited_.insert(offset).second)
      return Reject(error_, Error::kIndexNodeTwice, "index node " + std::to_string(offset) + " reached twice");
    const uint8_t* node = idx_.data() + offset;
    const size_t count = LoadU16(node + kNodeCount);
    if (count == 0 || count > kIndexSlots)
      return Reject(error_, Error::kIndexNodeCount,
                    "index node " + std::to_string(offset) + " has " + std::to_string(count) + " entries");
    const bool leaf = depth == levels_;
    if (node[kNodeLeafFlag] != (leaf ? 1 : 0))
      return Reject(error_, Error::kIndexLeafFlag, "index node " + std::to_string(offset) + " has the wrong leaf flag");
    for (size_t j = 0; j < count; ++j) {
      const IndexEntry e = GetEntry(node + kNodeSlots + kIndexEntrySize * j);
      if (leaf)
        leaves_.push_back(e);
      else if (!Visit(e.pointer, depth + 1))
        return false;
    }
    return true;
  }

private:
  ByteView idx_;
  uint32_t levels_;
  std::vector<IndexEntry>& leaves_;
  Failure& error_;
  std::set<uint32_t> visited_;
};

}  // namespace

IndexKey MakeIndexKey(const uint8_t* symbolField, uint16_t day, uint16_t block) {
  IndexKey key{};
  std::copy(symbolField, symbolField + kSymbolFieldWidth, key.begin());
  key[12] = 0xDE;
  // Stored big-endian so that keys compare bytewise as symbol, day, block.
  StoreU16(key.data() + 13, SwapBytes16(day));
  StoreU16(key.data() + 15, SwapBytes16(block));
  return key;
}

size_t NodesForEntries(size_t m) {
  size_t nodes = m / kEntriesPerFullNode;
  if (m % kEntriesPerFullNode == kEntriesPerFullNode - 1) ++nodes;
  if (m > 0 && nodes == 0) nodes = 1;
  return nodes;
}

Bytes BuildIndexFile(const std::vector<IndexEntry>& leaves, uint32_t unixTime) {
  Bytes file(kIndexHeaderSize, 0);
  PutIndexHeader(file.data());
  uint32_t levelCounter = kLeafOnlyLevelCounter;
  uint32_t root = 0;
  if (!leaves.empty()) {
    std::vector<IndexEntry> promoted = WriteLevel(file, leaves, true);
    while (promoted.size() > 1) {
      ++levelCounter;
      promoted = WriteLevel(file, promoted, false);
    }
    root = promoted.front().pointer;
  }
  const uint32_t nodesLast = static_cast<uint32_t>(file.size() - 1);
  PadToMultiple(file, 4096);
  uint8_t* h = file.data();
  StoreU32(h + kIdxFileLast, static_cast<uint32_t>(file.size() - 1));
  StoreU32(h + kIdxNodesLast, nodesLast);
  StoreU32(h + kIdxEntryCount, static_cast<uint32_t>(leaves.size()));
  StoreU32(h + kIdxRoot, root);
  StoreU32(h + kIdxFirstNode, kIndexHeaderSize);
  StoreU32(h + kIdxLevelCounter, levelCounter);
  StoreU32(h + kIdxTime, unixTime);
  return file;
}

bool ReadIndexLeaves(ByteView idx, std::vector<IndexEntry>& leaves, Failure& error) {
  leaves.clear();
  IndexLayout layout;
  if (!ReadLayout(idx, layout, error)) return false;
  TLeafCollector collector(idx, layout.levels, leaves, error);
  return collector.Visit(layout.root, 1);
}

std::optional<IndexEntry> FindIndexEntry(ByteView idx, const IndexKey& key) {
  IndexLayout layout;
  Failure error;
  if (!ReadLayout(idx, layout, error)) return std::nullopt;
  uint32_t offset = layout.root;
  for (uint32_t depth = 1; depth <= layout.levels; ++depth) {
    if (!ValidNodeOffset(idx, offset)) return std::nullopt;
    const uint8_t* node = idx.data() + offset;
    const size_t count = std::min<size_t>(LoadU16(node + kNodeCount), kIndexSlots);
    const bool leaf = depth == layout.levels;
    std::optional<IndexEntry> next;
    for (size_t j = 0; j < count && !next; ++j) {
      const IndexEntry e = GetEntry(node + kNodeSlots + kIndexEntrySize * j);
      if (leaf ? e.key == key : e.key >= key) next = e;
    }
    if (!next || leaf) return next;
    offset = next->pointer;
  }
  return std::nullopt;
}

}  // namespace vz::omz
