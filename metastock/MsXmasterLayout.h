#pragma once
// XMASTER: the securities with file numbers above 255, a 150-byte header
// and one 150-byte record each.
#include "metastock/MsField.h"

namespace vz {

constexpr size_t kMsXmasterRecordSize = 150;
constexpr uint32_t kMsXmasterMagic = 0x4D58FE5D;

namespace xmasterfile {

// Header.
constexpr MsField kMagic{0, 4};
constexpr MsField kCount{10, 2};           // records that follow (uint16)
constexpr MsField kCountAgain{14, 2};      // the same count
constexpr MsField kNextFileNumber{18, 2};  // above every file number given out
constexpr MsField kNotice{22, 42};         // notice text, terminated

// Record.
constexpr MsField kMark{0, 1};             // 1 in every valid record
constexpr MsField kSymbol{1, 15};          // zero padded; kMsSymbolChars are kept
constexpr MsField kName{16, 46};           // zero padded; kMsNameChars are kept
constexpr MsField kPeriod{62, 1};          // period letter
constexpr MsField kInterval{63, 2};
constexpr MsField kFileNumber{65, 2};
constexpr MsField kFieldMask{70, 1};
constexpr MsField kFirstDateCopy{104, 4};  // packed date, written into new records only
constexpr MsField kFirstDate{108, 4};      // packed date
constexpr MsField kLastDate{116, 4};       // packed date

}  // namespace xmasterfile
}  // namespace vz
