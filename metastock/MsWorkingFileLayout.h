#pragma once
// The working files of the sharing protocol: ~MSFL.USR (the registered
// programs) and ~MSFL.LCK (lock bytes per security).
#include "metastock/MsField.h"

namespace vz {

// ~MSFL.USR: a 71-byte header and one 71-byte record per slot.
constexpr size_t kMsUserRecordSize = 71;
constexpr uint32_t kMsUserMagic = 0x4D01FE5D;

namespace usrfile {

// Header.
constexpr MsField kMagic{0, 4};
constexpr MsField kVersion{4, 2};
constexpr MsField kStamp{6, 4};
constexpr MsField kUserCount{10, 2};    // registered programs
constexpr MsField kSlotCount{12, 2};    // records that follow
constexpr MsField kOne{16, 1};          // 1
constexpr MsField kDate{17, 11};        // "Feb 21 2002", no terminator
constexpr MsField kVersionText{29, 5};  // "v1.00" for version 100

// Record; a free slot is all zeros.
constexpr MsField kRegistered{0, 1};  // 1
constexpr MsField kSlotId{1, 2};      // low 16 bits of the stamp at registration
constexpr MsField kNames{5, 66};      // "application:user", terminated

}  // namespace usrfile

// ~MSFL.LCK: a 37-byte header and one 37-byte record per security, in list
// order.
constexpr size_t kMsLockRecordSize = 37;
constexpr uint32_t kMsLockMagic = 0x4D17FE5D;

namespace lckfile {

// Header.
constexpr MsField kMagic{0, 4};
constexpr MsField kVersion{4, 2};
constexpr MsField kStamp{6, 4};
constexpr MsField kCountLow{10, 1};  // the count's low 8 bits

// Record.
constexpr MsField kFlags{0, 1};     // lock bits (kMsLockReading)
constexpr MsField kUserMask{1, 1};  // the user bits of the programs that set them

}  // namespace lckfile
}  // namespace vz
