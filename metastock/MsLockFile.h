#pragma once
// ~MSFL.LCK: a lock byte and a user-bit byte per security. The bytes inform
// other programs; they do not exclude anybody. Layout: MsWorkingFileLayout.h.
#include "bytes/ByteFields.h"
#include "metastock/MsDirectory.h"
#include "metastock/MsWorkingFileLayout.h"

namespace vz {

constexpr int32_t kMsLockReading = 0x10;

void MsDecodeLockFile(MsDirectory& dir, std::span<const uint8_t> bytes);
Bytes MsBuildLockFile(const MsDirectory& dir);
int MsReadLockFile(MsDirectory& dir);
int MsWriteLockFile(MsDirectory& dir);
// Sets (on) or clears bits and this program's user bit in the security's
// lock bytes, read-modify-write of the whole lock file; 0 when the lock file
// cannot be opened.
int MsSetLock(MsDirectory& dir, MsSecurity& security, int32_t bits, bool on);
void MsClearStaleLocks(MsDirectory& dir);
void MsReleaseOwnLocks(MsDirectory& dir);

}  // namespace vz
