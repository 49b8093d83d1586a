#pragma once
// One security of a MetaStock directory's list, as the master and working
// files describe it.
#include <cstddef>
#include <cstdint>
#include <ctime>

#include "platform/SharedFile.h"

namespace vz {

// Period letters.
constexpr int32_t kMsPeriodDaily = 'D';
constexpr int32_t kMsPeriodIntraday = 'I';

// Longest symbol and name the list keeps.
constexpr size_t kMsSymbolChars = 14;
constexpr size_t kMsNameChars = 45;

struct MsSecurity {
  platform::TSharedFile dataFile;  // open only inside a price data read
  int32_t fileNumber = 0;          // n of F<n>.DAT / F<n>.MWD
  int32_t recordNumber = 0;        // 1-based position in ~MSFL.SEC
  int32_t inUse = 0;               // 0: deleted slot, kept in the list
  int32_t fieldCount = 0;          // 4-byte fields per price record
  int32_t fieldMask = 0;           // low byte: which fields the records hold
  int32_t recordCount = -1;        // price records as last read; -1 before
  int32_t auxByte = 0;             // carried between EMASTER and ~MSFL.SEC
  int32_t lockFlags = 0;           // lock byte of ~MSFL.LCK
  int32_t userMask = 0;            // user-bit byte of ~MSFL.LCK
  int32_t period = 0;              // 'D', 'I' or another letter
  int32_t interval = 0;            // intraday minutes, as stored
  std::tm first{};                 // first bar; full year in tm_year
  std::tm last{};                  // last bar
  int32_t dayStart = 0;            // seconds since midnight
  int32_t dayEnd = 0;
  char symbol[16] = {};  // at most 14 characters, terminated, trimmed
  int32_t hidden = 0;    // callers skip hidden records
  uint8_t reserved[36] = {};
  char name[64] = {};  // at most 45 characters, terminated, trimmed
};

}  // namespace vz
