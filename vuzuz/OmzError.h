#pragma once
// The library's one vocabulary of failures: why a GlobalServer file, an .omz
// archive or a file set was refused. Every function of this library that
// gives false records a Failure: an Error code saying which fault it met,
// for callers and tests that act on it, and a text for people that names
// the place (file, offset, symbol). The library records; the program
// decides what to show.
#include <cstdint>
#include <iosfwd>
#include <string>

namespace vz::omz {

// The codes, one line of meaning each.
enum class Error : uint8_t {
  kNone = 0,  // no fault recorded

  // Files on disk
  kCannotOpen,        // a file cannot be opened for reading, or is a folder
  kCannotRead,        // reading a file, or its size, failed
  kTooLarge,          // a file is larger than the reader takes
  kCannotWrite,       // a file cannot be created, written or flushed to the disk
  kCannotPutInPlace,  // a complete temporary cannot be renamed over its final name

  // What a writer refuses to store
  kInvalidBaseName,    // not 1 to 8 letters, digits, '_' or '-'
  kInvalidEntryName,   // not a plain file name of 1 to 12 characters
  kIncompleteSet,      // a file set without its descriptor or without data files
  kWrongCallOrder,     // an archive call while none (or another) is open
  kSymbolFieldShared,  // two symbols of one file would share a stored name
  kSymbolRunSplit,     // a symbol's ticks are not together in one run
  kTickSizeUnusable,   // a tick size that is not positive, finite and at least 10^-9
  kPriceUnstorable,    // a price that fits 32 bits at no tick size up to 1
  kDayUnstorable,      // a day outside 0..65535 (1899-12-30 to 2079-06-06)
  kMinuteUnstorable,   // a tick before its run's day or 65536 minutes or more after
  kTooManyTicks,       // more than 65535 ticks of one symbol in one file
  kTooManyRows,        // more rows of one name than a daily block counts
  kCompressionFailed,  // the codec refused to pack an entry

  // Archives (.omz)
  kEntryHeaderTruncated,  // the archive ends inside an entry header
  kNotEntryHeader,        // no word 1 or no "ORCMP" method where a header must be
  kEntryNameUnterminated, // the 13-byte name field holds no terminating zero
  kEntryPastEnd,          // an entry's length runs past the end of the archive
  kEntryDoesNotExpand,    // an entry's data is not a complete imploded stream
  kEntryTooLarge,         // an entry expands beyond what the reader takes
  kEntryEmpty,            // an entry expands to nothing

  // Daily data files (.DLY)
  kDailyHeaderTruncated,   // the file ends inside a block header
  kNoDailyBlock,           // no word 1 and mark 0xDE where a block must start
  kRecordCountBeyondFile,  // a block counts more records than the file holds, or fewer than 0
  kUnknownScaleCode,       // a price scale code no tick size has (daily and intraday)

  // Intraday data and index files (.DAT, .IDX)
  kNotIntradayData,    // shorter than its header, or blocks not of 512 bytes
  kIndexTruncated,     // the index is shorter than its header
  kNotIndexFile,       // the index header does not give 1024-byte nodes
  kIndexLevels,        // the level count is below a leaf or above 16
  kIndexBadPointer,    // the root or a child pointer is not a whole node of the file
  kIndexNodeTwice,     // a node is reached twice (a loop in the tree)
  kIndexNodeCount,     // a node holds no entries or more than its 47 slots
  kIndexLeafFlag,      // a node's leaf flag disagrees with its level
  kBlockBadPointer,    // a leaf points at no whole tick block of the data file
  kNoTickBlock,        // no byte 1 and mark 0xDE where a tick block must start
  kBlockKeyMismatch,   // a block's symbol, day or number differs from its index key
  kTickCount,          // a block's tick count is 0 or above 60
};

// One recorded failure.
struct Failure {
  Error code = Error::kNone;
  std::string text;
};

// Records a refusal and gives false: `return Reject(error, Error::k..., "...")`.
bool Reject(Failure& error, Error code, std::string text);

// The text (streams and test messages show the reason people read).
std::ostream& operator<<(std::ostream& out, const Failure& error);
// The code as its number (test messages).
std::ostream& operator<<(std::ostream& out, Error code);

}  // namespace vz::omz
