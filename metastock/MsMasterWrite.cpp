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
#include "metastock/MsPriceLayout.h"
#include "platform/FileSystem.h"

namespace vz {

namespace {

struct TMasterLayout {
  size_t headerSize;
  size_t recordSize;
  bool (*decode)(TByteView, MsSecurity&);
  void (*initRecord)(TRecordWriter&);                  // constants of a new record
  void (*encode)(const MsSecurity&, TRecordWriter&);  // the list's fields
  std::span<const MsField> owned;                      // fields the list owns
  bool (*headerValid)(const TByteView&);
  MsField count;  // the header's record count
  bool forXmaster;
};

// MASTER
namespace mf = masterfile;
constexpr MsField kMasterOwned[] = {mf::kFileNumber, mf::kRecordLength, mf::kFieldCount,
                                    mf::kName,       mf::kFirstDate,    mf::kLastDate,
                                    mf::kPeriod,     mf::kInterval,     mf::kSymbol};
void MasterInit(TRecordWriter& r) {
  mf::kMark.Put(r, mf::kMarkValue);
  mf::kSpaces.PutPadded(r, "", ' ');
}
void MasterEncode(const MsSecurity& s, TRecordWriter& r) {
  mf::kFileNumber.Put(r, static_cast<uint32_t>(s.fileNumber));
  mf::kRecordLength.Put(r, static_cast<uint32_t>(s.fieldCount) * datafile::kFieldWidth);
  mf::kFieldCount.Put(r, static_cast<uint32_t>(s.fieldCount));
  mf::kName.PutPadded(r, s.name, ' ');
  mf::kFirstDate.Put(r, TmToMbfDate(s.first));
  mf::kLastDate.Put(r, TmToMbfDate(s.last));
  mf::kPeriod.Put(r, static_cast<uint32_t>(s.period));
  mf::kInterval.Put(r, static_cast<uint32_t>(s.interval));
  mf::kSymbol.PutPadded(r, s.symbol, ' ');
}

// EMASTER
namespace ef = emasterfile;
constexpr MsField kEmasterOwned[] = {ef::kFileNumber, ef::kFieldCount,   ef::kFieldMask,  ef::kSymbol,
                                     ef::kShortName,  ef::kPeriod,       ef::kInterval,   ef::kFirstDate,
                                     ef::kFirstTime,  ef::kLastDate,     ef::kLastTime,   ef::kDayStart,
                                     ef::kDayEnd,     ef::kFirstPackedDate, ef::kAuxByte, ef::kLongName};
void EmasterInit(TRecordWriter& r) {
  ef::kMark.PutText(r, "66");
  ef::kSpace.PutText(r, " ");
}
void EmasterEncode(const MsSecurity& s, TRecordWriter& r) {
  ef::kFileNumber.Put(r, static_cast<uint32_t>(s.fileNumber));
  ef::kFieldCount.Put(r, static_cast<uint32_t>(s.fieldCount));
  ef::kFieldMask.Put(r, static_cast<uint32_t>(s.fieldMask));
  ef::kSymbol.PutPadded(r, s.symbol, 0);
  ef::kShortName.PutPadded(r, s.name, 0);
  ef::kPeriod.Put(r, static_cast<uint32_t>(s.period));
  ef::kInterval.Put(r, static_cast<uint32_t>(s.interval));
  ef::kFirstDate.PutFloat(r, TmToFloatDate(s.first));
  ef::kFirstTime.PutFloat(r, TmToFloatTime(s.first));
  ef::kLastDate.PutFloat(r, TmToFloatDate(s.last));
  ef::kLastTime.PutFloat(r, TmToFloatTime(s.last));
  ef::kDayStart.PutFloat(r, SecondsToFloatTime(s.dayStart));
  ef::kDayEnd.PutFloat(r, SecondsToFloatTime(s.dayEnd));
  ef::kFirstPackedDate.Put(r, static_cast<uint32_t>(TmToPackedDate(s.first)));
  ef::kAuxByte.Put(r, static_cast<uint32_t>(s.auxByte));
  // At most kMsNameChars characters, terminated.
  ef::kLongName.PutPadded(r, s.name, 0);
  r.U8(ef::kLongName.offset + kMsNameChars, 0);
}

// XMASTER
namespace xf = xmasterfile;
constexpr MsField kXmasterOwned[] = {xf::kSymbol,     xf::kName,      xf::kPeriod,    xf::kInterval,
                                     xf::kFileNumber, xf::kFieldMask, xf::kFirstDate, xf::kLastDate};
void XmasterInit(TRecordWriter& r) { xf::kMark.Put(r, 1); }
void XmasterEncode(const MsSecurity& s, TRecordWriter& r) {
  xf::kSymbol.PutPadded(r, s.symbol, 0);
  xf::kName.PutPadded(r, s.name, 0);
  xf::kPeriod.Put(r, static_cast<uint32_t>(s.period));
  xf::kInterval.Put(r, static_cast<uint32_t>(s.interval));
  xf::kFileNumber.Put(r, static_cast<uint32_t>(s.fileNumber));
  xf::kFieldMask.Put(r, static_cast<uint32_t>(s.fieldMask));
  xf::kFirstDateCopy.Put(r, static_cast<uint32_t>(TmToPackedDate(s.first)));
  xf::kFirstDate.Put(r, static_cast<uint32_t>(TmToPackedDate(s.first)));
  xf::kLastDate.Put(r, static_cast<uint32_t>(TmToPackedDate(s.last)));
}

bool HeaderPresent53(const TByteView& v) { return v.Size() >= kMsMasterRecordSize; }
bool HeaderPresent192(const TByteView& v) { return v.Size() >= kMsEmasterRecordSize; }
bool XmasterHeaderValid(const TByteView& v) {
  return v.Size() >= kMsXmasterRecordSize && xf::kMagic.Get(v) == kMsXmasterMagic;
}

const TMasterLayout kMasterLayout{kMsMasterRecordSize, kMsMasterRecordSize, MsDecodeMasterRecord, MasterInit,
                                  MasterEncode,        kMasterOwned,        HeaderPresent53,      mf::kCount,
                                  false};
const TMasterLayout kEmasterLayout{kMsEmasterRecordSize, kMsEmasterRecordSize, MsDecodeEmasterRecord, EmasterInit,
                                   EmasterEncode,        kEmasterOwned,        HeaderPresent192,      ef::kCount,
                                   false};
const TMasterLayout kXmasterLayout{kMsXmasterRecordSize, kMsXmasterRecordSize, MsDecodeXmasterRecord, XmasterInit,
                                   XmasterEncode,        kXmasterOwned,        XmasterHeaderValid,    xf::kCount,
                                   true};

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
      built.oldHeader ? std::min<size_t>(layout.count.Get(old), (old.Size() - layout.headerSize) / layout.recordSize)
                      : 0;

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
      TRecordWriter freshWriter(fresh.data(), fresh.size()), asReadWriter(asRead.data(), asRead.size());
      layout.encode(s, freshWriter);
      layout.encode(oldDecoded[j], asReadWriter);
      for (const MsField& f : layout.owned)
        if (std::memcmp(fresh.data() + f.offset, asRead.data() + f.offset, f.width) != 0)
          std::memcpy(record + f.offset, fresh.data() + f.offset, f.width);
    } else {
      TRecordWriter writer(record, layout.recordSize);
      layout.initRecord(writer);
      layout.encode(s, writer);
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

uint32_t LastFileNumber(const TBuilt& built, const MsDirectory& dir, MsField field) {
  if (!built.oldHeader) return static_cast<uint16_t>(dir.lastFileNumber);
  return static_cast<uint16_t>(std::max<int32_t>(field.GetI32(built.old), built.highestWritten));
}

}  // namespace

Bytes MsBuildMaster(const MsDirectory& dir, TByteSpan previous) {
  TBuilt built = BuildMasterFile(dir, previous, kMasterLayout);
  TRecordWriter header(built.bytes.data(), kMsMasterRecordSize);
  mf::kCount.Put(header, static_cast<uint32_t>(built.count));
  mf::kLastFileNumber.Put(header, LastFileNumber(built, dir, mf::kLastFileNumber));
  mf::kStamp.Put(header, dir.stamp);
  return std::move(built.bytes);
}

Bytes MsBuildEmaster(const MsDirectory& dir, TByteSpan previous) {
  TBuilt built = BuildMasterFile(dir, previous, kEmasterLayout);
  TRecordWriter header(built.bytes.data(), kMsEmasterRecordSize);
  ef::kCount.Put(header, static_cast<uint32_t>(built.count));
  ef::kLastFileNumber.Put(header, LastFileNumber(built, dir, ef::kLastFileNumber));
  ef::kStamp.Put(header, dir.stamp);
  if (!built.oldHeader) ef::kNotice.PutText(header, kMsNoticeText);
  return std::move(built.bytes);
}

Bytes MsBuildXmaster(const MsDirectory& dir, TByteSpan previous) {
  TBuilt built = BuildMasterFile(dir, previous, kXmasterLayout);
  TRecordWriter header(built.bytes.data(), kMsXmasterRecordSize);
  xf::kMagic.Put(header, kMsXmasterMagic);
  xf::kCount.Put(header, static_cast<uint32_t>(built.count));
  xf::kCountAgain.Put(header, static_cast<uint32_t>(built.count));
  const int32_t next = built.highestWritten + 1;
  xf::kNextFileNumber.Put(
      header, static_cast<uint32_t>(built.oldHeader ? std::max<int32_t>(xf::kNextFileNumber.GetI32(built.old), next) : next));
  if (!built.oldHeader) xf::kNotice.PutText(header, kMsNoticeText);
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
