#include "metastock/MsLockFile.h"

#include "metastock/MsMasters.h"
#include "metastock/MsNumbers.h"
#include "metastock/MsUserFile.h"

namespace vz {

namespace lf = lckfile;

void MsDecodeLockFile(MsDirectory& dir, std::span<const uint8_t> bytes) {
  const TByteView v(bytes);
  if (v.Size() < kMsLockRecordSize) return;
  // The header holds only the low 8 bits of the count: when they agree with
  // the list, the list's count is meant (directories above 255 securities).
  const size_t countByte = lf::kCountLow.Get(v);
  const size_t listCount = dir.securities.size();
  size_t count = (listCount & 0xFF) == countByte ? listCount : std::min(listCount, countByte);
  count = std::min(count, v.Size() / kMsLockRecordSize - 1);
  for (size_t i = 0; i < count; ++i) {
    const TByteView r = v.Record(kMsLockRecordSize * (i + 1), kMsLockRecordSize);
    dir.securities[i].lockFlags = lf::kFlags.GetI32(r);
    dir.securities[i].userMask = lf::kUserMask.GetI32(r);
  }
}

Bytes MsBuildLockFile(const MsDirectory& dir) {
  Bytes out(kMsLockRecordSize * (dir.securities.size() + 1), 0);
  TRecordWriter h(out.data(), kMsLockRecordSize);
  lf::kMagic.Put(h, kMsLockMagic);
  lf::kVersion.Put(h, static_cast<uint32_t>(dir.version));
  lf::kStamp.Put(h, dir.stamp);
  lf::kCountLow.Put(h, static_cast<uint32_t>(dir.securities.size()));
  for (size_t i = 0; i < dir.securities.size(); ++i) {
    TRecordWriter r(out.data() + kMsLockRecordSize * (i + 1), kMsLockRecordSize);
    lf::kFlags.Put(r, static_cast<uint32_t>(dir.securities[i].lockFlags));
    lf::kUserMask.Put(r, static_cast<uint32_t>(dir.securities[i].userMask));
  }
  return out;
}

int MsReadLockFile(MsDirectory& dir) {
  Bytes bytes;
  if (!dir.lockFile.ReadAll(bytes)) return 0;
  MsDecodeLockFile(dir, bytes);
  return 1;
}

int MsWriteLockFile(MsDirectory& dir) { return MsWriteWholeFile(dir.lockFile, MsBuildLockFile(dir)); }

int MsSetLock(MsDirectory& dir, MsSecurity& security, int32_t bits, bool on) {
  if (!dir.lockFile.IsOpen()) {
    platform::FileOpenMode mode;
    if (!dir.lockFile.Open(MsFindFile(dir.directory, kMsLockFileName), mode)) return 0;
  }
  const int32_t userBit = MsUserBit(dir);
  auto apply = [&]() {
    if (on) {
      security.lockFlags |= bits;
      security.userMask |= userBit;
    } else {
      security.lockFlags &= ~bits;
      security.userMask &= ~userBit;
    }
  };
  // The security's two bytes are read and written in place when the file
  // holds its record: the same result as rewriting the whole file, without
  // overwriting what other programs changed in other records meanwhile, and
  // cheap enough to do around every read.
  const ptrdiff_t index = &security - dir.securities.data();
  const uint64_t at = kMsLockRecordSize * (static_cast<uint64_t>(index) + 1);
  if (index >= 0 && static_cast<size_t>(index) < dir.securities.size() &&
      dir.lockFile.Size() >= static_cast<int64_t>(at + kMsLockRecordSize)) {
    uint8_t bytes[2] = {};
    size_t got = 0;
    if (dir.lockFile.ReadAt(at, bytes, 2, got) && got == 2) {
      security.lockFlags = bytes[0];
      security.userMask = bytes[1];
      apply();
      bytes[0] = static_cast<uint8_t>(security.lockFlags);
      bytes[1] = static_cast<uint8_t>(security.userMask);
      dir.lockFile.WriteAt(at, bytes, 2);
      return 1;
    }
  }
  MsReadLockFile(dir);
  apply();
  MsWriteLockFile(dir);
  return 1;
}

void MsClearStaleLocks(MsDirectory& dir) {
  for (MsSecurity& s : dir.securities) {
    if (!s.inUse || (s.lockFlags == 0 && s.userMask == 0)) continue;
    const int lockBits = CountBits(static_cast<uint32_t>(s.lockFlags & 0xFF));
    for (int slot = 0; slot < kMsSlotCount; ++slot)
      if (dir.slots[slot].id == 0) s.userMask &= ~(0x80 >> slot);
    if (lockBits != CountBits(static_cast<uint32_t>(s.userMask & 0xFF))) {
      s.lockFlags = 0;
      s.userMask = 0;
    }
  }
}

void MsReleaseOwnLocks(MsDirectory& dir) {
  const int32_t userBit = MsUserBit(dir);
  if (userBit == 0) return;
  for (MsSecurity& s : dir.securities) {
    if (s.inUse && (s.userMask & userBit)) {
      s.lockFlags = 0;
      s.userMask = 0;
    }
  }
}

}  // namespace vz
