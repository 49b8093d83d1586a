// Building the security list from MASTER, EMASTER and XMASTER (layouts:
// MsMasterLayout.h, MsEmasterLayout.h, MsXmasterLayout.h).
//
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
#include "metastock/MsPriceLayout.h"
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
    case 5: return kMsMaskDhlcv;
    case 6: return kMsMaskDohlcv;
    case 7: return period == kMsPeriodIntraday ? kMsMaskDtohlcv : kMsMaskDohlcvi;
    case 8: return kMsMaskDtohlcvi;
    default: return 0;
  }
}

int32_t MsFieldsOfMask(int32_t fieldMask) {
  int32_t fields = (fieldMask & kMsMaskDate) ? 3 : 0;
  for (int32_t bit : {kMsMaskTime, kMsMaskOpen, kMsMaskHigh, kMsMaskLow, kMsMaskOpenInterest})
    if (fieldMask & bit) ++fields;
  return fields;
}

bool MsDecodeMasterRecord(TByteView r, MsSecurity& out) {
  StartRecord(out);
  out.fileNumber = masterfile::kFileNumber.GetI32(r);
  out.fieldCount = masterfile::kFieldCount.GetI32(r);
  out.period = masterfile::kPeriod.GetI32(r);
  out.interval = masterfile::kInterval.GetI32(r);
  out.fieldMask = MsMaskForFieldCount(out.fieldCount, out.period);
  MbfDateTimeToTm(masterfile::kFirstDate.Get(r), 0, out.first);
  MbfDateTimeToTm(masterfile::kLastDate.Get(r), 0, out.last);
  MsSetText(out.symbol, masterfile::kSymbol.GetText(r));
  MsSetText(out.name, masterfile::kName.GetText(r));
  return !r.Failed() && r.Size() == kMsMasterRecordSize && out.fileNumber != 0 && out.fieldMask != 0 &&
         IsPeriodLetter(out.period);
}

bool MsDecodeEmasterRecord(TByteView r, MsSecurity& out) {
  StartRecord(out);
  out.fileNumber = emasterfile::kFileNumber.GetI32(r);
  out.fieldCount = emasterfile::kFieldCount.GetI32(r);
  out.fieldMask = emasterfile::kFieldMask.GetI32(r);
  out.auxByte = emasterfile::kAuxByte.GetI32(r);
  out.period = emasterfile::kPeriod.GetI32(r);
  out.interval = emasterfile::kInterval.GetI32(r);
  FloatDateTimeToTm(emasterfile::kFirstDate.GetFloat(r), emasterfile::kFirstTime.GetFloat(r), out.first);
  FloatDateTimeToTm(emasterfile::kLastDate.GetFloat(r), emasterfile::kLastTime.GetFloat(r), out.last);
  out.dayStart = FloatTimeToSeconds(emasterfile::kDayStart.GetFloat(r));
  out.dayEnd = FloatTimeToSeconds(emasterfile::kDayEnd.GetFloat(r));
  MsSetText(out.symbol, emasterfile::kSymbol.GetText(r));
  const std::string longName = emasterfile::kLongName.GetText(r, kMsNameChars);
  MsSetText(out.name, longName.empty() ? emasterfile::kShortName.GetText(r) : longName);
  return !r.Failed() && r.Size() == kMsEmasterRecordSize && out.fileNumber != 0 && IsFieldCount(out.fieldCount) &&
         IsPeriodLetter(out.period);
}

bool MsDecodeXmasterRecord(TByteView r, MsSecurity& out) {
  StartRecord(out);
  out.fileNumber = xmasterfile::kFileNumber.GetI32(r);
  out.fieldMask = xmasterfile::kFieldMask.GetI32(r);
  out.fieldCount = CountBits(static_cast<uint32_t>(out.fieldMask));
  out.period = xmasterfile::kPeriod.GetI32(r);
  out.interval = xmasterfile::kInterval.GetI32(r);
  PackedDateTimeToTm(xmasterfile::kFirstDate.GetI32(r), 0, out.first);
  PackedDateTimeToTm(xmasterfile::kLastDate.GetI32(r), 0, out.last);
  MsSetText(out.symbol, xmasterfile::kSymbol.GetText(r), kMsSymbolChars);
  MsSetText(out.name, xmasterfile::kName.GetText(r), kMsNameChars);
  return !r.Failed() && r.Size() == kMsXmasterRecordSize && xmasterfile::kMark.Get(r) == 1 && out.fileNumber != 0 &&
         IsFieldCount(out.fieldCount) && IsPeriodLetter(out.period);
}

bool MsReadMasterFile(const platform::TSharedFile& file, MsMasterKind kind, Bytes& out) {
  out.clear();
  const size_t recordSize = kind == MsMasterKind::Master    ? kMsMasterRecordSize
                            : kind == MsMasterKind::Emaster ? kMsEmasterRecordSize
                                                            : kMsXmasterRecordSize;
  const int64_t size = file.Size();
  if (size < 0) return false;
  // The header is one record and holds the count.
  out.resize(static_cast<size_t>(std::min<int64_t>(size, static_cast<int64_t>(recordSize))));
  size_t got = 0;
  if (!file.ReadAt(0, out.data(), out.size(), got)) return false;
  out.resize(got);
  const TByteView header(out);
  const MsField countField = kind == MsMasterKind::Master    ? masterfile::kCount
                            : kind == MsMasterKind::Emaster ? emasterfile::kCount
                                                            : xmasterfile::kCount;
  const size_t claimed = countField.Get(header);
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
  const size_t masterClaimed = master.Size() >= kMsMasterRecordSize ? masterfile::kCount.Get(master) : 0;
  const size_t masterCount = RecordsPresent(master, kMsMasterRecordSize, kMsMasterRecordSize, masterClaimed);
  std::vector<MsSkippedRecord>& skipped = dir.skippedRecords;
  skipped.clear();
  size_t unnamed = 0;  // garbled records without a symbol, name or file number
  auto skip = [&](MsError code, std::string label, const char* file = kMsMasterName) {
    if (label.empty())
      ++unnamed;
    else
      skipped.push_back({code, std::move(label), 1, file});
  };
  const size_t emasterCount =
      RecordsPresent(emaster, kMsEmasterRecordSize, kMsEmasterRecordSize, emasterfile::kCount.Get(emaster));

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
           RecordLabel(Trimmed(masterfile::kSymbol.GetText(record)), Trimmed(masterfile::kName.GetText(record)),
                       masterfile::kFileNumber.GetI32(record)));
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

  if (xmaster.Size() >= kMsXmasterRecordSize && xmasterfile::kMagic.Get(xmaster) == kMsXmasterMagic) {
    const size_t xmasterClaimed = xmasterfile::kCount.Get(xmaster);
    const size_t xmasterCount = RecordsPresent(xmaster, kMsXmasterRecordSize, kMsXmasterRecordSize, xmasterClaimed);
    unnamed = 0;
    for (size_t i = 0; i < xmasterCount; ++i) {
      MsSecurity record;
      const TByteView bytes = xmaster.Record(kMsXmasterRecordSize * (i + 1), kMsXmasterRecordSize);
      if (!MsDecodeXmasterRecord(bytes, record)) {
        skip(MsError::GarbledRecord,
             RecordLabel(Trimmed(xmasterfile::kSymbol.GetText(bytes)), Trimmed(xmasterfile::kName.GetText(bytes)),
                         xmasterfile::kFileNumber.GetI32(bytes)),
             kMsXmasterName);
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

  int32_t highest = static_cast<int32_t>(std::min(masterfile::kLastFileNumber.Get(master), emasterfile::kLastFileNumber.Get(emaster)));
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
  MsNewStamp(dir, emaster.Size() >= kMsEmasterRecordSize ? emasterfile::kStamp.Get(emaster) : masterfile::kStamp.Get(master));
  return 1;
}

}  // namespace vz
