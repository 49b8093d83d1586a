// ~MSFL.SEC and ~MSFL.INX, the working copies of the list (layouts:
// MsSecurityFileLayout.h).
#include <algorithm>
#include <cctype>
#include <cstring>

#include "metastock/MsMasters.h"
#include "metastock/MsNumbers.h"
#include "metastock/MsText.h"

namespace vz {

namespace sf = secfile;
namespace ixf = inxfile;

bool MsSecurityFileLooksValid(TByteSpan bytes) {
  const TByteView v(bytes);
  return v.Size() >= kMsSecurityRecordSize && sf::kMagic.Get(v) == kMsSecurityMagic;
}

void MsDecodeSecurityFile(MsDirectory& dir, TByteSpan bytes) {
  const TByteView v(bytes);
  dir.version = sf::kVersion.GetI32(v);
  dir.stamp = sf::kStamp.Get(v);
  const int32_t claimed = sf::kCount.GetI32(v);
  dir.activeCount = sf::kInUseCount.GetI32(v);
  dir.lastFileNumber = static_cast<int32_t>(int64_t{sf::kNextFileNumber.GetI32(v)} - 1);
  // The count is bounded by the whole records present.
  const size_t present = v.Size() >= kMsSecurityRecordSize ? v.Size() / kMsSecurityRecordSize - 1 : 0;
  const size_t count = claimed > 0 ? std::min(static_cast<size_t>(claimed), present) : 0;
  dir.securities.clear();
  dir.securities.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const TByteView r = v.Record(kMsSecurityRecordSize * (i + 1), kMsSecurityRecordSize);
    MsSecurity& s = dir.securities[i];
    s.fileNumber = sf::kFileNumber.GetI32(r);
    s.recordNumber = sf::kRecordNumber.GetI32(r);
    s.inUse = sf::kDeleted.Get(r) == 0 ? 1 : 0;
    s.fieldMask = sf::kFieldMask.GetI32(r);
    s.fieldCount = CountBits(static_cast<uint32_t>(s.fieldMask));
    s.recordCount = -1;
    s.auxByte = sf::kAuxByte.GetI32(r);
    s.period = sf::kPeriod.GetI32(r);
    s.interval = sf::kInterval.GetI32(r);
    PackedDateTimeToTm(sf::kFirstDate.GetI32(r), sf::kFirstTime.GetI32(r), s.first);
    PackedDateTimeToTm(sf::kLastDate.GetI32(r), sf::kLastTime.GetI32(r), s.last);
    s.dayStart = PackedTimeToSeconds(sf::kDayStart.GetI32(r));
    s.dayEnd = PackedTimeToSeconds(sf::kDayEnd.GetI32(r));
    MsSetText(s.symbol, sf::kSymbol.GetText(r, kMsSymbolChars));
    MsSetText(s.name, sf::kName.GetText(r, kMsNameChars));
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
    TRecordWriter r(out.data() + kMsSecurityRecordSize * (i + 1), kMsSecurityRecordSize);
    sf::kMark.Put(r, 1);
    sf::kRecordNumber.Put(r, static_cast<uint32_t>(s.recordNumber));
    sf::kSymbol.PutText(r, s.symbol, kMsSymbolChars);
    sf::kName.PutText(r, s.name, kMsNameChars);
    sf::kPeriod.Put(r, static_cast<uint32_t>(s.period));
    sf::kInterval.Put(r, static_cast<uint32_t>(s.interval));
    sf::kFileNumber.Put(r, static_cast<uint32_t>(s.fileNumber));
    sf::kAuxByte.Put(r, static_cast<uint32_t>(s.auxByte));
    sf::kFieldMask.Put(r, static_cast<uint32_t>(s.fieldMask));
    sf::kFirstDateCopy.Put(r, static_cast<uint32_t>(TmToPackedDate(s.first)));
    sf::kFirstDate.Put(r, static_cast<uint32_t>(TmToPackedDate(s.first)));
    sf::kFirstTime.Put(r, static_cast<uint32_t>(TmToPackedTime(s.first)));
    sf::kLastDate.Put(r, static_cast<uint32_t>(TmToPackedDate(s.last)));
    sf::kLastTime.Put(r, static_cast<uint32_t>(TmToPackedTime(s.last)));
    sf::kDayStart.Put(r, static_cast<uint32_t>(SecondsToPackedTime(s.dayStart)));
    sf::kDayEnd.Put(r, static_cast<uint32_t>(SecondsToPackedTime(s.dayEnd)));
    sf::kDeleted.Put(r, s.inUse ? 0 : 1);
    sf::kPreviousRecord.Put(r, static_cast<uint32_t>(i > 0 ? dir.securities[i - 1].recordNumber : 0));
    sf::kNextRecord.Put(r, static_cast<uint32_t>(i + 1 < count ? dir.securities[i + 1].recordNumber : 0));
    if (s.inUse) ++inUse;
  }
  TRecordWriter h(out.data(), kMsSecurityRecordSize);
  sf::kMagic.Put(h, kMsSecurityMagic);
  sf::kVersion.Put(h, static_cast<uint32_t>(dir.version));
  sf::kStamp.Put(h, dir.stamp);
  sf::kCount.Put(h, static_cast<uint32_t>(count));
  sf::kInUseCount.Put(h, static_cast<uint32_t>(inUse));
  sf::kOne.Put(h, 1);
  sf::kCountAgain.Put(h, static_cast<uint32_t>(count));
  sf::kNextFileNumber.Put(h, static_cast<uint32_t>(dir.lastFileNumber + 1));
  sf::kNotice.PutText(h, kMsNoticeText);
  sf::kVersionAgain.Put(h, static_cast<uint32_t>(dir.version));
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
  ixf::kMagic.Put(h, kMsIndexMagic);
  ixf::kVersion.Put(h, static_cast<uint32_t>(dir.version));
  ixf::kStamp.Put(h, dir.stamp);
  ixf::kCountLow.Put(h, static_cast<uint32_t>(sorted.size()));
  for (size_t i = 0; i < sorted.size(); ++i) {
    const MsSecurity& s = *sorted[i];
    TRecordWriter r(out.data() + kMsIndexRecordSize * (i + 1), kMsIndexRecordSize);
    ixf::kSymbol.PutText(r, s.symbol, ixf::kSymbol.width - 1);  // terminated
    ixf::kReserved.Put(r, s.reserved[0]);
    const int period = s.period >= 'a' && s.period <= 'z' ? s.period - 'a' + 'A' : s.period;
    ixf::kPeriod.Put(r, static_cast<uint32_t>(period));
    ixf::kInterval.Put(r, static_cast<uint32_t>(s.interval));
    ixf::kRecordNumber.Put(r, static_cast<uint32_t>(s.recordNumber));
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
