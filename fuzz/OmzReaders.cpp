// The readers of untrusted GlobalServer files: the archive walk with its
// expansion, the daily file, and the intraday data file through its index.
// The input is read three ways: as an archive (whose expanded entries go to
// the file readers by name), as a daily file, and as a data file and an index
// file joined as [uint32 data length][data][index].
#include <map>

#include "fuzz/FuzzTarget.h"
#include "vuzuz/OmzArchive.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzIndex.h"
#include "vuzuz/OmzIntraday.h"
#include "vuzuz/OmzSymbol.h"

namespace {

using namespace vz;
using namespace vz::omz;

void ReadIntraday(ByteView dat, ByteView idx) {
  IntradayContents contents;
  Failure error;
  if (ReadIntradayFiles(dat, idx, contents, error))
    for (const TickBlockInfo& block : contents.blocks) {
      const SymbolField field = MakeSymbolField(block.symbol);
      (void)FindIndexEntry(idx, MakeIndexKey(field.data(), block.day, block.block));
    }
  std::vector<IndexEntry> leaves;
  if (ReadIndexLeaves(idx, leaves, error) && !leaves.empty()) (void)FindIndexEntry(idx, leaves.back().key);
}

void ReadDaily(ByteView bytes) {
  std::vector<DailyBlock> blocks;
  Failure error;
  if (ReadDailyFile(bytes, blocks, error)) (void)DailyRowsOf(blocks);
}

}  // namespace

VZ_FUZZ_TARGET(OmzReaders) {
  const ByteView input(data, size);
  std::vector<ArchiveEntry> entries;
  Failure error;
  if (ReadArchive(input, entries, error, size_t{1} << 20)) {
    std::map<std::string, const Bytes*> byName;
    for (const ArchiveEntry& e : entries)
      if (e.expanded) byName[e.name] = &e.data;
    for (const auto& [name, bytes] : byName) {
      if (name.size() < 4) continue;
      const std::string stem = name.substr(0, name.size() - 4);
      const std::string ext = name.substr(name.size() - 4);
      if (ext == ".DLY") ReadDaily(*bytes);
      const auto idx = byName.find(stem + ".IDX");
      if (ext == ".DAT" && idx != byName.end()) ReadIntraday(*bytes, *idx->second);
    }
  }
  ReadDaily(input);
  if (size >= 4) {
    const size_t datLength = LoadU32(data) % (size - 4 + 1);
    ReadIntraday(input.subspan(4, datLength), input.subspan(4 + datLength));
  }
  return 0;
}
