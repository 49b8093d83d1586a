#include "metastock/MsPriceData.h"

#include <algorithm>
#include <cstdio>

#include "metastock/MsBytes.h"
#include "metastock/MsLockFile.h"
#include "metastock/MsNumbers.h"
#include "platform/FileSystem.h"

namespace vz {

namespace {

constexpr int32_t kMaxFieldCount = 255;  // the MASTER record length is one byte

enum TField { kDate, kTime, kOpen, kHigh, kLow, kClose, kVolume, kOpenInterest, kFieldKinds };

// Byte offset of each field inside a record, -1 when absent or beyond the
// record's width.
void FieldOffsets(int32_t fieldCount, int32_t fieldMask, int (&offsets)[kFieldKinds]) {
  const bool dated = (fieldMask & 0x0F) != 0;
  const bool present[kFieldKinds] = {dated,
                                     (fieldMask & 0x80) != 0,
                                     (fieldMask & 0x20) != 0,
                                     (fieldMask & 0x08) != 0,
                                     (fieldMask & 0x10) != 0,
                                     dated,
                                     dated,
                                     (fieldMask & 0x40) != 0};
  int next = 0;
  for (int f = 0; f < kFieldKinds; ++f) {
    offsets[f] = -1;
    if (!present[f]) continue;
    if (next < fieldCount) offsets[f] = next * 4;
    ++next;
  }
}

// Seconds of 00:00 UTC of an MBF date: the same as
// MbfDateTimeToUtcSeconds(word, 0), with a short path for ordinary dates
// (years 1901 on, months 1 to 12), which need no normalisation.
inline int64_t DateSeconds(uint32_t word) {
  const int32_t d = TruncToInt32(MbfToFloat(word));
  if (d >= 10100) {
    const uint32_t u = static_cast<uint32_t>(d);
    const uint32_t month = u / 100 % 100;
    if (month >= 1 && month <= 12) {
      const uint32_t day = u % 100;
      const uint32_t year = u / 10000 + 1900 - (month <= 2 ? 1 : 0);
      const uint32_t era = year / 400;
      const uint32_t yearOfEra = year - era * 400;
      const uint32_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
      const uint32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
      return (int64_t{era} * 146097 + dayOfEra - 719468) * 86400;
    }
  }
  return MbfDateTimeToUtcSeconds(word, 0);
}

inline double FieldValue(const uint8_t* record, int offset) {
  return offset < 0 ? 0.0 : static_cast<double>(MbfToFloat(LoadU32(record + offset)));
}

}  // namespace

int32_t MsDecodeBars(std::span<const uint8_t> file, int32_t fieldCount, int32_t fieldMask, std::vector<MsBar>& bars) {
  if (fieldCount <= 0 || fieldCount > kMaxFieldCount) {
    bars.clear();
    return 0;
  }
  const size_t recordSize = static_cast<size_t>(fieldCount) * 4;
  const TByteView view(file);
  const int32_t claimed = static_cast<int32_t>(view.U16(2)) - 1;
  const size_t present = file.size() >= recordSize ? file.size() / recordSize - 1 : 0;
  const size_t count = claimed > 0 ? std::min(static_cast<size_t>(claimed), present) : 0;
  bars.resize(count);

  int offsets[kFieldKinds];
  FieldOffsets(fieldCount, fieldMask, offsets);
  // Consecutive bars mostly share a date: its seconds are computed once.
  uint32_t cachedDate = 0;
  int64_t cachedDateSeconds = MbfDateTimeToUtcSeconds(0, 0);
  const uint8_t* record = file.data() + recordSize;
  for (size_t i = 0; i < count; ++i, record += recordSize) {
    MsBar& bar = bars[i];
    if (offsets[kDate] >= 0) {
      const uint32_t date = LoadU32(record + offsets[kDate]);
      if (date != cachedDate) {
        cachedDate = date;
        cachedDateSeconds = DateSeconds(date);
      }
      int64_t seconds = cachedDateSeconds;
      if (offsets[kTime] >= 0) {
        // HHMMSS -> HHMM, seconds dropped, as MbfDateTimeToTm does.
        const int64_t hhmm = TruncToInt32(MbfToFloat(LoadU32(record + offsets[kTime]))) / 100;
        seconds += (hhmm / 100) * 3600 + (hhmm % 100) * 60;
      }
      bar.time = seconds;
    } else {
      bar.time = 0;
    }
    bar.open = FieldValue(record, offsets[kOpen]);
    bar.high = FieldValue(record, offsets[kHigh]);
    bar.low = FieldValue(record, offsets[kLow]);
    bar.close = FieldValue(record, offsets[kClose]);
    bar.volume = FieldValue(record, offsets[kVolume]);
    bar.openInterest = FieldValue(record, offsets[kOpenInterest]);
  }
  return static_cast<int32_t>(count);
}

std::string MsDataFileName(const MsDirectory& dir, int32_t fileNumber) {
  char name[32];
  std::snprintf(name, sizeof name, "F%d.%s", static_cast<int>(fileNumber), fileNumber < 256 ? "DAT" : "MWD");
  return MsFindFile(dir.directory, name);
}

namespace {

bool OpenExistingDataFile(MsSecurity& security, const std::string& path) {
  platform::FileOpenMode mode;
  mode.access = platform::FileAccess::ReadWrite;
  mode.share = platform::FileShare::ReadWrite;
  if (security.dataFile.Open(path, mode)) return true;
  // A data file without write permission can still be read.
  mode.access = platform::FileAccess::Read;
  return security.dataFile.Open(path, mode);
}

}  // namespace

int MsCreateDataFile(MsDirectory& dir, MsSecurity& security) {
  if (!security.inUse) return 0;
  security.dataFile.Close();
  if (security.fieldCount <= 0 || security.fieldCount > kMaxFieldCount) return 0;
  const std::string path = MsDataFileName(dir, security.fileNumber);
  // Never replace an existing file: its prices would be lost.
  if (platform::FileExists(path)) return 0;
  platform::TSharedFile file;
  platform::FileOpenMode mode;
  mode.access = platform::FileAccess::Write;
  mode.share = platform::FileShare::ReadWrite;
  mode.disposition = platform::FileDisposition::CreateAlways;
  mode.archive = true;
  if (!file.Open(path, mode)) return 0;
  security.recordCount = 0;
  TBytes header(static_cast<size_t>(security.fieldCount) * 4, 0);
  StoreU16(header.data() + 2, 1);
  return file.WriteAt(0, header.data(), header.size()) ? 1 : 0;
}

int MsOpenDataFile(MsDirectory& dir, MsSecurity& security) {
  if (!security.inUse) return 0;
  security.dataFile.Close();
  const std::string path = MsDataFileName(dir, security.fileNumber);
  if (!OpenExistingDataFile(security, path)) {
    if (platform::FileExists(path)) return 0;  // exists but cannot be opened: leave it alone
    if (!MsCreateDataFile(dir, security) || !OpenExistingDataFile(security, path)) return 0;
  }
  uint8_t header[4] = {};
  size_t got = 0;
  security.dataFile.ReadAt(0, header, sizeof header, got);
  security.recordCount = got == sizeof header ? LoadU16(header + 2) - 1 : 0;
  return 1;
}

int32_t MsReadBars(MsDirectory& dir, MsSecurity& security, std::vector<MsBar>& bars) {
  MsSetLock(dir, security, kMsLockReading, true);
  int32_t result = -1;
  if (MsOpenDataFile(dir, security)) {
    // One buffer per thread, reused: no allocation or zero-fill per read.
    thread_local TBytes bytes;
    const bool read = security.dataFile.ReadAll(bytes);
    security.dataFile.Close();
    if (read) {
      result = MsDecodeBars(bytes, security.fieldCount, security.fieldMask, bars);
      security.recordCount = result;
    }
    if (bytes.capacity() > (size_t{4} << 20)) TBytes().swap(bytes);
  }
  MsSetLock(dir, security, kMsLockReading, false);
  return result;
}

}  // namespace vz
