#pragma once
// EMASTER: a 192-byte header and one 192-byte record per security (file
// numbers up to 255), with more detail than MASTER: the field mask, long
// name, times of day.
#include "metastock/MsField.h"

namespace vz {

constexpr size_t kMsEmasterRecordSize = 192;

namespace emasterfile {

// Header.
constexpr MsField kCount{0, 2};           // records that follow (uint16)
constexpr MsField kLastFileNumber{2, 2};  // highest file number given out (uint16)
constexpr MsField kStamp{49, 4};          // the directory's stamp when last written
constexpr MsField kNotice{53, 42};        // notice text, terminated

// Record.
constexpr MsField kMark{0, 2};         // "66" in a record this program creates
constexpr MsField kFileNumber{2, 1};
constexpr MsField kFieldCount{6, 1};
constexpr MsField kFieldMask{7, 2};
constexpr MsField kSpace{9, 1};        // a space in a record this program creates
constexpr MsField kSymbol{11, 14};     // zero padded, terminated only when shorter
constexpr MsField kShortName{32, 16};  // the name's first 16 characters, zero padded
constexpr MsField kPeriod{60, 2};      // period letter (uint16)
constexpr MsField kInterval{62, 2};    // minutes (uint16)
constexpr MsField kFirstDate{64, 4};   // float date
constexpr MsField kFirstTime{68, 4};   // float time
constexpr MsField kLastDate{72, 4};    // float date
constexpr MsField kLastTime{76, 4};    // float time
constexpr MsField kDayStart{80, 4};    // float time
constexpr MsField kDayEnd{84, 4};      // float time
constexpr MsField kFirstPackedDate{126, 4};
constexpr MsField kAuxByte{130, 1};    // carried to and from ~MSFL.SEC, not read
constexpr MsField kLongName{139, 53};  // at most kMsNameChars, terminated, zero padded

}  // namespace emasterfile
}  // namespace vz
