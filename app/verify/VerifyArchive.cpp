#include "app/verify/VerifyArchive.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <span>
#include <map>

#include "app/run/DayText.h"
#include "vuzuz/Dates.h"
#include "vuzuz/OmzArchive.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzDescriptor.h"
#include "vuzuz/OmzIndex.h"
#include "vuzuz/OmzIntraday.h"

namespace vz::app {

namespace {

// Header fields the data and index files state about themselves.
constexpr size_t kSizeLessOneField = 0x000;   // both files: file size - 1
constexpr size_t kDatBlockCountField = 0x014;
constexpr size_t kIdxLeafCountField = 0x018;
// Largest file an entry may expand to: a day of every tick of a big
// directory stays far below it.
constexpr size_t kMaxExpanded = size_t{512} << 20;

bool Digits(const std::string& text, size_t from, size_t count, int& value) {
  if (from + count > text.size()) return false;
  value = 0;
  for (size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

bool EndsWithOmz(const std::string& name, std::string& base) {
  if (name.size() < 5) return false;
  std::string ext = name.substr(name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext != ".omz") return false;
  base = name.substr(0, name.size() - 4);
  return true;
}

// The entries each kind of archive holds, in the order the program packs them.
std::vector<std::string> ExpectedEntries(const ArchivePlace& place) {
  if (place.kind == ArchiveKind::Daily) return {place.base, place.base + ".DLY"};
  return {place.base, place.base + ".DAT", place.base + ".IDX"};
}

// A data or index file states its own length, less one, in its first field.
void CheckStatedSize(const omz::ArchiveEntry& entry, std::vector<std::string>& damage) {
  if (entry.data.size() < 4) return;  // the parser says what is missing
  const uint64_t stated = uint64_t{LoadU32(entry.data.data() + kSizeLessOneField)} + 1;
  if (stated != entry.data.size())
    damage.push_back("entry " + entry.name + " expands to " + std::to_string(entry.data.size()) +
                     " bytes, its header says " + std::to_string(stated));
}

void CheckDaily(const omz::ArchiveEntry& dly, const ArchivePlace& place, ArchiveCheck& check) {
  std::vector<omz::DailyBlock> blocks;
  omz::Failure error;
  if (!omz::ReadDailyFile(dly.data, blocks, error)) {
    check.damage.push_back("entry " + dly.name + " does not parse: " + error.text);
    return;
  }
  std::map<std::string, int> blocksOfName;
  for (const omz::DailyBlock& block : blocks) {
    if (++blocksOfName[block.name] == 2) check.damage.push_back("\"" + block.name + "\" has two blocks");
    for (size_t i = 1; i < block.records.size(); ++i)
      if (block.records[i].day <= block.records[i - 1].day) {
        check.damage.push_back("\"" + block.name + "\" " + IsoDayText(block.records[i].day) +
                               ": days not in rising order");
        break;
      }
  }
  check.securities = blocksOfName.size();
  check.daily = omz::DailyRowsOf(blocks);
  // The name holds the year's last two digits only.
  for (const omz::DailyRow& row : check.daily)
    if (MonthOfDateTime(row.date) % 1200 != place.month % 1200) {
      check.damage.push_back("\"" + row.name + "\" " + IsoDayText(DayNumber(row.date)) + ": a row outside " +
                             IsoMonthText(place.month).substr(2));
      break;
    }
}

// The index leads to every symbol's blocks in order: keys ascend, each
// block is reached once, and a symbol's blocks are numbered from 0 on one
// day with running tick counts that add up.
void CheckIndexRuns(const omz::ArchiveEntry& dat, const omz::ArchiveEntry& idx, const omz::IntradayContents& contents,
                    std::vector<std::string>& damage) {
  std::vector<omz::IndexEntry> leaves;
  omz::Failure error;
  if (!omz::ReadIndexLeaves(idx.data, leaves, error)) return;  // ReadIntradayFiles said so already
  for (size_t i = 1; i < leaves.size(); ++i)
    if (std::memcmp(leaves[i - 1].key.data(), leaves[i].key.data(), omz::kIndexKeySize) >= 0) {
      damage.push_back("index keys do not ascend at leaf " + std::to_string(i));
      break;
    }
  if (dat.data.size() >= omz::kDataHeaderSize && idx.data.size() >= omz::kIndexHeaderSize) {
    const uint32_t blocks = LoadU32(dat.data.data() + kDatBlockCountField);
    const uint32_t entries = LoadU32(idx.data.data() + kIdxLeafCountField);
    if (blocks != leaves.size() || entries != leaves.size())
      damage.push_back("the index leads to " + std::to_string(leaves.size()) + " tick blocks, the headers count " +
                       std::to_string(blocks) + " and " + std::to_string(entries));
  }
  std::vector<uint32_t> offsets;
  offsets.reserve(leaves.size());
  for (const omz::IndexEntry& leaf : leaves) offsets.push_back(leaf.pointer);
  std::sort(offsets.begin(), offsets.end());
  if (std::adjacent_find(offsets.begin(), offsets.end()) != offsets.end())
    damage.push_back("the index leads to one tick block twice");
  const std::vector<omz::TickBlockInfo>& blocks = contents.blocks;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const omz::TickBlockInfo& b = blocks[i];
    const bool first = i == 0 || blocks[i - 1].symbol != b.symbol;
    const uint32_t expectedNumber = first ? 0 : blocks[i - 1].block + 1u;
    const uint32_t expectedCumulative = (first ? 0u : blocks[i - 1].cumulative) + b.count;
    if (b.block != expectedNumber || (!first && b.day != blocks[i - 1].day) || b.cumulative != expectedCumulative) {
      damage.push_back("\"" + b.symbol + "\": tick block " + std::to_string(b.block) +
                       " does not follow its run (number, day or running count)");
      return;
    }
  }
}

// Header bytes a run fills in per file: sizes, counts, the root and the
// time stamps. Everything else in the headers is the same in every file
// of a base name.
constexpr size_t kDatPatched[] = {0x000, 0x008, 0x014, 0x018, 0x070, 0x42A};
constexpr size_t kIdxPatched[] = {0x000, 0x008, 0x018, 0x01C, 0x06C, 0x070};
// Of those, the time stamps (in ascending order).
constexpr size_t kDatStamps[] = {0x070, 0x42A};
constexpr size_t kIdxStamps[] = {0x070};

bool Patched(size_t offset, const size_t* fields, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (offset >= fields[i] && offset < fields[i] + 4) return true;
  return false;
}

// The fixed header bytes of both files and the 0xFF padding after their
// blocks and nodes, against the writer's own for the same base name.
void CheckFixedBytes(const omz::ArchiveEntry& dat, const omz::ArchiveEntry& idx, const ArchivePlace& place,
                     std::vector<std::string>& damage) {
  omz::Tick tick;
  omz::SetTickSymbol(tick, "A");
  tick.dateTime = static_cast<double>(place.day);
  omz::IntradayImage reference;
  omz::Failure error;
  if (!omz::BuildIntradayFiles(place.base, std::span<const omz::Tick>(&tick, 1), 0, reference, error)) return;
  auto compare = [&](const omz::ArchiveEntry& entry, const Bytes& model, size_t headerSize, const size_t* patched,
                     size_t patchedCount) {
    if (entry.data.size() < headerSize) return;  // the parser says so
    for (size_t offset = 0; offset < headerSize; ++offset)
      if (entry.data[offset] != model[offset] && !Patched(offset, patched, patchedCount)) {
        char text[96];
        std::snprintf(text, sizeof text, "entry %s: header byte 0x%zX is 0x%02X where the layout has 0x%02X",
                      entry.name.c_str(), offset, entry.data[offset], model[offset]);
        damage.push_back(text);
        return;
      }
    // After the last block or node (the field at 0x008 points at its last
    // byte) only 0xFF padding follows.
    const uint64_t end = uint64_t{LoadU32(entry.data.data() + 0x008)} + 1;
    if (end < headerSize || end > entry.data.size()) {
      damage.push_back("entry " + entry.name + ": its header ends the data at " + std::to_string(end) +
                       ", outside the file");
      return;
    }
    for (size_t offset = end; offset < entry.data.size(); ++offset)
      if (entry.data[offset] != 0xFF) {
        damage.push_back("entry " + entry.name + ": byte " + std::to_string(offset) + " of the padding is not 0xFF");
        return;
      }
  };
  compare(dat, reference.dat, omz::kDataHeaderSize, kDatPatched, std::size(kDatPatched));
  compare(idx, reference.idx, omz::kIndexHeaderSize, kIdxPatched, std::size(kIdxPatched));
}

void CheckIntraday(const omz::ArchiveEntry& dat, const omz::ArchiveEntry& idx, const ArchivePlace& place,
                   ArchiveCheck& check) {
  omz::IntradayContents contents;
  omz::Failure error;
  if (!omz::ReadIntradayFiles(dat.data, idx.data, contents, error)) {
    check.damage.push_back("entries " + dat.name + " and " + idx.name + " do not parse: " + error.text);
    return;
  }
  CheckFixedBytes(dat, idx, place, check.damage);
  CheckIndexRuns(dat, idx, contents, check.damage);
  // Each symbol's ticks in time order; then its first and last tick in
  // the archive's day put all of them there (the clock conversion is
  // monotonic), which spares a conversion per tick.
  const std::vector<omz::Tick>& ticks = contents.ticks;
  std::vector<std::pair<size_t, size_t>> runs;  // first and last tick of each symbol
  for (size_t i = 0; i < ticks.size(); ++i) {
    const bool first = i == 0 || std::strncmp(ticks[i].symbol, ticks[i - 1].symbol, sizeof ticks[i].symbol) != 0;
    if (first) {
      runs.push_back({i, i});
    } else if (ticks[i].dateTime < ticks[i - 1].dateTime) {
      check.damage.push_back("\"" + omz::TickSymbol(ticks[i]) + "\": ticks not in time order");
      break;
    }
    runs.back().second = i;
  }
  check.securities = runs.size();
  const std::unique_lock<std::mutex> clock = LockClock();
  for (const auto& [first, last] : runs)
    for (size_t i : {first, last}) {
      const int64_t day = DayNumber(MinusFiveToPlusOne(ticks[i].dateTime));
      if (day == place.day) continue;
      check.damage.push_back("\"" + omz::TickSymbol(ticks[i]) + "\": a tick of " + IsoDayText(day) +
                             " in the archive of " + IsoDayText(place.day));
      check.ticks = std::move(contents.ticks);
      return;
    }
  check.ticks = std::move(contents.ticks);
}

}  // namespace

std::unique_lock<std::mutex> LockClock() {
  static std::mutex clock;
  return std::unique_lock<std::mutex>(clock);
}

int MonthOfDateTime(double value) {
  const DateTimeParts p = DecodeDateTime(std::floor(value));
  return p.year * 12 + p.month - 1;
}

bool ParseArchivePlace(const std::string& relative, ArchivePlace& place, std::string& why) {
  place = {};
  place.relative = relative;
  const size_t slash = relative.find('/');
  const std::string folder = slash == std::string::npos ? "" : relative.substr(0, slash);
  const std::string file = slash == std::string::npos ? relative : relative.substr(slash + 1);
  std::string base;
  int yy = 0, mm = 0, dd = 0;
  const bool omz = EndsWithOmz(file, base) && file.find('/') == std::string::npos;
  if (omz && folder.empty() && base.size() == 5 && base[0] == 'd' && Digits(base, 1, 2, yy) &&
      Digits(base, 3, 2, mm) && mm >= 1 && mm <= 12) {
    place.base = base;
    place.kind = ArchiveKind::Daily;
    // Two-digit years read as 20YY, unless that lies in the future: the
    // folder then holds a month of the 1900s.
    const int thisYear = YearOf(UnixSecondsToDateTime(static_cast<int64_t>(std::time(nullptr))));
    const int year = 2000 + yy > thisYear ? 1900 + yy : 2000 + yy;
    place.month = year * 12 + mm - 1;
    return true;
  }
  double day = 0;
  // A day archive's month folder gives the whole year.
  int year = 0, folderMonth = 0;
  if (omz && base.size() == 7 && base[0] == 'i' && Digits(base, 1, 2, yy) && Digits(base, 3, 2, mm) &&
      Digits(base, 5, 2, dd)) {
    if (folder.size() != 7 || folder[4] != '_' || !Digits(folder, 0, 4, year) || !Digits(folder, 5, 2, folderMonth) ||
        year % 100 != yy || folderMonth != mm || !TryEncodeDate(year, mm, dd, day)) {
      char expected[16];
      std::snprintf(expected, sizeof expected, "YYYY_%02d", mm);
      why = "a day archive of that name belongs in a month folder " + std::string(expected) + " of its year";
      return false;
    }
    place.base = base;
    place.kind = ArchiveKind::Intraday;
    place.day = DayNumber(day);
    place.month = MonthOfDateTime(day);
    return true;
  }
  why = "not a name the program writes (dYYMM.omz, YYYY_MM/iYYMMDD.omz)";
  return false;
}

void CheckArchive(ByteView bytes, const ArchivePlace& place, ArchiveCheck& check) {
  check = {};
  std::vector<omz::ArchiveEntry> entries;
  omz::Failure error;
  if (!omz::ReadArchive(bytes, entries, error, kMaxExpanded)) check.damage.push_back(error.text);
  bool allExpanded = true;
  for (const omz::ArchiveEntry& entry : entries)
    if (!entry.expanded) {
      check.damage.push_back(entry.error.text + " (entry at offset " + std::to_string(entry.offset) + ")");
      allExpanded = false;
    }
  if (!check.damage.empty() && entries.empty()) return;
  const std::vector<std::string> expected = ExpectedEntries(place);
  std::vector<std::string> names;
  for (const omz::ArchiveEntry& entry : entries) names.push_back(entry.name);
  if (names != expected) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    std::string want;
    for (const std::string& name : expected) want += (want.empty() ? "" : ", ") + name;
    check.damage.push_back("entries " + (list.empty() ? std::string("none") : list) + " where " + want +
                           " belong");
  }
  if (!check.damage.empty() || !allExpanded) return;
  if (entries[0].data != omz::BuildDescriptorFile())
    check.damage.push_back("entry " + entries[0].name + " is not the 32-byte descriptor");
  if (place.kind == ArchiveKind::Daily) {
    CheckDaily(entries[1], place, check);
  } else {
    CheckStatedSize(entries[1], check.damage);
    CheckStatedSize(entries[2], check.damage);
    CheckIntraday(entries[1], entries[2], place, check);
  }
  for (size_t i = 1; i < entries.size(); ++i) check.files.push_back(std::move(entries[i].data));
}

bool SameDataFiles(ArchiveKind kind, const std::vector<Bytes>& a, const std::vector<Bytes>& b) {
  if (a.size() != b.size()) return false;
  for (size_t f = 0; f < a.size(); ++f) {
    if (a[f].size() != b[f].size()) return false;
    // The .DLY holds no time stamps; the .DAT has two and the .IDX one.
    const size_t* stamps = kind == ArchiveKind::Daily ? nullptr : f == 0 ? kDatStamps : kIdxStamps;
    const size_t count = kind == ArchiveKind::Daily ? 0 : f == 0 ? std::size(kDatStamps) : std::size(kIdxStamps);
    size_t from = 0;
    for (size_t i = 0; i <= count; ++i) {
      const size_t to = i < count ? std::min(stamps[i], a[f].size()) : a[f].size();
      if (to > from && std::memcmp(a[f].data() + from, b[f].data() + from, to - from) != 0) return false;
      from = std::min(to + 4, a[f].size());
    }
  }
  return true;
}

}  // namespace vz::app
