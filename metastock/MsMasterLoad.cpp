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
#include <cstring>
#include <string>

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

bool MsReadMasterFile(const platform::TSharedFile& file, MsMasterKind kind, Bytes& out) {
  out.clear();
  const size_t recordSize = kind == MsMasterKind::Master    ? kMsMasterRecordSize
                            : kind == MsMasterKind::Emaster ? kMsEmasterRecordSize
                                                            : kMsXmasterRecordSize;
  const int64_t size = file.Size();
  if (size < 0) return false;
  // The header is one record; the count is a uint16 at 0 (MASTER, EMASTER)
  // or at 10 (XMASTER), read from the header itself.
  out.resize(static_cast<size_t>(std::min<int64_t>(size, static_cast<int64_t>(recordSize))));
  size_t got = 0;
  if (!file.ReadAt(0, out.data(), out.size(), got)) return false;
  out.resize(got);
  const TByteView header(out);
  const size_t claimed = kind == MsMasterKind::Xmaster ? header.U16(10) : header.U16(0);
  const uint64_t wanted =
      std::min<uint64_t>(static_cast<uint64_t>(size), recordSize * (claimed + 1) + kMsMasterTailBytes);
  if (got < recordSize || wanted <= got) return true;
  const size_t start = out.size();
  out.resize(static_cast<size_t>(wanted));
  if (!file.ReadAt(start, out.data() + start, out.size() - start, got)) return false;
  out.resize(start + got);
  return true;
}

namespace {

std::string Trimmed(std::string text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "ABC (F12)", "ABC", "F12" or "" for a master record that cannot be listed.
std::string RecordLabel(const std::string& symbol, const std::string& name, int32_t fileNumber) {
  std::string label = symbol.empty() ? name : symbol;
  if (fileNumber > 0) label += (label.empty() ? "F" : " (F") + std::to_string(fileNumber) + (label.empty() ? "" : ")");
  return label;
}

}  // namespace

int MsLoadFromMasters(MsDirectory& dir, TByteSpan masterBytes, TByteSpan emasterBytes, TByteSpan xmasterBytes) {
  const TByteView master(masterBytes), emaster(emasterBytes), xmaster(xmasterBytes);
  const size_t masterClaimed = master.Size() >= kMsMasterRecordSize ? master.U16(0) : 0;
  const size_t masterCount = RecordsPresent(master, kMsMasterRecordSize, kMsMasterRecordSize, master.U16(0));
  std::vector<MsSkippedRecord>& skipped = dir.skippedRecords;
  skipped.clear();
  size_t unnamed = 0;  // garbled records without a symbol, name or file number
  auto skip = [&](MsError code, std::string label, const char* file = kMsMasterName) {
    if (label.empty())
      ++unnamed;
    else
      skipped.push_back({code, std::move(label), 1, file});
  };
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
    const TByteView record = master.Record(kMsMasterRecordSize * (i + 1), kMsMasterRecordSize);
    if (!MsDecodeMasterRecord(record, fromMaster)) {
      skip(MsError::GarbledRecord,
           RecordLabel(Trimmed(record.Text(36, 14)), Trimmed(record.Text(7, 16)), record.U8(0)));
      continue;
    }
    if (listed[fromMaster.fileNumber]) {  // one security per data file
      skip(MsError::SecondRecord, RecordLabel(fromMaster.symbol, fromMaster.name, fromMaster.fileNumber));
      continue;
    }
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

  if (masterClaimed > masterCount) skipped.push_back({MsError::BeyondFile, {}, masterClaimed - masterCount});
  // A MASTER that lists nothing while EMASTER describes securities: those
  // are not converted (EMASTER alone is not trusted), but they are named.
  if (list.empty()) {
    for (size_t i = 0; i < emasterCount; ++i) {
      const MsSecurity& e = emasterRecords[i];
      if (e.fileNumber != 0 && emasterByNumber[e.fileNumber] == static_cast<int>(i))
        skip(MsError::OnlyInEmaster, RecordLabel(e.symbol, e.name, e.fileNumber), kMsEmasterName);
    }
  }
  if (unnamed > 0) skipped.push_back({MsError::GarbledRecord, {}, unnamed});

  if (xmaster.Size() >= kMsXmasterRecordSize && xmaster.U32(0) == kMsXmasterMagic) {
    const size_t xmasterClaimed = xmaster.U16(10);
    const size_t xmasterCount = RecordsPresent(xmaster, kMsXmasterRecordSize, kMsXmasterRecordSize, xmasterClaimed);
    unnamed = 0;
    for (size_t i = 0; i < xmasterCount; ++i) {
      MsSecurity record;
      const TByteView bytes = xmaster.Record(kMsXmasterRecordSize * (i + 1), kMsXmasterRecordSize);
      if (!MsDecodeXmasterRecord(bytes, record)) {
        skip(MsError::GarbledRecord,
             RecordLabel(Trimmed(bytes.Text(1, 15)), Trimmed(bytes.Text(16, 46)), bytes.U16(65)), kMsXmasterName);
        continue;
      }
      if (listed[record.fileNumber]) {
        skip(MsError::SecondRecord, RecordLabel(record.symbol, record.name, record.fileNumber), kMsXmasterName);
        continue;
      }
      listed[record.fileNumber] = true;
      list.push_back(std::move(record));
    }
    if (xmasterClaimed > xmasterCount)
      skipped.push_back({MsError::BeyondFile, {}, xmasterClaimed - xmasterCount, kMsXmasterName});
    if (unnamed > 0) skipped.push_back({MsError::GarbledRecord, {}, unnamed, kMsXmasterName});
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
  // Different from the stamp in EMASTER's header (MASTER's where there is
  // no EMASTER).
  MsNewStamp(dir, emaster.Size() >= kMsEmasterRecordSize ? emaster.U32(49) : master.U32(49));
  return 1;
}

}  // namespace vz
