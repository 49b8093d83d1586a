// ~MSFL.SEC and ~MSFL.INX, the working copies of the list.
//
// Format notes
// - ~MSFL.SEC: 178-byte header (magic 5D FE 15 4D, version at 4, stamp at 6,
//   count at 10, in-use count at 14, 1 at 18, count at 22, last file number
//   + 1 at 26, notice at 30, version at 75) and one 178-byte record per
//   security in list order: 1 at 0, record number 1, symbol 5, name 20,
//   period 66, interval 67, file number 69, aux byte 73, mask 74, packed
//   dates and times 108..135, deleted flag 146, previous/next record 162/166.
// - ~MSFL.INX: 38-byte header (magic 5D FE 1D 4D, version, stamp, count as
//   one byte), one 38-byte record per security sorted by symbol.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "metastock/MsMasters.h"
#include "metastock/MsNumbers.h"
#include "metastock/MsText.h"

namespace vz {

bool MsSecurityFileLooksValid(TByteSpan bytes) {
  const TByteView v(bytes);
  return v.Size() >= kMsSecurityRecordSize && v.U32(0) == kMsSecurityMagic;
}

void MsDecodeSecurityFile(MsDirectory& dir, TByteSpan bytes) {
  const TByteView v(bytes);
  dir.version = v.U16(4);
  dir.stamp = v.U32(6);
  const int32_t claimed = v.I32(10);
  dir.activeCount = v.I32(14);
  dir.lastFileNumber = static_cast<int32_t>(int64_t{v.I32(26)} - 1);
  // The count is bounded by the whole records present.
  const size_t present = v.Size() >= kMsSecurityRecordSize ? v.Size() / kMsSecurityRecordSize - 1 : 0;
  const size_t count = claimed > 0 ? std::min(static_cast<size_t>(claimed), present) : 0;
  dir.securities.clear();
  dir.securities.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const TByteView r = v.Record(kMsSecurityRecordSize * (i + 1), kMsSecurityRecordSize);
    MsSecurity& s = dir.securities[i];
    s.fileNumber = r.U16(69);
    s.recordNumber = r.U16(1);
    s.inUse = r.U8(146) == 0 ? 1 : 0;
    s.fieldMask = r.U8(74);
    s.fieldCount = CountBits(static_cast<uint32_t>(s.fieldMask));
    s.recordCount = -1;
    s.auxByte = r.U8(73);
    s.period = r.U8(66);
    s.interval = r.U16(67);
    PackedDateTimeToTm(r.I32(112), r.I32(116), s.first);
    PackedDateTimeToTm(r.I32(120), r.I32(124), s.last);
    s.dayStart = PackedTimeToSeconds(r.I32(128));
    s.dayEnd = PackedTimeToSeconds(r.I32(132));
    MsSetText(s.symbol, r.Text(5, 14));
    MsSetText(s.name, r.Text(20, 45));
  }
  dir.securityCount = static_cast<int32_t>(count);
}

int MsLoadFromSecurityFile(MsDirectory& dir) {
  Bytes bytes;
  if (!dir.securityFile.ReadAll(bytes)) bytes.clear();
  MsDecodeSecurityFile(dir, bytes);
  return 1;
}

Bytes MsBuildSecurityFile(const MsDirectory& dir) {
  const size_t count = dir.securities.size();
  Bytes out(kMsSecurityRecordSize * (count + 1), 0);
  int32_t inUse = 0;
  for (size_t i = 0; i < count; ++i) {
    const MsSecurity& s = dir.securities[i];
    uint8_t* base = out.data() + kMsSecurityRecordSize * (i + 1);
    TRecordWriter r(base, kMsSecurityRecordSize);
    r.U8(0, 1);
    r.U16(1, static_cast<uint16_t>(s.recordNumber));
    r.Text(5, 14, s.symbol);
    r.Text(20, 45, s.name);
    r.U8(66, static_cast<uint8_t>(s.period));
    r.U16(67, static_cast<uint16_t>(s.interval));
    r.U16(69, static_cast<uint16_t>(s.fileNumber));
    r.U8(73, static_cast<uint8_t>(s.auxByte));
    r.U8(74, static_cast<uint8_t>(s.fieldMask));
    r.I32(108, TmToPackedDate(s.first));
    r.I32(112, TmToPackedDate(s.first));
    r.I32(116, TmToPackedTime(s.first));
    r.I32(120, TmToPackedDate(s.last));
    r.I32(124, TmToPackedTime(s.last));
    r.I32(128, SecondsToPackedTime(s.dayStart));
    r.I32(132, SecondsToPackedTime(s.dayEnd));
    r.U8(146, s.inUse ? 0 : 1);
    r.I32(162, i > 0 ? dir.securities[i - 1].recordNumber : 0);
    r.I32(166, i + 1 < count ? dir.securities[i + 1].recordNumber : 0);
    if (s.inUse) ++inUse;
  }
  TRecordWriter h(out.data(), kMsSecurityRecordSize);
  h.U32(0, kMsSecurityMagic);
  h.U16(4, static_cast<uint16_t>(dir.version));
  h.U32(6, dir.stamp);
  h.I32(10, static_cast<int32_t>(count));
  h.I32(14, inUse);
  h.I32(18, 1);
  h.I32(22, static_cast<int32_t>(count));
  h.I32(26, dir.lastFileNumber + 1);
  h.Text(30, 42, kMsNoticeText);
  h.U16(75, static_cast<uint16_t>(dir.version));
  return out;
}

Bytes MsBuildIndexFile(const MsDirectory& dir) {
  std::vector<const MsSecurity*> sorted;
  sorted.reserve(dir.securities.size());
  for (const MsSecurity& s : dir.securities) sorted.push_back(&s);
  // strcmp compares as unsigned bytes.
  std::sort(sorted.begin(), sorted.end(),
            [](const MsSecurity* a, const MsSecurity* b) { return std::strcmp(a->symbol, b->symbol) < 0; });
  Bytes out(kMsIndexRecordSize * (sorted.size() + 1), 0);
  TRecordWriter h(out.data(), kMsIndexRecordSize);
  h.U32(0, kMsIndexMagic);
  h.U16(4, static_cast<uint16_t>(dir.version));
  h.U32(6, dir.stamp);
  h.U8(10, static_cast<uint8_t>(sorted.size()));
  for (size_t i = 0; i < sorted.size(); ++i) {
    const MsSecurity& s = *sorted[i];
    TRecordWriter r(out.data() + kMsIndexRecordSize * (i + 1), kMsIndexRecordSize);
    r.Text(0, 29, s.symbol);
    r.U8(30, s.reserved[0]);
    const int period = s.period >= 'a' && s.period <= 'z' ? s.period - 'a' + 'A' : s.period;
    r.U8(31, static_cast<uint8_t>(period));
    r.U16(32, static_cast<uint16_t>(s.interval));
    r.U16(34, static_cast<uint16_t>(s.recordNumber));
  }
  return out;
}

// The whole file goes from offset 0 and is cut to size afterwards (rather
// than truncated first), so a program reading at the same moment never sees
// an empty file.
int MsWriteWholeFile(platform::TSharedFile& file, const Bytes& bytes) {
  if (!file.IsOpen()) return 0;
  const bool ok = file.WriteAt(0, bytes.data(), bytes.size()) && file.Truncate(bytes.size()) && file.Flush();
  return ok ? 1 : 0;
}

int MsWriteSecurityFile(MsDirectory& dir) { return MsWriteWholeFile(dir.securityFile, MsBuildSecurityFile(dir)); }

int MsWriteIndexFile(MsDirectory& dir) { return MsWriteWholeFile(dir.indexFile, MsBuildIndexFile(dir)); }

}  // namespace vz
