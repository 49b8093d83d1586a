#pragma once
// The working copies of the list while the directory is open: ~MSFL.SEC
// (the list in list order) and ~MSFL.INX (sorted by symbol).
#include "metastock/MsField.h"

namespace vz {

// ~MSFL.SEC: a 178-byte header and one 178-byte record per security.
constexpr size_t kMsSecurityRecordSize = 178;
constexpr uint32_t kMsSecurityMagic = 0x4D15FE5D;

namespace secfile {

// Header.
constexpr MsField kMagic{0, 4};
constexpr MsField kVersion{4, 2};
constexpr MsField kStamp{6, 4};
constexpr MsField kCount{10, 4};           // records (int32)
constexpr MsField kInUseCount{14, 4};
constexpr MsField kOne{18, 4};             // 1
constexpr MsField kCountAgain{22, 4};      // the same count
constexpr MsField kNextFileNumber{26, 4};  // last file number + 1
constexpr MsField kNotice{30, 42};         // notice text, terminated
constexpr MsField kVersionAgain{75, 2};

// Record.
constexpr MsField kMark{0, 1};              // 1
constexpr MsField kRecordNumber{1, 2};
constexpr MsField kSymbol{5, 15};           // terminated: 14 characters
constexpr MsField kName{20, 46};            // terminated: 45 characters
constexpr MsField kPeriod{66, 1};
constexpr MsField kInterval{67, 2};
constexpr MsField kFileNumber{69, 2};
constexpr MsField kAuxByte{73, 1};
constexpr MsField kFieldMask{74, 1};
constexpr MsField kFirstDateCopy{108, 4};   // packed date, not read back
constexpr MsField kFirstDate{112, 4};       // packed date
constexpr MsField kFirstTime{116, 4};       // packed time
constexpr MsField kLastDate{120, 4};
constexpr MsField kLastTime{124, 4};
constexpr MsField kDayStart{128, 4};        // packed time
constexpr MsField kDayEnd{132, 4};
constexpr MsField kDeleted{146, 1};         // 1 when not in use
constexpr MsField kPreviousRecord{162, 4};  // record number, 0 for the first
constexpr MsField kNextRecord{166, 4};      // record number, 0 for the last

}  // namespace secfile

// ~MSFL.INX: a 38-byte header and one 38-byte record per security.
constexpr size_t kMsIndexRecordSize = 38;
constexpr uint32_t kMsIndexMagic = 0x4D1DFE5D;

namespace inxfile {

// Header.
constexpr MsField kMagic{0, 4};
constexpr MsField kVersion{4, 2};
constexpr MsField kStamp{6, 4};
constexpr MsField kCountLow{10, 1};  // the count's low 8 bits

// Record.
constexpr MsField kSymbol{0, 30};  // terminated, zero filled
constexpr MsField kReserved{30, 1};
constexpr MsField kPeriod{31, 1};  // upper case
constexpr MsField kInterval{32, 2};
constexpr MsField kRecordNumber{34, 2};

}  // namespace inxfile
}  // namespace vz
