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
  // The security's lock bytes are read and written in place when the file
  // holds its whole record: the same result as rewriting the whole file,
  // without overwriting what other programs changed in other records
  // meanwhile, and cheap enough to do around every read (one read and one
  // write; the read itself tells whether the record is there).
  const ptrdiff_t index = &security - dir.securities.data();
  if (index >= 0 && static_cast<size_t>(index) < dir.securities.size()) {
    const uint64_t at = kMsLockRecordSize * (static_cast<uint64_t>(index) + 1);
    uint8_t bytes[kMsLockRecordSize];
    size_t got = 0;
    if (dir.lockFile.ReadSomeAt(at, bytes, sizeof bytes, got) && got == sizeof bytes) {
      const TByteView record(bytes, got);
      security.lockFlags = lf::kFlags.GetI32(record);
      security.userMask = lf::kUserMask.GetI32(record);
      apply();
      // The flags and the user mask lie side by side: one write.
      static_assert(lf::kUserMask.offset == lf::kFlags.End());
      TRecordWriter writer(bytes, got);
      lf::kFlags.Put(writer, static_cast<uint32_t>(security.lockFlags));
      lf::kUserMask.Put(writer, static_cast<uint32_t>(security.userMask));
      dir.lockFile.WriteAt(at + lf::kFlags.offset, bytes + lf::kFlags.offset, lf::kFlags.width + lf::kUserMask.width);
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
