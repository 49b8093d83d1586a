#include "vuzuz/OmzDaily.h"

#include <array>
#include <cstdio>
#include <optional>

#include "vuzuz/OmzFile.h"
#include "vuzuz/OmzNumbers.h"
#include "vuzuz/OmzSymbol.h"

namespace vz::omz {

namespace {

// Block header layout.
constexpr size_t kHeaderWord = 0;
constexpr size_t kHeaderMark = 2;
constexpr size_t kHeaderName = 3;
constexpr size_t kHeaderScale = 15;
constexpr size_t kHeaderCount = 16;
constexpr uint8_t kBlockMark = 0xDE;

// Record layout.
constexpr size_t kRecordDay = 0;
constexpr size_t kRecordOpen = 2;
constexpr size_t kRecordVolume = 18;

std::array<double, 4> PricesOf(const DailyRow& row) { return {row.open, row.high, row.low, row.close}; }

std::string Describe(const DailyRow& row) {
  char day[32];
  std::snprintf(day, sizeof day, "%.0f", row.date);
  return "\"" + row.name + "\" on day " + day;
}

// The finest tick size, from the run's first row's down to 1, at which every
// price of the run fits 32 bits.
std::optional<int> RunTickExponent(const std::vector<DailyRow>& rows, size_t first, size_t n, Failure& error) {
  const std::optional<int> start = TickExponentOf(rows[first].size);
  if (!start) {
    Reject(error, Error::kTickSizeUnusable, "tick size of " + Describe(rows[first]) + " is not usable");
    return std::nullopt;
  }
  for (int k = *start; k >= kCoarsestTickExponent; --k) {
    const double tick = TickSizeOfExponent(k);
    bool fits = true;
    for (size_t r = first; r < first + n && fits; ++r)
      for (double price : PricesOf(rows[r]))
        if (!RoundToInt32(price / tick)) fits = false;
    if (fits) return k;
  }
  for (size_t r = first; r < first + n; ++r)
    for (double price : PricesOf(rows[r]))
      if (!RoundToInt32(price)) {
        char text[64];
        std::snprintf(text, sizeof text, "%.4f", price);
        Reject(error, Error::kPriceUnstorable,
               "price " + std::string(text) + " of " + Describe(rows[r]) + " cannot be stored");
      }
  return std::nullopt;
}

}  // namespace

size_t CountNameRun(const std::vector<DailyRow>& rows, size_t start) {
  size_t n = 0;
  while (start + n < rows.size() && rows[start + n].name == rows[start].name) ++n;
  return n;
}

namespace {

// Why a row cannot be stored at any tick size, or empty.
std::string UnstorableRow(const DailyRow& row) {
  if (!TickExponentOf(row.size)) return "tick size of " + Describe(row) + " is not usable";
  if (!DayNumber(row.date)) return "date of " + Describe(row) + " is outside the days that can be stored";
  for (double price : PricesOf(row))
    if (!RoundToInt32(price / TickSizeOfExponent(kCoarsestTickExponent))) {
      char text[64];
      std::snprintf(text, sizeof text, "%.4g", price);
      return "price " + std::string(text) + " of " + Describe(row) + " cannot be stored";
    }
  return {};
}

// The rows that can be stored; the others are named in `leftOut`, one line
// per name with the count and the first reason.
std::vector<DailyRow> StorableRows(const std::vector<DailyRow>& rows, std::vector<std::string>& leftOut) {
  std::vector<DailyRow> kept;
  kept.reserve(rows.size());
  for (size_t first = 0; first < rows.size();) {
    const size_t n = CountNameRun(rows, first);
    size_t dropped = 0;
    std::string firstReason;
    for (size_t r = first; r < first + n; ++r) {
      const std::string why = UnstorableRow(rows[r]);
      if (why.empty()) {
        kept.push_back(rows[r]);
      } else if (dropped++ == 0) {
        firstReason = why;
      }
    }
    if (dropped > 0)
      leftOut.push_back("\"" + rows[first].name + "\": " + std::to_string(dropped) + (dropped == 1 ? " row" : " rows") +
                        " (" + firstReason + ")");
    first += n;
  }
  return kept;
}

}  // namespace

bool BuildDailyFile(const std::vector<DailyRow>& rows, Bytes& out, Failure& error,
                    std::vector<std::string>* leftOut) {
  out.clear();
  if (leftOut) {
    // Rows that cannot be stored are left out one by one, and a name whose
    // stored field another name already has loses its run; the rest is
    // written as it would be without them.
    std::vector<DailyRow> storable = StorableRows(rows, *leftOut);
    TSymbolFieldRegistry names;
    std::vector<DailyRow> kept;
    kept.reserve(storable.size());
    for (size_t first = 0; first < storable.size();) {
      const size_t n = CountNameRun(storable, first);
      Failure why;
      if (names.Add(storable[first].name, MakeSymbolField(storable[first].name), why))
        kept.insert(kept.end(), storable.begin() + static_cast<std::ptrdiff_t>(first),
                    storable.begin() + static_cast<std::ptrdiff_t>(first + n));
      else
        leftOut->push_back(why.text);
      first += n;
    }
    return BuildDailyFile(kept, out, error);
  }
  TSymbolFieldRegistry names;
  for (size_t first = 0; first < rows.size();) {
    const size_t n = CountNameRun(rows, first);
    const SymbolField field = MakeSymbolField(rows[first].name);
    if (!names.Add(rows[first].name, field, error)) return false;
    const std::optional<int> k = RunTickExponent(rows, first, n, error);
    if (!k) return false;
    const double tick = TickSizeOfExponent(*k);
    if (n > static_cast<size_t>(INT32_MAX / kDailyRecordSize))
      return Reject(error, Error::kTooManyRows, "too many rows for \"" + rows[first].name + "\"");

    const size_t blockStart = out.size();
    out.resize(blockStart + kDailyHeaderSize + kDailyRecordSize * n, 0);
    uint8_t* header = out.data() + blockStart;
    StoreU16(header + kHeaderWord, 1);
    StoreU8(header + kHeaderMark, kBlockMark);
    std::copy(field.begin(), field.end(), header + kHeaderName);
    StoreU8(header + kHeaderScale, PriceScaleCode(tick));
    StoreI32(header + kHeaderCount, static_cast<int32_t>(n));

    for (size_t i = 0; i < n; ++i) {
      const DailyRow& row = rows[first + i];
      const std::optional<uint16_t> day = DayNumber(row.date);
      if (!day)
        return Reject(error, Error::kDayUnstorable,
                      "date of " + Describe(row) + " is outside the days that can be stored");
      uint8_t* record = header + kDailyHeaderSize + kDailyRecordSize * i;
      StoreU16(record + kRecordDay, *day);
      const auto prices = PricesOf(row);
      for (size_t p = 0; p < prices.size(); ++p) StoreI32(record + kRecordOpen + 4 * p, *RoundToInt32(prices[p] / tick));
      StoreI32(record + kRecordVolume, row.volume);
    }
    first += n;
  }
  return true;
}

bool WriteDailyFile(const std::filesystem::path& dir, const std::string& base, const std::vector<DailyRow>& rows,
                    Failure& error) {
  if (rows.empty()) return true;
  if (!IsValidBaseName(base)) return Reject(error, Error::kInvalidBaseName, "invalid base name \"" + base + "\"");
  Bytes bytes;
  if (!BuildDailyFile(rows, bytes, error)) return false;
  return WriteFileAtomically(PathIn(dir, base + ".DLY"), bytes, error);
}

bool ReadDailyFile(ByteView bytes, std::vector<DailyBlock>& blocks, Failure& error) {
  blocks.clear();
  TByteCursor cursor(bytes);
  while (cursor.Remaining() > 0) {
    const size_t at = cursor.Pos();
    const uint8_t* header = cursor.Take(kDailyHeaderSize);
    if (!header)
      return Reject(error, Error::kDailyHeaderTruncated, "truncated block header at offset " + std::to_string(at));
    if (LoadU16(header + kHeaderWord) != 1 || header[kHeaderMark] != kBlockMark)
      return Reject(error, Error::kNoDailyBlock, "no daily block header at offset " + std::to_string(at));
    DailyBlock block;
    block.name = SymbolFieldText(header + kHeaderName);
    block.scaleCode = header[kHeaderScale];
    const std::optional<double> tick = TickSizeOfScaleCode(block.scaleCode);
    if (!tick)
      return Reject(error, Error::kUnknownScaleCode,
                    "unknown price scale code " + std::to_string(block.scaleCode) + " at offset " + std::to_string(at));
    block.tickSize = *tick;
    const int32_t n = LoadI32(header + kHeaderCount);
    if (n < 0 || static_cast<uint64_t>(n) * kDailyRecordSize > cursor.Remaining())
      return Reject(error, Error::kRecordCountBeyondFile,
                    "record count " + std::to_string(n) + " at offset " + std::to_string(at) + " exceeds the file");
    block.records.resize(static_cast<size_t>(n));
    for (DailyRecord& record : block.records) {
      const uint8_t* p = cursor.Take(kDailyRecordSize);
      record.day = LoadU16(p + kRecordDay);
      record.open = LoadI32(p + kRecordOpen);
      record.high = LoadI32(p + kRecordOpen + 4);
      record.low = LoadI32(p + kRecordOpen + 8);
      record.close = LoadI32(p + kRecordOpen + 12);
      record.volume = LoadI32(p + kRecordVolume);
    }
    blocks.push_back(std::move(block));
  }
  return true;
}

std::vector<DailyRow> DailyRowsOf(const std::vector<DailyBlock>& blocks) {
  std::vector<DailyRow> rows;
  for (const DailyBlock& block : blocks)
    for (const DailyRecord& r : block.records) {
      DailyRow row;
      row.name = block.name;
      row.date = r.day;
      row.open = r.open * block.tickSize;
      row.high = r.high * block.tickSize;
      row.low = r.low * block.tickSize;
      row.close = r.close * block.tickSize;
      row.volume = r.volume;
      row.size = block.tickSize;
      rows.push_back(row);
    }
  return rows;
}

}  // namespace vz::omz
