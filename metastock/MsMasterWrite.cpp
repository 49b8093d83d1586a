// Writing MASTER, EMASTER and XMASTER back from the list.
//
// The list does not carry everything these files hold: bytes the layouts
// call zero but other programs use (flags, CT version marks, extra dates),
// records of securities MASTER no longer lists, records that are not valid
// at all, bytes after the last record. A rewrite therefore starts from the
// file's current contents and, for each security, from its old record (same
// file number): a field is written only when the list holds a different
// value for it than the old record decodes to. Old valid records that the
// list does not name stay, counted; invalid records and trailing bytes stay
// after the counted records. Only securities the list marks as not in use
// disappear, as they should.
#include <algorithm>
#include <cstring>

#include "metastock/MsMasters.h"
#include "metastock/MsNumbers.h"
#include "platform/FileSystem.h"

namespace vz {

namespace {

struct TField {
  uint16_t offset;
  uint16_t width;
};

struct TMasterLayout {
  size_t headerSize;
  size_t recordSize;
  bool (*decode)(TByteView, MsSecurity&);
  void (*initRecord)(uint8_t*);                   // constants of a new record
  void (*encode)(const MsSecurity&, uint8_t*);    // the list's fields
  std::span<const TField> owned;                  // fields the list owns
  bool (*headerValid)(const TByteView&);
  size_t (*claimedCount)(const TByteView&);
  bool forXmaster;
};

void PadText(uint8_t* field, size_t width, const char* text, uint8_t pad) {
  std::memset(field, pad, width);
  for (size_t i = 0; i < width && text[i] != '\0'; ++i) field[i] = static_cast<uint8_t>(text[i]);
}

// MASTER
constexpr TField kMasterFields[] = {{0, 1}, {3, 1}, {4, 1}, {7, 16}, {25, 4}, {29, 4}, {33, 1}, {34, 2}, {36, 14}};
void MasterInit(uint8_t* r) {
  r[1] = 0x65;
  r[50] = r[51] = ' ';
}
void MasterEncode(const MsSecurity& s, uint8_t* r) {
  TRecordWriter w(r, kMsMasterRecordSize);
  w.U8(0, static_cast<uint8_t>(s.fileNumber));
  w.U8(3, static_cast<uint8_t>(s.fieldCount * 4));
  w.U8(4, static_cast<uint8_t>(s.fieldCount));
  PadText(r + 7, 16, s.name, ' ');
  w.U32(25, TmToMbfDate(s.first));
  w.U32(29, TmToMbfDate(s.last));
  w.U8(33, static_cast<uint8_t>(s.period));
  w.U16(34, static_cast<uint16_t>(s.interval));
  PadText(r + 36, 14, s.symbol, ' ');
}

// EMASTER
constexpr TField kEmasterFields[] = {{2, 1},  {6, 1},  {7, 2},  {11, 14}, {32, 16}, {60, 2},  {62, 2},  {64, 4},
                                     {68, 4}, {72, 4}, {76, 4}, {80, 4},  {84, 4},  {126, 4}, {130, 1}, {139, 53}};
void EmasterInit(uint8_t* r) {
  r[0] = r[1] = '6';
  r[9] = ' ';
}
void EmasterEncode(const MsSecurity& s, uint8_t* r) {
  TRecordWriter w(r, kMsEmasterRecordSize);
  w.U8(2, static_cast<uint8_t>(s.fileNumber));
  w.U8(6, static_cast<uint8_t>(s.fieldCount));
  w.U16(7, static_cast<uint16_t>(s.fieldMask));
  PadText(r + 11, 14, s.symbol, 0);
  PadText(r + 32, 16, s.name, 0);
  w.U16(60, static_cast<uint16_t>(s.period));
  w.U16(62, static_cast<uint16_t>(s.interval));
  w.F32(64, TmToFloatDate(s.first));
  w.F32(68, TmToFloatTime(s.first));
  w.F32(72, TmToFloatDate(s.last));
  w.F32(76, TmToFloatTime(s.last));
  w.F32(80, SecondsToFloatTime(s.dayStart));
  w.F32(84, SecondsToFloatTime(s.dayEnd));
  w.I32(126, TmToPackedDate(s.first));
  w.U8(130, static_cast<uint8_t>(s.auxByte));
  PadText(r + 139, 53, s.name, 0);
  r[139 + 45] = 0;  // at most 45 characters, terminated
}

// XMASTER
constexpr TField kXmasterFields[] = {{1, 15}, {16, 46}, {62, 1}, {63, 2}, {65, 2}, {70, 1}, {108, 4}, {116, 4}};
void XmasterInit(uint8_t* r) { r[0] = 1; }
void XmasterEncode(const MsSecurity& s, uint8_t* r) {
  TRecordWriter w(r, kMsXmasterRecordSize);
  PadText(r + 1, 15, s.symbol, 0);
  PadText(r + 16, 46, s.name, 0);
  w.U8(62, static_cast<uint8_t>(s.period));
  w.U16(63, static_cast<uint16_t>(s.interval));
  w.U16(65, static_cast<uint16_t>(s.fileNumber));
  w.U8(70, static_cast<uint8_t>(s.fieldMask));
  w.I32(104, TmToPackedDate(s.first));
  w.I32(108, TmToPackedDate(s.first));
  w.I32(116, TmToPackedDate(s.last));
}

bool HeaderPresent53(const TByteView& v) { return v.Size() >= kMsMasterRecordSize; }
bool HeaderPresent192(const TByteView& v) { return v.Size() >= kMsEmasterRecordSize; }
bool XmasterHeaderValid(const TByteView& v) {
  return v.Size() >= kMsXmasterRecordSize && v.U32(0) == kMsXmasterMagic;
}
size_t CountAt0(const TByteView& v) { return v.U16(0); }
size_t CountAt10(const TByteView& v) { return v.U16(10); }

const TMasterLayout kMasterLayout{kMsMasterRecordSize, kMsMasterRecordSize, MsDecodeMasterRecord, MasterInit,
                                  MasterEncode, kMasterFields, HeaderPresent53, CountAt0, false};
const TMasterLayout kEmasterLayout{kMsEmasterRecordSize, kMsEmasterRecordSize, MsDecodeEmasterRecord, EmasterInit,
                                   EmasterEncode, kEmasterFields, HeaderPresent192, CountAt0, false};
const TMasterLayout kXmasterLayout{kMsXmasterRecordSize, kMsXmasterRecordSize, MsDecodeXmasterRecord, XmasterInit,
                                   XmasterEncode, kXmasterFields, XmasterHeaderValid, CountAt10, true};

bool Belongs(const MsSecurity& s, const TMasterLayout& layout) {
  return layout.forXmaster ? s.fileNumber > 255 : (s.fileNumber > 0 && s.fileNumber <= 255);
}

struct TBuilt {
  Bytes bytes;
  size_t count = 0;
  int32_t highestWritten = 0;
  bool oldHeader = false;
  TByteView old;
};

TBuilt BuildMasterFile(const MsDirectory& dir, TByteSpan previous, const TMasterLayout& layout) {
  TBuilt built;
  built.old = TByteView(previous);
  const TByteView& old = built.old;
  built.oldHeader = layout.headerValid(old);
  const size_t oldCount =
      built.oldHeader ? std::min(layout.claimedCount(old), (old.Size() - layout.headerSize) / layout.recordSize) : 0;

  std::vector<MsSecurity> oldDecoded(oldCount);
  std::vector<bool> oldValid(oldCount), oldUsed(oldCount, false);
  for (size_t j = 0; j < oldCount; ++j)
    oldValid[j] = layout.decode(old.Record(layout.headerSize + j * layout.recordSize, layout.recordSize), oldDecoded[j]);

  std::vector<bool> inList(65536, false);
  for (const MsSecurity& s : dir.securities)
    if (s.fileNumber >= 0 && s.fileNumber < 65536) inList[s.fileNumber] = true;

  Bytes& out = built.bytes;
  out.assign(layout.headerSize, 0);
  if (built.oldHeader) std::memcpy(out.data(), old.Data(), layout.headerSize);

  std::vector<uint8_t> fresh(layout.recordSize), asRead(layout.recordSize);
  for (const MsSecurity& s : dir.securities) {
    if (!s.inUse || !Belongs(s, layout)) continue;
    size_t j = 0;
    while (j < oldCount && (oldUsed[j] || !oldValid[j] || oldDecoded[j].fileNumber != s.fileNumber)) ++j;
    const size_t at = out.size();
    out.resize(at + layout.recordSize, 0);
    uint8_t* record = out.data() + at;
    if (j < oldCount) {
      oldUsed[j] = true;
      std::memcpy(record, old.Data() + layout.headerSize + j * layout.recordSize, layout.recordSize);
      std::fill(fresh.begin(), fresh.end(), 0);
      std::fill(asRead.begin(), asRead.end(), 0);
      layout.encode(s, fresh.data());
      layout.encode(oldDecoded[j], asRead.data());
      for (const TField& f : layout.owned)
        if (std::memcmp(fresh.data() + f.offset, asRead.data() + f.offset, f.width) != 0)
          std::memcpy(record + f.offset, fresh.data() + f.offset, f.width);
    } else {
      layout.initRecord(record);
      layout.encode(s, record);
    }
    ++built.count;
    built.highestWritten = std::max(built.highestWritten, s.fileNumber);
  }

  // Old records of securities the list does not name stay counted; records
  // of securities deleted from the list go; invalid ones and any bytes after
  // the records follow uncounted.
  Bytes tail;
  for (size_t j = 0; j < oldCount; ++j) {
    if (oldUsed[j]) continue;
    const uint8_t* record = old.Data() + layout.headerSize + j * layout.recordSize;
    if (oldValid[j] && !inList[oldDecoded[j].fileNumber]) {
      out.insert(out.end(), record, record + layout.recordSize);
      ++built.count;
    } else if (!oldValid[j]) {
      tail.insert(tail.end(), record, record + layout.recordSize);
    }
  }
  const size_t consumed = built.oldHeader ? layout.headerSize + oldCount * layout.recordSize : 0;
  if (old.Size() > consumed) tail.insert(tail.end(), old.Data() + consumed, old.Data() + old.Size());
  out.insert(out.end(), tail.begin(), tail.end());
  return built;
}

uint16_t LastFileNumberField(const TBuilt& built, const MsDirectory& dir, size_t offset) {
  if (!built.oldHeader) return static_cast<uint16_t>(dir.lastFileNumber);
  return static_cast<uint16_t>(std::max<int32_t>(built.old.U16(offset), built.highestWritten));
}

}  // namespace

Bytes MsBuildMaster(const MsDirectory& dir, TByteSpan previous) {
  TBuilt built = BuildMasterFile(dir, previous, kMasterLayout);
  TRecordWriter header(built.bytes.data(), kMsMasterRecordSize);
  header.U16(0, static_cast<uint16_t>(built.count));
  header.U16(2, LastFileNumberField(built, dir, 2));
  header.U32(49, dir.stamp);
  return std::move(built.bytes);
}

Bytes MsBuildEmaster(const MsDirectory& dir, TByteSpan previous) {
  TBuilt built = BuildMasterFile(dir, previous, kEmasterLayout);
  TRecordWriter header(built.bytes.data(), kMsEmasterRecordSize);
  header.U16(0, static_cast<uint16_t>(built.count));
  header.U16(2, LastFileNumberField(built, dir, 2));
  header.U32(49, dir.stamp);
  if (!built.oldHeader) std::memcpy(built.bytes.data() + 53, kMsNoticeText, sizeof kMsNoticeText);
  return std::move(built.bytes);
}

Bytes MsBuildXmaster(const MsDirectory& dir, TByteSpan previous) {
  TBuilt built = BuildMasterFile(dir, previous, kXmasterLayout);
  TRecordWriter header(built.bytes.data(), kMsXmasterRecordSize);
  header.U32(0, kMsXmasterMagic);
  header.U16(10, static_cast<uint16_t>(built.count));
  header.U16(14, static_cast<uint16_t>(built.count));
  const int32_t next = built.highestWritten + 1;
  header.U16(18, static_cast<uint16_t>(built.oldHeader ? std::max<int32_t>(built.old.U16(18), next) : next));
  if (!built.oldHeader) std::memcpy(built.bytes.data() + 22, kMsNoticeText, sizeof kMsNoticeText);
  return std::move(built.bytes);
}

bool MsNeedsXmaster(const MsDirectory& dir) {
  return std::any_of(dir.securities.begin(), dir.securities.end(),
                     [](const MsSecurity& s) { return s.inUse && s.fileNumber > 255; });
}

namespace {

// Writes bytes as a complete new file under a temporary name and puts it in
// place of `path`; `held` (the open master file) then refers to the new file.
// The temporary names match MS????.TMP, which the next first opening removes
// when a crash left one behind.
int ReplaceHeldFile(MsDirectory& dir, platform::TSharedFile& held, const std::string& path, const char* tempName,
                    const Bytes& bytes) {
  const std::string tempPath = MsJoinPath(dir.directory, tempName);
  platform::TSharedFile temp;
  platform::FileOpenMode mode;
  mode.access = platform::FileAccess::ReadWrite;
  mode.share = platform::FileShare::None;
  mode.disposition = platform::FileDisposition::CreateAlways;
  mode.archive = true;
  mode.allowRename = true;
  if (!temp.Open(tempPath, mode)) {
    MsSetFileFailure(temp, tempPath, "cannot create", MsError::CannotWrite);
    return 0;
  }
  if (!temp.WriteAt(0, bytes.data(), bytes.size()) || !temp.Sync()) {
    MsSetFileFailure(temp, tempPath, "cannot write", MsError::CannotWrite);
    temp.Close();
    platform::RemoveFile(tempPath);
    return 0;
  }
  // The replacement keeps who may read and write the file.
  if (platform::FileExists(path)) temp.TakeAccessOf(path);
  held.Close();
  if (!platform::MoveFileOver(tempPath, path)) {
    MsSetFailure(MsError::CannotWrite, path, "cannot put " + tempPath + " in its place",
                 "cannot put " + tempPath + " in place of " + path);
    temp.Close();
    platform::RemoveFile(tempPath);
    return 0;
  }
  held = std::move(temp);
  return 1;
}

// The previous contents, bounded (see MsReadMasterFile); whether the file
// holds more than was read.
bool ReadPrevious(const platform::TSharedFile& held, const std::string& path, MsMasterKind kind, Bytes& previous,
                  bool& longer) {
  if (!MsReadMasterFile(held, kind, previous)) {
    MsSetFailure(MsError::CannotRead, path, "cannot read the master file again");
    return false;
  }
  longer = held.Size() > static_cast<int64_t>(previous.size());
  return true;
}

int RewriteMaster(MsDirectory& dir, platform::TSharedFile& held, const char* name, const char* tempName,
                  MsMasterKind kind, Bytes (*build)(const MsDirectory&, TByteSpan)) {
  if (!held.IsOpen()) return 0;
  const std::string path = MsFindFile(dir.directory, name);
  Bytes previous;
  bool longer = false;
  if (!ReadPrevious(held, path, kind, previous, longer)) return 0;  // never rebuild from a failed read
  const Bytes bytes = build(dir, previous);
  if (bytes == previous && !longer) return 1;
  return ReplaceHeldFile(dir, held, path, tempName, bytes);
}

}  // namespace

int MsWriteMaster(MsDirectory& dir) {
  return RewriteMaster(dir, dir.masterFile, kMsMasterName, "MSMAST.TMP", MsMasterKind::Master, MsBuildMaster);
}

int MsWriteEmaster(MsDirectory& dir) {
  return RewriteMaster(dir, dir.emasterFile, kMsEmasterName, "MSEMST.TMP", MsMasterKind::Emaster, MsBuildEmaster);
}

int MsWriteXmaster(MsDirectory& dir) {
  const std::string path = MsFindFile(dir.directory, kMsXmasterName);
  const bool exists = platform::FileExists(path);
  if (!MsNeedsXmaster(dir) && !exists) return 1;
  platform::TSharedFile held;
  platform::FileOpenMode mode;
  mode.access = platform::FileAccess::ReadWrite;
  mode.share = platform::FileShare::None;
  mode.disposition = exists ? platform::FileDisposition::OpenExisting : platform::FileDisposition::CreateAlways;
  mode.archive = true;
  mode.createLike = MsFindFile(dir.directory, kMsMasterName);
  if (!held.Open(path, mode)) {
    MsSetFileFailure(held, path, "cannot open", MsError::CannotWrite);
    return 0;
  }
  Bytes previous;
  bool longer = false;
  if (!ReadPrevious(held, path, MsMasterKind::Xmaster, previous, longer)) return 0;
  // A file that is not an XMASTER is left alone unless the list needs one.
  if (!XmasterHeaderValid(TByteView(previous)) && !MsNeedsXmaster(dir)) return 1;
  const Bytes bytes = MsBuildXmaster(dir, previous);
  if (bytes == previous && !longer) return 1;
  return ReplaceHeldFile(dir, held, path, "MSXMST.TMP", bytes);
}

}  // namespace vz
