#include "vuzuz/OmzIntraday.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "vuzuz/OmzFile.h"
#include "vuzuz/OmzHeaderFields.h"
#include "vuzuz/OmzIndex.h"
#include "vuzuz/OmzNumbers.h"
#include "vuzuz/OmzSymbol.h"

namespace vz::omz {

namespace {

// Data header fields filled in when the file is finished.
constexpr size_t kDatFileLast = 0x000;
constexpr size_t kDatBlocksLast = 0x008;
constexpr size_t kDatBlockSizeField = 0x00C;
constexpr size_t kDatBlockCount = 0x014;
constexpr size_t kDatBlockCount2 = 0x018;
constexpr size_t kDatTime = 0x070;
constexpr size_t kDatPathLength = 0x426;
constexpr size_t kDatCreated = 0x42A;
constexpr size_t kDatPath = 0x58A;
constexpr size_t kDatDataExt = 0x68B;  // + path length
constexpr size_t kDatIndexExt = 0x693;  // + path length
constexpr char kPathPrefix[] = "c:\\refresh\\";

// Tick block layout.
constexpr size_t kBlockSymbol = 0;
constexpr size_t kBlockOne = 12;
constexpr size_t kBlockMark = 13;
constexpr size_t kBlockDay = 14;
constexpr size_t kBlockNumber = 16;
constexpr size_t kBlockCount = 18;
constexpr size_t kBlockScale = 19;
constexpr size_t kBlockCumulative = 20;
constexpr size_t kBlockBase = 22;
constexpr size_t kBlockLastDiff = 30;
constexpr size_t kBlockTicks = 32;
constexpr size_t kTickSize = 8;
constexpr uint8_t kMark = 0xDE;

constexpr double kMinutesPerDay = 24 * 60;
constexpr int64_t kMinDifference = std::numeric_limits<int16_t>::min();
constexpr int64_t kMaxDifference = std::numeric_limits<int16_t>::max();

// Minutes since midnight of `day`, multiplied out as hours then minutes.
double MinutesSince(double dateTime, uint16_t day) { return RoundHalfAway((dateTime - day) * 24 * 60); }

void PutDataHeader(uint8_t* h, const std::string& base, uint32_t unixTime) {
  PutHeaderFields(
      h,
      {{0x00C, 4, 512},      {0x028, 4, 0x81},   {0x02C, 4, 0x10000200}, {0x030, 4, 2},      {0x038, 4, 0x10000},
       {0x03C, 4, 0x04020200}, {0x060, 4, 0xFF}, {0x064, 4, 15},         {0x06C, 4, 4},      {0x200, 2, 0xFEFE},
       {0x202, 4, 512},      {0x206, 1, 9},      {0x20F, 1, 4},          {0x213, 1, 4},      {0x21F, 1, 0xFF},
       {0x400, 1, 0xFE},     {0x401, 1, 0xFE},   {0x403, 1, 8},          {0x406, 1, 0xEA},   {0x407, 1, 7},
       {0x40F, 1, 2},        {0x413, 1, 2},      {0x41A, 1, 1},          {0x42E, 4, 280},    {0x432, 2, 256},
       {0x434, 2, 256},      {0x52E, 1, 0x86},   {0x52F, 1, 0x8E},       {0x530, 2, 0x808F}, {0x532, 2, 0xFFFF},
       {0x534, 2, 512},      {0x536, 2, 4096},   {0x538, 2, 2},          {0x53A, 2, 1},      {0x53C, 2, 4096},
       {0x53E, 2, 2},        {0x540, 2, 1006},   {0x542, 2, 0x808F},     {0x54C, 2, 2},      {0x552, 2, 17},
       {0x55C, 2, 4},        {0x55E, 2, 982},    {0x560, 2, 0x808F},     {0x574, 4, 12},     {0x578, 4, 0x1000D},
       {0x57C, 4, 0xE0000},  {0x580, 4, 0x10002}, {0x584, 4, 0x20010},   {0x588, 2, 1}},
      {{0x080, 384}, {0x220, 480}});
  std::memcpy(h + 0x41E, "FC!DEF", 6);
  const std::string path = kPathPrefix + base;
  const size_t len = path.size();
  StoreU32(h + kDatPathLength, static_cast<uint32_t>(len + 517));
  StoreU32(h + kDatCreated, unixTime);
  std::memcpy(h + kDatPath, path.c_str(), len + 1);
  std::memcpy(h + kDatDataExt + len, ".dat", 4);
  std::memcpy(h + kDatIndexExt + len, ".idx", 4);
}

struct BlockPlan {
  size_t s = 0;
  size_t e = 0;
  double basePrice = 0;
  int32_t base = 0;
};

class TRunWriter {
public:
  TRunWriter(std::span<const Tick> ticks, size_t first, size_t last) : ticks_(ticks), first_(first), last_(last) {}

  // Why Plan() refused the run.
  const Failure& Refusal() const { return error_; }

  // Checks every tick of the run and chooses the blocks.
  bool Plan() {
    const Tick& head = ticks_[first_];
    if (last_ - first_ + 1 > 65535)
      return Fail(Error::kTooManyTicks, "more than 65535 ticks for one symbol in one file");
    const std::optional<uint16_t> day = DayNumber(head.dateTime);
    if (!day) return Fail(Error::kDayUnstorable, "the date of the first tick is outside the days that can be stored");
    day_ = *day;
    for (size_t k = first_; k <= last_; ++k) {
      const double minutes = MinutesSince(ticks_[k].dateTime, day_);
      if (!(minutes >= 0 && minutes <= 65535))
        return Fail(Error::kMinuteUnstorable,
                    "tick " + std::to_string(k - first_) + " is more than 45 days after the first or before it");
    }
    if (!ChooseTick()) return false;
    if (!PlanCommonBase() && !PlanCoarserCommonBase()) PlanFreshBases();
    return true;
  }

  // Appends the run's blocks to the data file, last block first, and its
  // index entries in block order.
  void Write(const SymbolField& field, Bytes& dat, std::vector<IndexEntry>& entries) const {
    const size_t firstEntry = entries.size();
    for (size_t b = blocks_.size(); b-- > 0;) {
      const BlockPlan& plan = blocks_[b];
      const size_t offset = dat.size();
      dat.resize(offset + kTickBlockSize, 0);
      uint8_t* block = dat.data() + offset;
      std::copy(field.begin(), field.end(), block + kBlockSymbol);
      StoreU8(block + kBlockOne, 1);
      StoreU8(block + kBlockMark, kMark);
      StoreU16(block + kBlockDay, day_);
      StoreU16(block + kBlockNumber, static_cast<uint32_t>(b));
      StoreU8(block + kBlockCount, static_cast<uint32_t>(plan.e - plan.s + 1));
      StoreU8(block + kBlockScale, PriceScaleCode(tick_));
      StoreU16(block + kBlockCumulative, static_cast<uint32_t>(plan.e - first_ + 1));
      StoreI32(block + kBlockBase, plan.base);
      StoreU16(block + kBlockLastDiff, static_cast<uint16_t>(Difference(plan.e, plan)));
      for (size_t k = plan.s; k <= plan.e; ++k) {
        uint8_t* t = block + kBlockTicks + kTickSize * (k - plan.s);
        StoreU16(t, static_cast<uint16_t>(Difference(k, plan)));
        StoreI32(t + 2, ticks_[k].volume);
        StoreU16(t + 6, static_cast<uint32_t>(MinutesSince(ticks_[k].dateTime, day_)));
      }
      IndexEntry entry;
      entry.pointer = static_cast<uint32_t>(offset);
      entry.key = MakeIndexKey(field.data(), day_, static_cast<uint16_t>(b));
      entries.push_back(entry);
    }
    std::reverse(entries.begin() + static_cast<std::ptrdiff_t>(firstEntry), entries.end());
  }

private:
  bool Fail(Error code, const std::string& text) {
    return Reject(error_, code, "\"" + TickSymbol(ticks_[first_]) + "\": " + text);
  }

  // The finest tick size, from the first tick's down to 1, at which every
  // price of the run fits 32 bits.
  bool ChooseTick() {
    const std::optional<int> start = TickExponentOf(ticks_[first_].size);
    if (!start) return Fail(Error::kTickSizeUnusable, "the tick size is not usable");
    for (int k = *start; k >= kCoarsestTickExponent; --k) {
      const double tick = TickSizeOfExponent(k);
      bool fits = true;
      for (size_t i = first_; i <= last_ && fits; ++i) fits = RoundToInt32(ticks_[i].price / tick).has_value();
      if (fits) {
        tick_ = tick;
        return true;
      }
    }
    return Fail(Error::kPriceUnstorable, "a price cannot be stored at any tick size");
  }

  // Blocks of 60 that all use the run's first price: possible when every
  // difference from it fits 16 bits.
  bool PlanCommonBase() {
    const double p0 = ticks_[first_].price;
    for (size_t k = first_; k <= last_; ++k)
      if (!RoundToInt16((ticks_[k].price - p0) / tick_)) return false;
    const int32_t base = *RoundToInt32(p0 / tick_);
    for (size_t s = first_; s <= last_; s += kTicksPerBlock)
      blocks_.push_back({s, std::min(s + kTicksPerBlock - 1, last_), p0, base});
    return true;
  }

  // Each block starts at its own first price and ends where the next
  // difference would not fit (or at 60 ticks).
  void PlanFreshBases() {
    blocks_.clear();
    for (size_t s = first_; s <= last_;) {
      const double ps = ticks_[s].price;
      size_t e = s;
      while (e < last_ && e + 1 - s < kTicksPerBlock && RoundToInt16((ticks_[e + 1].price - ps) / tick_)) ++e;
      blocks_.push_back({s, e, ps, *RoundToInt32(ps / tick_)});
      s = e + 1;
    }
  }

  // Blocks of 60 on the run's first price at a coarser tick: the finest
  // power of ten, coarser than the tick chosen, at which every price is a
  // whole number of ticks (as rounded at the chosen tick, so prices read
  // back as before) and every difference from the first fits 16 bits. An
  // index future quoted in whole or tenth points finds one; a price that
  // needs the finer tick leaves the run to fresh bases.
  bool PlanCoarserCommonBase() {
    std::vector<int64_t> units;
    units.reserve(last_ - first_ + 1);
    for (size_t k = first_; k <= last_; ++k) units.push_back(*RoundToInt32(ticks_[k].price / tick_));
    const int exponent = *TickExponentOf(tick_);
    int64_t step = 1;
    for (int k = exponent - 1; k >= kCoarsestTickExponent; --k) {
      step *= 10;
      const int64_t base = units.front() / step;
      bool fits = true;
      for (size_t i = 0; i < units.size() && fits; ++i)
        fits = units[i] % step == 0 && units[i] / step - base >= kMinDifference && units[i] / step - base <= kMaxDifference;
      if (!fits) continue;
      coarseUnits_.resize(units.size());
      for (size_t i = 0; i < units.size(); ++i) coarseUnits_[i] = static_cast<int32_t>(units[i] / step);
      tick_ = TickSizeOfExponent(k);
      for (size_t s = first_; s <= last_; s += kTicksPerBlock)
        blocks_.push_back({s, std::min(s + kTicksPerBlock - 1, last_), ticks_[first_].price,
                           static_cast<int32_t>(base)});
      return true;
    }
    return false;
  }

  int16_t Difference(size_t k, const BlockPlan& plan) const {
    // At a coarser tick prices are whole numbers of ticks: the difference
    // is exact in integers.
    if (!coarseUnits_.empty()) return static_cast<int16_t>(coarseUnits_[k - first_] - plan.base);
    return *RoundToInt16((ticks_[k].price - plan.basePrice) / tick_);
  }

  std::span<const Tick> ticks_;
  size_t first_;
  size_t last_;
  Failure error_;
  uint16_t day_ = 0;
  double tick_ = 0;
  std::vector<BlockPlan> blocks_;
  std::vector<int32_t> coarseUnits_;  // prices in ticks when a coarser tick was chosen
};

bool DecodeBlock(ByteView dat, const IndexEntry& entry, IntradayContents& out, Failure& error) {
  const uint32_t offset = entry.pointer;
  if (offset < kDataHeaderSize || (offset - kDataHeaderSize) % kTickBlockSize != 0 ||
      static_cast<uint64_t>(offset) + kTickBlockSize > dat.size())
    return Reject(error, Error::kBlockBadPointer,
                  "index points at " + std::to_string(offset) + ", not at a tick block");
  const uint8_t* block = dat.data() + offset;
  TickBlockInfo info;
  info.offset = offset;
  info.symbol = SymbolFieldText(block + kBlockSymbol);
  info.day = LoadU16(block + kBlockDay);
  info.block = LoadU16(block + kBlockNumber);
  info.count = block[kBlockCount];
  info.scaleCode = block[kBlockScale];
  info.cumulative = LoadU16(block + kBlockCumulative);
  info.basePrice = LoadI32(block + kBlockBase);
  info.lastDifference = LoadI16(block + kBlockLastDiff);
  auto where = [offset] { return " in the tick block at " + std::to_string(offset); };
  if (block[kBlockOne] != 1 || block[kBlockMark] != kMark)
    return Reject(error, Error::kNoTickBlock, "no tick block header" + where());
  if (MakeIndexKey(block + kBlockSymbol, info.day, info.block) != entry.key)
    return Reject(error, Error::kBlockKeyMismatch, "index key does not match" + where());
  if (info.count < 1 || info.count > kTicksPerBlock)
    return Reject(error, Error::kTickCount, "tick count " + std::to_string(info.count) + where());
  const std::optional<double> tick = TickSizeOfScaleCode(info.scaleCode);
  if (!tick)
    return Reject(error, Error::kUnknownScaleCode,
                  "unknown price scale code " + std::to_string(info.scaleCode) + where());
  // One record carries the block's symbol and tick size; each tick fills
  // in the rest.
  Tick decoded;
  SetTickSymbol(decoded, info.symbol);
  decoded.size = *tick;
  for (size_t i = 0; i < info.count; ++i) {
    const uint8_t* t = block + kBlockTicks + kTickSize * i;
    decoded.price = (static_cast<double>(info.basePrice) + LoadI16(t)) * *tick;
    decoded.volume = LoadI32(t + 2);
    decoded.dateTime = info.day + LoadU16(t + 6) / kMinutesPerDay;
    out.ticks.push_back(decoded);
  }
  out.blocks.push_back(info);
  return true;
}

}  // namespace

bool BuildIntradayFiles(const std::string& base, std::span<const Tick> ticks, uint32_t unixTime, IntradayImage& out,
                        Failure& error, std::vector<std::string>* leftOut) {
  out = {};
  if (!IsValidBaseName(base)) return Reject(error, Error::kInvalidBaseName, "invalid base name \"" + base + "\"");
  if (ticks.empty()) return true;
  // The runs in the byte order of their stored names, so that the index
  // keys ascend also where a long symbol's stored name sorts apart from
  // the whole symbol. Equal names keep their input order.
  struct Run {
    size_t first = 0;
    size_t last = 0;
    std::string symbol;
    SymbolField field{};
  };
  std::vector<Run> runs;
  for (size_t first = 0; first < ticks.size();) {
    Run run;
    run.first = first;
    run.symbol = TickSymbol(ticks[first]);
    run.last = first;
    while (run.last + 1 < ticks.size() && TickSymbol(ticks[run.last + 1]) == run.symbol) ++run.last;
    run.field = MakeSymbolField(run.symbol);
    first = run.last + 1;
    runs.push_back(std::move(run));
  }
  std::stable_sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.field < b.field; });

  // A run that cannot be stored fails the file, or with `leftOut` is left
  // out of it and named there.
  auto refuse = [&](const Failure& why) {
    if (!leftOut) {
      error = why;
      return false;
    }
    leftOut->push_back(why.text);
    return true;
  };
  std::vector<TRunWriter> planned;
  std::vector<const Run*> plannedRuns;
  TSymbolFieldRegistry names;
  for (size_t r = 0; r < runs.size(); ++r) {
    const Run& run = runs[r];
    Failure why;
    // A symbol in two runs would give two blocks under one key.
    const bool repeated = r > 0 && runs[r - 1].symbol == run.symbol;
    TRunWriter writer(ticks, run.first, run.last);
    if (repeated) Reject(why, Error::kSymbolRunSplit, "\"" + run.symbol + "\": ticks not together in one run");
    else if (names.Add(run.symbol, run.field, why) && !writer.Plan()) why = writer.Refusal();
    if (why.code != Error::kNone) {
      if (!refuse(why)) {
        out = {};
        return false;
      }
      continue;
    }
    planned.push_back(std::move(writer));
    plannedRuns.push_back(&run);
  }
  if (planned.empty()) return true;  // everything left out: no files

  out.dat.assign(kDataHeaderSize, 0);
  PutDataHeader(out.dat.data(), base, unixTime);
  std::vector<IndexEntry> entries;
  for (size_t r = 0; r < planned.size(); ++r) planned[r].Write(plannedRuns[r]->field, out.dat, entries);
  const uint32_t blocksLast = static_cast<uint32_t>(out.dat.size() - 1);
  PadToMultiple(out.dat, kFileUnit);
  uint8_t* h = out.dat.data();
  StoreU32(h + kDatFileLast, static_cast<uint32_t>(out.dat.size() - 1));
  StoreU32(h + kDatBlocksLast, blocksLast);
  StoreU32(h + kDatBlockCount, static_cast<uint32_t>(entries.size()));
  StoreU32(h + kDatBlockCount2, static_cast<uint32_t>(entries.size()));
  StoreU32(h + kDatTime, unixTime);
  out.idx = BuildIndexFile(entries, unixTime);
  return true;
}

bool WriteIntradayFiles(const std::filesystem::path& dir, const std::string& base, std::span<const Tick> ticks,
                        Failure& error) {
  if (ticks.empty()) return true;
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch());
  IntradayImage image;
  if (!BuildIntradayFiles(base, ticks, static_cast<uint32_t>(now.count()), image, error)) return false;
  // The index goes in place first: a data file is never left without it.
  return WriteFileAtomically(PathIn(dir, base + ".IDX"), image.idx, error) &&
         WriteFileAtomically(PathIn(dir, base + ".DAT"), image.dat, error);
}

bool ReadIntradayFiles(ByteView dat, ByteView idx, IntradayContents& out, Failure& error) {
  out = {};
  if (dat.size() < kDataHeaderSize || LoadU32(dat.data() + kDatBlockSizeField) != kTickBlockSize)
    return Reject(error, Error::kNotIntradayData, "not an intraday data file");
  std::vector<IndexEntry> leaves;
  if (!ReadIndexLeaves(idx, leaves, error)) return false;
  // Room for every tick at once: a whole day's ticks grow the vector to
  // many megabytes, and regrowing it costs more than the decoding.
  // Leaves beyond the data file's blocks fail below; they reserve nothing.
  const size_t blocks = std::min(leaves.size(), (dat.size() - kDataHeaderSize) / kTickBlockSize);
  out.blocks.reserve(blocks);
  out.ticks.reserve(blocks * kTicksPerBlock);
  for (const IndexEntry& leaf : leaves)
    if (!DecodeBlock(dat, leaf, out, error)) return false;
  return true;
}

}  // namespace vz::omz
