#pragma once
// The intraday data file (base + ".DAT") of 512-byte tick blocks and its
// index (base + ".IDX").
//
// Prices: a tick stores its price as a 16-bit difference in ticks from the
// block's base price. When every price of a symbol run lies within 16 bits
// of the run's first price, all blocks hold 60 ticks and share that base
// price (the plain layout). Otherwise the run takes the finest coarser power
// of ten at which every price is a whole number of ticks and every
// difference fits 16 bits (an index future in whole points), again 60 ticks
// a block on one base. Only where no such tick exists does each block take
// its own first price as its base, closed early where the next difference
// would not fit, so every price stays exact to the tick size. Where a price
// does not fit 32 bits in ticks the run uses a coarser power of ten, shown
// by the scale code.
// Minutes outside 0..65535 from the run's day, days outside 0..65535 and a
// run of more than 65535 ticks are errors, never stored cut.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "bytes/ByteFields.h"
#include "vuzuz/OmzError.h"
#include "vuzuz/OmzTypes.h"

namespace vz::omz {

constexpr size_t kDataHeaderSize = 3072;
constexpr size_t kTickBlockSize = 512;
constexpr size_t kTicksPerBlock = 60;
constexpr size_t kFileUnit = 4096;

struct IntradayImage {
  Bytes dat;
  Bytes idx;
};

// Both files' bytes. `unixTime` is the creation and finishing time stamped in
// the headers. The symbol runs are written in the byte order of their stored
// 12-byte names (the index keys ascend whatever the input order); a symbol
// must form one run. False when a tick cannot be stored right
// (kInvalidBaseName, kTooManyTicks, kDayUnstorable, kMinuteUnstorable,
// kTickSizeUnusable, kPriceUnstorable, kSymbolFieldShared, kSymbolRunSplit);
// with `leftOut`, such a symbol's run is left out instead, one line per run
// there, and the others are written (no files at all when none is left).
bool BuildIntradayFiles(const std::string& base, std::span<const Tick> ticks, uint32_t unixTime,
                        IntradayImage& out, Failure& error, std::vector<std::string>* leftOut = nullptr);

// Writes dir/(base + ".DAT") and dir/(base + ".IDX"), stamped with the current
// time. No ticks: no files, true.
bool WriteIntradayFiles(const std::filesystem::path& dir, const std::string& base,
                        std::span<const Tick> ticks, Failure& error);

// Reading back.
struct TickBlockInfo {
  uint32_t offset = 0;
  std::string symbol;  // text of the 12-byte field
  uint16_t day = 0;
  uint16_t block = 0;
  uint8_t count = 0;
  uint8_t scaleCode = 0;
  uint16_t cumulative = 0;
  int32_t basePrice = 0;
  int16_t lastDifference = 0;
};

struct IntradayContents {
  std::vector<TickBlockInfo> blocks;  // in index order
  std::vector<Tick> ticks;            // symbol = field text, size = block tick size
};

// Finds every tick block through the index tree and decodes it; false for
// malformed files (kNotIntradayData, the index faults of ReadIndexLeaves,
// kBlockBadPointer, kNoTickBlock, kBlockKeyMismatch, kTickCount,
// kUnknownScaleCode), the text naming the offset.
bool ReadIntradayFiles(ByteView dat, ByteView idx, IntradayContents& out, Failure& error);

}  // namespace vz::omz
