#include "metastock/MsUserFile.h"

#include <algorithm>
#include <cstring>

#include "metastock/MsMasters.h"

namespace vz {

namespace uf = usrfile;

namespace {

void ClearSlot(MsSlot& slot) { slot = MsSlot{}; }

template <size_t n>
void CopyName(char (&field)[n], const std::string& text) {
  std::memset(field, 0, n);
  std::memcpy(field, text.data(), std::min(text.size(), n - 1));
}

}  // namespace

bool MsUserFileLooksValid(std::span<const uint8_t> bytes) {
  const TByteView v(bytes);
  return v.Size() >= kMsUserRecordSize && uf::kMagic.Get(v) == kMsUserMagic;
}

bool MsDecodeUserFile(MsDirectory& dir, std::span<const uint8_t> bytes) {
  const TByteView v(bytes);
  if (v.Size() < kMsUserRecordSize) return false;
  dir.stamp = uf::kStamp.Get(v);
  dir.slotCount = std::min<int32_t>(uf::kSlotCount.GetI32(v), kMsSlotCount);
  dir.userCount = std::min<int32_t>(uf::kUserCount.GetI32(v), kMsSlotCount);
  dir.mySlot = -1;
  for (int32_t s = 0; s < dir.slotCount; ++s) {
    const TByteView r = v.Record(kMsUserRecordSize * (s + 1), kMsUserRecordSize);
    MsSlot& slot = dir.slots[s];
    if (r.Failed()) continue;  // record missing: the slot stays as it was
    if (uf::kRegistered.Get(r) == 0) {
      // A free slot is written as zero bytes; forgetting it here keeps a
      // program that has closed from being written back by a later closer.
      ClearSlot(slot);
      continue;
    }
    slot.id = static_cast<uint16_t>(uf::kSlotId.Get(r));
    const std::string text = uf::kNames.GetText(r);
    const size_t colon = text.find(':');
    CopyName(slot.app, text.substr(0, colon));
    CopyName(slot.user, colon == std::string::npos ? std::string() : text.substr(colon + 1));
    if (std::strcmp(slot.app, dir.appName) == 0 && std::strcmp(slot.user, dir.userName) == 0) {
      if (dir.mySlot < 0) {
        dir.mySlot = s;
      } else {
        // A duplicate of this program's registration.
        --dir.userCount;
        ClearSlot(slot);
      }
    }
  }
  dir.userCount = std::max<int32_t>(dir.userCount, 0);
  return true;
}

Bytes MsBuildUserFile(const MsDirectory& dir) {
  const int32_t slots = std::clamp<int32_t>(dir.slotCount, 0, kMsSlotCount);
  Bytes out(kMsUserRecordSize * (slots + 1), 0);
  TRecordWriter h(out.data(), kMsUserRecordSize);
  uf::kMagic.Put(h, kMsUserMagic);
  uf::kVersion.Put(h, static_cast<uint32_t>(dir.version));
  uf::kStamp.Put(h, dir.stamp);
  uf::kUserCount.Put(h, static_cast<uint32_t>(dir.userCount));
  uf::kSlotCount.Put(h, static_cast<uint32_t>(slots));
  uf::kOne.Put(h, 1);
  uf::kDate.PutText(h, "Feb 21 2002");
  const int32_t v = dir.version < 0 ? 0 : dir.version;
  const char versionText[6] = {'v', static_cast<char>('0' + (v / 100) % 10), '.', static_cast<char>('0' + (v / 10) % 10),
                               static_cast<char>('0' + v % 10), 0};
  uf::kVersionText.PutText(h, versionText);
  for (int32_t s = 0; s < slots; ++s) {
    const MsSlot& slot = dir.slots[s];
    if (slot.app[0] == '\0') continue;
    TRecordWriter r(out.data() + kMsUserRecordSize * (s + 1), kMsUserRecordSize);
    uf::kRegistered.Put(r, 1);
    uf::kSlotId.Put(r, slot.id);
    const std::string text = std::string(slot.app) + ":" + slot.user;
    uf::kNames.PutText(r, text.c_str(), uf::kNames.width - 1);  // terminated
  }
  return out;
}

int MsReadUserFile(MsDirectory& dir) {
  const bool openedHere = !dir.userFile.IsOpen();
  if (openedHere) {
    platform::FileOpenMode mode;
    mode.share = platform::FileShare::Read;
    if (!dir.userFile.Open(MsFindFile(dir.directory, kMsUserFileName), mode)) return 0;
  }
  Bytes bytes;
  const bool read = dir.userFile.ReadAll(bytes) && MsDecodeUserFile(dir, bytes);
  if (openedHere) dir.userFile.Close();
  return read ? 1 : 0;
}

int MsWriteUserFile(MsDirectory& dir) { return MsWriteWholeFile(dir.userFile, MsBuildUserFile(dir)); }

int MsRegisterUser(MsDirectory& dir) {
  if (dir.mySlot >= 0) return 0;  // found its own earlier registration
  if (dir.slotCount >= kMsSlotCount) return 0;
  ++dir.userCount;
  const int32_t oldSlotCount = dir.slotCount;
  if (dir.userCount > dir.slotCount) ++dir.slotCount;
  for (int32_t s = 0; s < dir.slotCount; ++s) {
    MsSlot& slot = dir.slots[s];
    if (slot.app[0] != '\0') continue;
    std::memcpy(slot.app, dir.appName, sizeof slot.app);
    std::memcpy(slot.user, dir.userName, sizeof slot.user);
    slot.id = static_cast<uint16_t>(dir.stamp & 0xFFFFu);
    dir.mySlot = s;
    return 1;
  }
  --dir.userCount;
  dir.slotCount = oldSlotCount;
  return 0;
}

int MsUnregisterUser(MsDirectory& dir) {
  if (dir.mySlot < 0) return 0;
  dir.userCount = std::max<int32_t>(dir.userCount - 1, 0);
  ClearSlot(dir.slots[dir.mySlot]);
  if (dir.mySlot == dir.slotCount - 1) --dir.slotCount;
  dir.mySlot = -1;
  return 1;
}

int32_t MsUserBit(const MsDirectory& dir) {
  return dir.mySlot >= 0 && dir.mySlot < kMsSlotCount ? (0x80 >> dir.mySlot) : 0;
}

}  // namespace vz
