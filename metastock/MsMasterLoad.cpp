// Building the security list from MASTER, EMASTER and XMASTER.
//
// Format notes
// - MASTER: 53-byte header (uint16 count at 0, uint16 last file number at 2,
//   stamp at 49), 53-byte records: file number 0, field count 4, name 7..22
//   space padded, MBF first/last date 25/29, period 33, interval 34, symbol
//   36..49 space padded.
// - EMASTER: 192-byte header and records: file number 2, field count 6,
//   mask 7, symbol 11..24, short name 32..47, period 60, interval 62, float
//   dates and times 64..87, packed first date 126, aux byte 130, long name 139.
// - XMASTER: 150-byte header (magic 5D FE 58 4D, uint16 count at 10), records:
//   1 at 0, symbol 1..15, name 16..61, period 62, interval 63, file number
//   65 (uint16), mask 70, packed first date 108, packed last date 116.
// Real directories hold stale EMASTERs (other securities than MASTER under
// the same file numbers) and malformed ones (counts beyond the file, records
// that are not records), so EMASTER only supplies details of securities that
// MASTER lists.
#include <algorithm>
#include <array>

#include "metastock/MsMasters.h"
#include "metastock/MsNumbers.h"
#include "metastock/MsText.h"

namespace vz {

namespace {

bool IsPeriodLetter(int32_t period) { return period >= 'A' && period <= 'Z'; }

constexpr int32_t kMinFields = 3;  // date, close, volume
constexpr int32_t kMaxFields = 8;

bool IsFieldCount(int32_t count) { return count >= kMinFields && count <= kMaxFields; }

size_t RecordsPresent(const TByteView& file, size_t headerSize, size_t recordSize, size_t claimed) {
  if (file.Size() < headerSize) return 0;
  return std::min(claimed, (file.Size() - headerSize) / recordSize);
}

void StartRecord(MsSecurity& out) {
  out = MsSecurity{};
  out.inUse = 1;
  out.recordCount = -1;
}

}  // namespace

int32_t MsMaskForFieldCount(int32_t fieldCount, int32_t period) {
  switch (fieldCount) {
    case 5: return 0x1F;  // date, high, low, close, volume
    case 6: return 0x3F;  // + open
    case 7: return period == kMsPeriodIntraday ? 0xBF : 0x7F;  // + time, or + open interest
    case 8: return 0xFF;  // date, time, open, high, low, close, volume, open interest
    default: return 0;
  }
}

int32_t MsFieldsOfMask(int32_t fieldMask) {
  int32_t fields = (fieldMask & 0x0F) ? 3 : 0;
  for (int32_t bit : {0x80, 0x20, 0x08, 0x10, 0x40})
    if (fieldMask & bit) ++fields;
  return fields;
}

bool MsDecodeMasterRecord(TByteView r, MsSecurity& out) {
  StartRecord(out);
  out.fileNumber = r.U8(0);
  out.fieldCount = r.U8(4);
  out.period = r.U8(33);
  out.interval = r.U16(34);
  out.fieldMask = MsMaskForFieldCount(out.fieldCount, out.period);
  MbfDateTimeToTm(r.U32(25), 0, out.first);
  MbfDateTimeToTm(r.U32(29), 0, out.last);
  MsSetText(out.symbol, r.Text(36, 14));
  MsSetText(out.name, r.Text(7, 16));
  return !r.Failed() && r.Size() == kMsMasterRecordSize && out.fileNumber != 0 && out.fieldMask != 0 &&
         IsPeriodLetter(out.period);
}

bool MsDecodeEmasterRecord(TByteView r, MsSecurity& out) {
  StartRecord(out);
  out.fileNumber = r.U8(2);
  out.fieldCount = r.U8(6);
  out.fieldMask = r.U16(7);
  out.auxByte = r.U8(130);
  out.period = r.U16(60);
  out.interval = r.U16(62);
  FloatDateTimeToTm(r.F32(64), r.F32(68), out.first);
  FloatDateTimeToTm(r.F32(72), r.F32(76), out.last);
  out.dayStart = FloatTimeToSeconds(r.F32(80));
  out.dayEnd = FloatTimeToSeconds(r.F32(84));
  MsSetText(out.symbol, r.Text(11, 14));
  const std::string longName = r.Text(139, 45);
  MsSetText(out.name, longName.empty() ? r.Text(32, 16) : longName);
  return !r.Failed() && r.Size() == kMsEmasterRecordSize && out.fileNumber != 0 && IsFieldCount(out.fieldCount) &&
         IsPeriodLetter(out.period);
}

bool MsDecodeXmasterRecord(TByteView r, MsSecurity& out) {
  StartRecord(out);
  out.fileNumber = r.U16(65);
  out.fieldMask = r.U8(70);
  out.fieldCount = CountBits(static_cast<uint32_t>(out.fieldMask));
  out.period = r.U8(62);
  out.interval = r.U16(63);
  PackedDateTimeToTm(r.I32(108), 0, out.first);
  PackedDateTimeToTm(r.I32(116), 0, out.last);
  MsSetText(out.symbol, r.Text(1, 15), 14);
  MsSetText(out.name, r.Text(16, 46), 45);
  return !r.Failed() && r.Size() == kMsXmasterRecordSize && r.U8(0) == 1 && out.fileNumber != 0 &&
         IsFieldCount(out.fieldCount) && IsPeriodLetter(out.period);
}

int MsLoadFromMasters(MsDirectory& dir, TByteSpan masterBytes, TByteSpan emasterBytes, TByteSpan xmasterBytes) {
  const TByteView master(masterBytes), emaster(emasterBytes), xmaster(xmasterBytes);
  const size_t masterCount = RecordsPresent(master, kMsMasterRecordSize, kMsMasterRecordSize, master.U16(0));
  const size_t emasterCount = RecordsPresent(emaster, kMsEmasterRecordSize, kMsEmasterRecordSize, emaster.U16(0));

  // The valid EMASTER record of each file number (the first one).
  std::vector<MsSecurity> emasterRecords(emasterCount);
  std::array<int, 256> emasterByNumber;
  emasterByNumber.fill(-1);
  for (size_t i = 0; i < emasterCount; ++i) {
    const TByteView record = emaster.Record(kMsEmasterRecordSize * (i + 1), kMsEmasterRecordSize);
    if (MsDecodeEmasterRecord(record, emasterRecords[i]) && emasterByNumber[emasterRecords[i].fileNumber] < 0)
      emasterByNumber[emasterRecords[i].fileNumber] = static_cast<int>(i);
  }

  std::vector<MsSecurity> list;
  std::vector<bool> listed(65536, false);
  list.reserve(masterCount);
  for (size_t i = 0; i < masterCount; ++i) {
    MsSecurity fromMaster;
    if (!MsDecodeMasterRecord(master.Record(kMsMasterRecordSize * (i + 1), kMsMasterRecordSize), fromMaster)) continue;
    if (listed[fromMaster.fileNumber]) continue;  // one security per data file
    listed[fromMaster.fileNumber] = true;
    const int e = emasterByNumber[fromMaster.fileNumber];
    // EMASTER's record is trusted only when it describes the same security.
    const bool sameSecurity = e >= 0 && (fromMaster.symbol[0] == '\0' ||
                                         std::strcmp(fromMaster.symbol, emasterRecords[e].symbol) == 0);
    if (sameSecurity) {
      // A stale EMASTER keeps old first and last dates; MASTER's win.
      MsSecurity& merged = emasterRecords[e];
      if (TmToMbfDate(merged.first) != TmToMbfDate(fromMaster.first)) merged.first = fromMaster.first;
      if (TmToMbfDate(merged.last) != TmToMbfDate(fromMaster.last)) merged.last = fromMaster.last;
      emasterByNumber[fromMaster.fileNumber] = -1;
    }
    list.push_back(std::move(sameSecurity ? emasterRecords[e] : fromMaster));
  }

  if (xmaster.Size() >= kMsXmasterRecordSize && xmaster.U32(0) == kMsXmasterMagic) {
    const size_t xmasterCount = RecordsPresent(xmaster, kMsXmasterRecordSize, kMsXmasterRecordSize, xmaster.U16(10));
    for (size_t i = 0; i < xmasterCount; ++i) {
      MsSecurity record;
      if (!MsDecodeXmasterRecord(xmaster.Record(kMsXmasterRecordSize * (i + 1), kMsXmasterRecordSize), record))
        continue;
      if (listed[record.fileNumber]) continue;
      listed[record.fileNumber] = true;
      list.push_back(std::move(record));
    }
  }

  int32_t highest = std::min(master.U16(2), emaster.U16(2));
  for (size_t i = 0; i < list.size(); ++i) {
    list[i].recordNumber = static_cast<int32_t>(i + 1);
    highest = std::max(highest, list[i].fileNumber);
  }
  dir.securities = std::move(list);
  dir.securityCount = static_cast<int32_t>(dir.securities.size());
  dir.activeCount = dir.securityCount;
  dir.lastFileNumber = highest;
  MsNewStamp(dir, emaster.U32(49));
  return 1;
}

}  // namespace vz
