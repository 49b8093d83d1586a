#pragma once
// ~MSFL.LCK: a lock byte and a user-bit byte per security. The bytes inform
// other programs; they do not exclude anybody.
//
// Format notes: a 37-byte header (magic 5D FE 17 4D, version at 4, stamp at
// 6, low 8 bits of the count at 10) and one 37-byte record per security in
// list order: lock flags at 0, user mask at 1.
#include "bytes/ByteFields.h"
#include "metastock/MsDirectory.h"

namespace vz {

constexpr size_t kMsLockRecordSize = 37;
constexpr uint32_t kMsLockMagic = 0x4D17FE5D;
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
