#pragma once
// The daily data file (base + ".DLY"): one block per run of rows with the same
// name, a 32-byte header and 26 bytes per row, prices in whole ticks.
//
// Prices: a block is written with one tick size, the one the scale code of
// its first row stands for. When a price of the block does not fit 32 bits
// at that size, the block uses the next coarser power of ten (scale code
// changed to match) up to 1; a price that fits at no size is an error. For
// rows whose tick size is a power of ten no coarser than 1, all alike within
// a run, and prices that fit, the bytes are those of the plain layout.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bytes/ByteFields.h"
#include "vuzuz/OmzError.h"
#include "vuzuz/OmzTypes.h"

namespace vz::omz {

constexpr size_t kDailyHeaderSize = 32;
constexpr size_t kDailyRecordSize = 26;

// Rows from `start` on whose name equals rows[start].name exactly.
size_t CountNameRun(const std::vector<DailyRow>& rows, size_t start);

// The file's bytes; false (and nothing usable) when a row cannot be stored
// right: a day outside 0..65535 (kDayUnstorable), a price that fits no tick
// size (kPriceUnstorable), a tick size that is not usable
// (kTickSizeUnusable), two names sharing a field (kSymbolFieldShared).
// With `leftOut`, such rows (and a name whose field another name has) are
// left out instead, named there one line per name, and the rest written;
// no rows left gives an empty file.
bool BuildDailyFile(const std::vector<DailyRow>& rows, Bytes& out, Failure& error,
                    std::vector<std::string>* leftOut = nullptr);

// Writes dir/(base + ".DLY"). An empty table writes no file and gives true.
bool WriteDailyFile(const std::filesystem::path& dir, const std::string& base,
                    const std::vector<DailyRow>& rows, Failure& error);

// Reading back.
struct DailyRecord {
  uint16_t day = 0;
  int32_t open = 0;
  int32_t high = 0;
  int32_t low = 0;
  int32_t close = 0;
  int32_t volume = 0;
};

struct DailyBlock {
  std::string name;  // text of the 12-byte field
  uint8_t scaleCode = 0;
  double tickSize = 0;
  std::vector<DailyRecord> records;
};

// Parses a .DLY file; false for anything that is not one
// (kDailyHeaderTruncated, kNoDailyBlock, kUnknownScaleCode,
// kRecordCountBeyondFile), the text naming the offset.
bool ReadDailyFile(ByteView bytes, std::vector<DailyBlock>& blocks, Failure& error);

// The rows a file holds, prices as ticks times the block's tick size.
std::vector<DailyRow> DailyRowsOf(const std::vector<DailyBlock>& blocks);

}  // namespace vz::omz
