// Byte layouts of the generated master and data files.
#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "tools/msgen/MsGen.h"
#include "tools/msgen/MsGenMbf.h"

namespace vz::msgen {

namespace {

constexpr size_t kMasterRecordSize = 53;
constexpr size_t kEmasterRecordSize = 192;
constexpr size_t kXmasterRecordSize = 150;

// Our notice in the EMASTER and XMASTER headers: 41 characters and a
// terminator, where the format vendor's programs put theirs.
constexpr std::string_view kNotice = "Vuzuz msgen generated data, no real price";
static_assert(kNotice.size() == 41);

// Fixed-size buffer filled with zero; every field is put at its offset, so
// the code reads like the layout tables.
class TRecord {
public:
  explicit TRecord(size_t size) : bytes_(size, 0) {}

  void U8(size_t at, uint32_t v) { bytes_.at(at) = static_cast<uint8_t>(v); }
  void U16(size_t at, uint32_t v) {
    U8(at, v);
    U8(at + 1, v >> 8);
  }
  void U32(size_t at, uint32_t v) {
    U16(at, v);
    U16(at + 2, v >> 16);
  }
  void I32(size_t at, int32_t v) { U32(at, static_cast<uint32_t>(v)); }
  void Float(size_t at, float v) { U32(at, std::bit_cast<uint32_t>(v)); }
  void Mbf(size_t at, float v) { U32(at, FloatToMbfWord(v)); }
  // Copies text into a field of width bytes, cut at the width; the rest of
  // the field keeps its fill.
  void Text(size_t at, size_t width, std::string_view text, char fill = '\0') {
    for (size_t i = 0; i < width; ++i) U8(at + i, static_cast<unsigned char>(i < text.size() ? text[i] : fill));
  }

  std::vector<uint8_t>& Bytes() { return bytes_; }

private:
  std::vector<uint8_t> bytes_;
};

void Append(std::vector<uint8_t>& out, TRecord& record) {
  out.insert(out.end(), record.Bytes().begin(), record.Bytes().end());
}

int MasterFieldCount(const MsGenSecurity& s) {
  return s.fieldCount != 0 ? s.fieldCount : FieldCountOfMask(s.fieldMask);
}

int32_t FirstDate(const MsGenSecurity& s) { return s.bars.empty() ? 0 : s.bars.front().date; }
int32_t LastDate(const MsGenSecurity& s) { return s.bars.empty() ? 0 : s.bars.back().date; }
int32_t FirstTime(const MsGenSecurity& s) { return s.bars.empty() ? 0 : s.bars.front().time; }
int32_t LastTime(const MsGenSecurity& s) { return s.bars.empty() ? 0 : s.bars.back().time; }
// The century-based date number, or 0 for a security without bars.
float DateNumber(int32_t yyyymmdd) { return yyyymmdd == 0 ? 0.0f : static_cast<float>(CenturyDate(yyyymmdd)); }
// HHMM00 of a time of day in seconds.
float TimeOfDayNumber(int seconds) {
  const int minutes = std::max(seconds, 0) / 60;
  return static_cast<float>((minutes / 60) * 10000 + (minutes % 60) * 100);
}

std::string FileName(MsGenNameCase nameCase, std::string_view upper) {
  std::string name(upper);
  if (nameCase == MsGenNameCase::Upper) return name;
  for (size_t i = 0; i < name.size(); ++i) {
    const bool keep = nameCase == MsGenNameCase::Mixed && i == 0;
    if (!keep && name[i] >= 'A' && name[i] <= 'Z') name[i] = static_cast<char>(name[i] - 'A' + 'a');
  }
  return name;
}

std::string DataFileName(MsGenNameCase nameCase, int fileNumber) {
  std::string upper = "F";
  upper += std::to_string(fileNumber);
  upper += fileNumber <= kMaxMasterFileNumber ? ".DAT" : ".MWD";
  return FileName(nameCase, upper);
}

void PutMasterHeader(TRecord& header, size_t count, int lastFileNumber, uint32_t stamp) {
  header.U16(0, static_cast<uint32_t>(count));
  header.U16(2, static_cast<uint32_t>(lastFileNumber));
  header.U32(49, stamp);
}

std::vector<uint8_t> BuildMaster(const std::vector<const MsGenSecurity*>& listed, int lastFileNumber, uint32_t stamp) {
  std::vector<uint8_t> out;
  TRecord header(kMasterRecordSize);
  PutMasterHeader(header, listed.size(), lastFileNumber, stamp);
  Append(out, header);
  for (const MsGenSecurity* s : listed) {
    const int fieldCount = MasterFieldCount(*s);
    TRecord r(kMasterRecordSize);
    r.U8(0, static_cast<uint32_t>(s->fileNumber));
    r.U8(1, 0x65);
    r.U8(3, static_cast<uint32_t>(fieldCount * 4));
    r.U8(4, static_cast<uint32_t>(fieldCount));
    r.Text(7, 16, s->name, ' ');
    r.Mbf(25, DateNumber(FirstDate(*s)));
    r.Mbf(29, DateNumber(LastDate(*s)));
    r.U8(33, static_cast<unsigned char>(s->period));
    r.U16(34, static_cast<uint32_t>(s->interval));
    r.Text(36, 14, s->symbol, ' ');
    r.Text(50, 2, "  ");
    Append(out, r);
  }
  return out;
}

std::vector<uint8_t> BuildEmaster(const std::vector<const MsGenSecurity*>& listed, size_t headerCount,
                                  int lastFileNumber, uint32_t stamp) {
  std::vector<uint8_t> out;
  TRecord header(kEmasterRecordSize);
  PutMasterHeader(header, headerCount, lastFileNumber, stamp);
  header.Text(53, kNotice.size(), kNotice);
  Append(out, header);
  for (const MsGenSecurity* s : listed) {
    TRecord r(kEmasterRecordSize);
    r.Text(0, 2, "66");
    r.U8(2, static_cast<uint32_t>(s->fileNumber));
    r.U8(6, static_cast<uint32_t>(MasterFieldCount(*s)));
    r.U16(7, s->fieldMask);
    r.U8(9, ' ');
    r.Text(11, 14, s->symbol);
    r.Text(32, 16, s->name);
    r.U16(60, static_cast<unsigned char>(s->period));
    r.U16(62, static_cast<uint32_t>(s->interval));
    r.Float(64, DateNumber(FirstDate(*s)));
    r.Float(68, static_cast<float>(FirstTime(*s)));
    r.Float(72, DateNumber(LastDate(*s)));
    r.Float(76, static_cast<float>(LastTime(*s)));
    r.Float(80, TimeOfDayNumber(s->dayStartSeconds));
    r.Float(84, TimeOfDayNumber(s->dayEndSeconds));
    r.I32(126, FirstDate(*s));
    r.Text(139, s->name.size(), s->name);  // terminator from the zero fill
    Append(out, r);
  }
  return out;
}

std::vector<uint8_t> BuildXmaster(const std::vector<const MsGenSecurity*>& listed, int nextFileNumber, uint32_t stamp) {
  std::vector<uint8_t> out;
  TRecord header(kXmasterRecordSize);
  header.Text(0, 4, "\x5D\xFE\x58\x4D");
  header.U32(6, stamp);
  header.U16(10, static_cast<uint32_t>(listed.size()));
  header.U16(14, static_cast<uint32_t>(listed.size()));
  header.U16(18, static_cast<uint32_t>(nextFileNumber));
  header.Text(22, kNotice.size(), kNotice);
  Append(out, header);
  for (const MsGenSecurity* s : listed) {
    TRecord r(kXmasterRecordSize);
    r.U8(0, 1);
    r.Text(1, 15, s->symbol);
    r.Text(16, s->name.size(), s->name);  // terminator from the zero fill
    r.U8(62, static_cast<unsigned char>(s->period));
    r.U16(63, static_cast<uint32_t>(s->interval));
    r.U16(65, static_cast<uint32_t>(s->fileNumber));
    r.U8(70, s->fieldMask);
    // Real files repeat the first date at 80, 104 and 108.
    r.I32(80, FirstDate(*s));
    r.I32(104, FirstDate(*s));
    r.I32(108, FirstDate(*s));
    r.I32(116, LastDate(*s));
    Append(out, r);
  }
  return out;
}

std::vector<uint8_t> BuildDataBytes(const MsGenSecurity& s, bool sloppyZero, bool truncated) {
  const uint8_t mask = s.fieldMask;
  const size_t recordSize = static_cast<size_t>(FieldCountOfMask(mask)) * 4;
  std::vector<uint8_t> out;
  out.reserve(recordSize * (s.bars.size() + 1));
  TRecord header(recordSize);
  header.U16(2, static_cast<uint32_t>(s.bars.size() + 1));
  Append(out, header);

  auto put = [&](float v) {
    const uint32_t w = (sloppyZero && v == 0.0f) ? kSloppyMbfZero : FloatToMbfWord(v);
    out.push_back(static_cast<uint8_t>(w));
    out.push_back(static_cast<uint8_t>(w >> 8));
    out.push_back(static_cast<uint8_t>(w >> 16));
    out.push_back(static_cast<uint8_t>(w >> 24));
  };
  const bool hasDate = (mask & kMaskDate) != 0;
  for (const MsGenBar& bar : s.bars) {
    if (hasDate) put(static_cast<float>(CenturyDate(bar.date)));
    if (mask & kMaskTime) put(static_cast<float>(bar.time));
    if (mask & kMaskOpen) put(bar.open);
    if (mask & kMaskHigh) put(bar.high);
    if (mask & kMaskLow) put(bar.low);
    if (hasDate) put(bar.close);
    if (hasDate) put(bar.volume);
    if (mask & kMaskOpenInterest) put(bar.openInterest);
  }
  // Cut in the middle of the last record (of the header when there is none).
  if (truncated) out.resize(out.size() - recordSize / 2);
  return out;
}

bool Contains(const std::vector<int>& list, int value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

int LastFileNumber(const std::vector<const MsGenSecurity*>& listed) {
  int last = 0;
  for (const MsGenSecurity* s : listed) last = std::max(last, s->fileNumber);
  return last;
}

}  // namespace

int FieldCountOfMask(uint8_t mask) {
  int count = (mask & kMaskDate) ? 3 : 0;
  for (uint8_t bit : {kMaskTime, kMaskOpen, kMaskHigh, kMaskLow, kMaskOpenInterest})
    if (mask & bit) ++count;
  return count;
}

std::vector<MsGenFile> BuildMasterFiles(const MsGenDirectory& directory) {
  const MsGenFaults& faults = directory.faults;
  std::vector<const MsGenSecurity*> inMaster;
  std::vector<const MsGenSecurity*> inEmaster;
  std::vector<const MsGenSecurity*> inXmaster;
  int lastAny = 0;
  for (const MsGenSecurity& s : directory.securities) {
    lastAny = std::max(lastAny, s.fileNumber);
    if (s.fileNumber > kMaxMasterFileNumber) {
      inXmaster.push_back(&s);
      continue;
    }
    if (!Contains(faults.emasterOnlyFiles, s.fileNumber)) inMaster.push_back(&s);
    if (!Contains(faults.masterOnlyFiles, s.fileNumber)) inEmaster.push_back(&s);
  }
  if (faults.staleEmaster && !inMaster.empty())
    inEmaster.erase(std::remove(inEmaster.begin(), inEmaster.end(), inMaster.back()), inEmaster.end());
  if (faults.reversedEmaster) std::reverse(inEmaster.begin(), inEmaster.end());

  std::vector<MsGenFile> files;
  files.push_back(
      {FileName(directory.nameCase, "MASTER"), BuildMaster(inMaster, LastFileNumber(inMaster), directory.stamp)});
  if (!faults.omitEmaster) {
    const size_t headerCount = faults.emasterCountBeyondFile ? kMaxMasterFileNumber : inEmaster.size();
    std::vector<uint8_t> bytes = BuildEmaster(inEmaster, headerCount, LastFileNumber(inEmaster), directory.stamp);
    for (size_t i = 0; i < inEmaster.size(); ++i) {
      if (!Contains(faults.malformedEmasterFiles, inEmaster[i]->fileNumber)) continue;
      bytes[kEmasterRecordSize * (i + 1) + 2] = 0;
      bytes[kEmasterRecordSize * (i + 1) + 6] = 48;
    }
    files.push_back({FileName(directory.nameCase, "EMASTER"), std::move(bytes)});
  }
  if (!inXmaster.empty())
    files.push_back({FileName(directory.nameCase, "XMASTER"), BuildXmaster(inXmaster, lastAny + 1, directory.stamp)});
  return files;
}

MsGenFile BuildDataFile(const MsGenDirectory& directory, const MsGenSecurity& security) {
  const MsGenFaults& faults = directory.faults;
  return {DataFileName(directory.nameCase, security.fileNumber),
          BuildDataBytes(security, faults.sloppyZero, Contains(faults.truncatedFiles, security.fileNumber))};
}

std::vector<MsGenFile> BuildMetastockFiles(const MsGenDirectory& directory) {
  std::vector<MsGenFile> files = BuildMasterFiles(directory);
  for (const MsGenSecurity& s : directory.securities)
    if (!Contains(directory.faults.missingFiles, s.fileNumber)) files.push_back(BuildDataFile(directory, s));
  return files;
}

}  // namespace vz::msgen
