#pragma once
// MASTER: a 53-byte header and one 53-byte record per security (file
// numbers up to 255).
#include "metastock/MsField.h"

namespace vz {

constexpr size_t kMsMasterRecordSize = 53;

namespace masterfile {

// Header.
constexpr MsField kCount{0, 2};           // records that follow (uint16)
constexpr MsField kLastFileNumber{2, 2};  // highest file number given out (uint16)
constexpr MsField kStamp{49, 4};          // the directory's stamp when last written

// Record.
constexpr MsField kFileNumber{0, 1};
constexpr MsField kMark{1, 1};          // kMarkValue in a record this program creates
constexpr MsField kRecordLength{3, 1};  // bytes per price record: field count x 4
constexpr MsField kFieldCount{4, 1};
constexpr MsField kName{7, 16};         // the name's first 16 characters, space padded
constexpr MsField kFirstDate{25, 4};    // MBF date
constexpr MsField kLastDate{29, 4};     // MBF date
constexpr MsField kPeriod{33, 1};       // period letter
constexpr MsField kInterval{34, 2};     // minutes (uint16)
constexpr MsField kSymbol{36, 14};      // space padded
constexpr MsField kSpaces{50, 2};       // two spaces in a record this program creates
constexpr uint8_t kMarkValue = 0x65;

}  // namespace masterfile
}  // namespace vz
