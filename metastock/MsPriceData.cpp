#include "metastock/MsPriceData.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cassert>
#include <utility>
#include <cstddef>
#include <cstdio>
#include <limits>

#include "bytes/ByteFields.h"
#include "metastock/MsLockFile.h"
#include "metastock/MsNumbers.h"
#include "metastock/MsPriceLayout.h"
#include "platform/FileSystem.h"

// SSE2 (every x86-64 processor) converts four MBF words at once; elsewhere
// the words are converted one by one.
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VZ_MS_SSE2 1
#else
#define VZ_MS_SSE2 0
#endif
// Where the compiler can build code for a later processor than the one it
// targets (GCC, Clang on x86-64), a processor with AVX2 converts a whole
// record at once; the choice is made when the program runs.
#if VZ_MS_SSE2 && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VZ_MS_AVX2 1
#else
#define VZ_MS_AVX2 0
#endif

namespace vz {

namespace {

constexpr int32_t kMaxFieldCount = 255;  // the MASTER record length is one byte

enum TPriceField { kDate, kTime, kOpen, kHigh, kLow, kClose, kVolume, kOpenInterest, kFieldKinds };
using datafile::kFieldWidth;

// The price records a data file's header counts: its count field - 1; -1
// when the bytes do not hold the field.
int32_t PriceRecordsClaimed(ByteView file) {
  return static_cast<int32_t>(datafile::kRecordCount.Get(TByteView(file))) - 1;
}

// Byte offset of each field inside a record, -1 when absent or beyond the
// record's width.
void FieldOffsets(int32_t fieldCount, int32_t fieldMask, int (&offsets)[kFieldKinds]) {
  const bool dated = (fieldMask & kMsMaskDate) != 0;
  const bool present[kFieldKinds] = {dated,
                                     (fieldMask & kMsMaskTime) != 0,
                                     (fieldMask & kMsMaskOpen) != 0,
                                     (fieldMask & kMsMaskHigh) != 0,
                                     (fieldMask & kMsMaskLow) != 0,
                                     dated,
                                     dated,
                                     (fieldMask & kMsMaskOpenInterest) != 0};
  int next = 0;
  for (int f = 0; f < kFieldKinds; ++f) {
    offsets[f] = -1;
    if (!present[f]) continue;
    if (next < fieldCount) offsets[f] = next * static_cast<int>(kFieldWidth);
    ++next;
  }
}

// TruncToInt32(MbfToFloat(word)) in integer operations: the value is
// 1.mantissa * 2^(exponent byte - 129), below 1 in size for exponent bytes
// under 129 (0 and 1 included) and at least 2^31 from 160 on.
inline int32_t MbfTruncToInt32(uint32_t word) {
  const uint32_t exponent = word >> 24;
  const bool negative = (word & 0x800000u) != 0;
  if (exponent < 129) return 0;
  if (exponent >= 160) return negative ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
  const uint32_t mantissa = (word & 0x7FFFFFu) | 0x800000u;
  const uint32_t magnitude = exponent <= 152 ? mantissa >> (152 - exponent) : mantissa << (exponent - 152);
  return negative ? -static_cast<int32_t>(magnitude) : static_cast<int32_t>(magnitude);
}

// Seconds of 00:00 UTC of day 0 (the day before the 1st) of a month given
// as (year - 1900) * 100 + month, month 1 to 12, years 1901 on.
inline int64_t MonthStartSeconds(uint32_t yearMonth) {
  const uint32_t month = yearMonth % 100;
  const uint32_t year = yearMonth / 100 + 1900 - (month <= 2 ? 1 : 0);
  const uint32_t era = year / 400;
  const uint32_t yearOfEra = year - era * 400;
  const uint32_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;  // of the 1st
  const uint32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return (int64_t{era} * 146097 + dayOfEra - 719468 - 1) * 86400;
}

// Seconds of the day of an MBF time HHMMSS, the seconds dropped, as
// MbfDateTimeToTm reads it (garbage carries arithmetically; every step
// stays within int32).
inline int64_t TimeSeconds(uint32_t word) {
  // hours * 3600 + minutes * 60 with hhmm = t / 100, hours = t / 10000:
  // hhmm * 60 - hours * 2400, from two independent divisions.
  const int32_t t = MbfTruncToInt32(word);
  return (t / 100) * 60 - (t / 10000) * 2400;
}

// Seconds of 00:00 UTC of MBF dates, the same as
// MbfDateTimeToUtcSeconds(word, 0). Consecutive bars mostly share a date
// (intraday files hold hundreds per date), and daily bars a month: the
// last word's seconds and the last month's start are kept. Ordinary dates
// (years 1901 on, months 1 to 12) need no normalisation: any day number
// 0 to 99 counts on linearly from the month's start.
// Dates before 1901 or with a month outside 1 to 12, normalised the long way.
[[gnu::noinline]] int64_t UnusualDateSeconds(uint32_t date) { return MbfDateTimeToUtcSeconds(date, 0); }

struct TDateCache {
  uint32_t word = 0;
  int64_t seconds = MbfDateTimeToUtcSeconds(0, 0);
  uint32_t yearMonth = 0;  // 0: none yet (never an ordinary month)
  int64_t monthStart = 0;

  // kRuns: the layout has a time field, so dates come in runs (intraday
  // files hold hundreds of bars a date); without one each bar has its own
  // (daily files). Only the code layout differs.
  template <bool kRuns = false>
  [[gnu::always_inline]] int64_t Seconds(uint32_t date) {
    if constexpr (kRuns) {
      if (date == word) [[likely]]
        return seconds;
    } else if (date == word) {
      return seconds;
    }
    word = date;
    seconds = Compute(date);
    return seconds;
  }

  [[gnu::always_inline]] int64_t Compute(uint32_t date) {
    // Another day of the month before (daily files hold one bar a date),
    // its word with the same sign and exponent: the date is the mantissa
    // shifted as MbfTruncToInt32 shifts it, and its day number the
    // distance from the month's (year - 1900) * 10000 + month * 100.
    if ((date >> 23) == monthKey) {
      const uint32_t day = (((date & 0x7FFFFFu) | 0x800000u) >> monthShift) - monthBase;
      if (day < 100) return monthStart + int64_t{day} * 86400;
    }
    const int32_t d = MbfTruncToInt32(date);
    if (d >= 10100) {
      const uint32_t u = static_cast<uint32_t>(d);
      const uint32_t ym = u / 100;
      if (ym != yearMonth) {
        const uint32_t month = ym % 100;
        if (month < 1 || month > 12) return UnusualDateSeconds(date);
        yearMonth = ym;
        monthStart = MonthStartSeconds(ym);
      }
      // Positive, at least 10100, so the exponent byte is at least 142;
      // up to 152 the integer is the mantissa shifted right.
      const uint32_t exponent = date >> 24;
      monthKey = exponent <= 152 ? date >> 23 : kNoMonthKey;
      monthShift = 152 - exponent;
      monthBase = ym * 100;
      return monthStart + int64_t{u - ym * 100} * 86400;
    }
    return UnusualDateSeconds(date);
  }

  static constexpr uint32_t kNoMonthKey = 0xFFFFFFFFu;  // no word's top nine bits
  uint32_t monthKey = kNoMonthKey;  // sign and exponent of the month's last word
  uint32_t monthShift = 0;
  uint32_t monthBase = 0;  // yearMonth * 100
};

// TimeSeconds of the words met before, by word: an intraday file holds the
// same few hundred times of day on every date. Direct-mapped; a slot holds
// the last word that fell on it (word 0, whose seconds are 0, to begin
// with), so a hit is exactly what TimeSeconds gives.
class TTimeCache {
public:
  [[gnu::always_inline]] int64_t Seconds(uint32_t time) {
    TSlot& slot = slots_[(time * 0x9E3779B1u) >> (32 - kBits)];
    if (slot.word != time) [[unlikely]] {
      slot.word = time;
      slot.seconds = static_cast<int32_t>(TimeSeconds(time));
    }
    return slot.seconds;
  }

private:
  static constexpr int kBits = 9;
  struct TSlot {
    uint32_t word = 0;
    int32_t seconds = 0;  // TimeSeconds always fits: |t / 100 * 60| < 2^31
  };
  TSlot slots_[1 << kBits];
};

// A bar's instant: its date's seconds plus its time of day's.
struct TInstants {
  TDateCache dates;
  TTimeCache times;
};

inline float FieldAt(const uint8_t* record, int offset) { return MbfToFloat(LoadU32(record + offset)); }

#if VZ_MS_SSE2
// MbfToFloat on four words at once (little-endian words as loaded).
inline __m128 MbfToFloat4(__m128i words) {
  const __m128i exponent = _mm_srli_epi32(words, 24);
  const __m128i sign = _mm_slli_epi32(_mm_and_si128(words, _mm_set1_epi32(0x800000)), 8);
  const __m128i body = _mm_or_si128(_mm_slli_epi32(_mm_sub_epi32(exponent, _mm_set1_epi32(2)), 23),
                                    _mm_and_si128(words, _mm_set1_epi32(0x7FFFFF)));
  const __m128i normal = _mm_cmpgt_epi32(exponent, _mm_set1_epi32(1));
  return _mm_castsi128_ps(_mm_or_si128(sign, _mm_and_si128(normal, body)));
}

inline __m128 MbfToFloat4At(const uint8_t* words) {
  return MbfToFloat4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words)));
}
inline __m128 MbfToFloat2At(const uint8_t* words) {
  return MbfToFloat4(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(words)));
}

// The six values of a bar lie side by side, in the file's order.
static_assert(offsetof(MsPriceBar, high) == offsetof(MsPriceBar, open) + 4 &&
              offsetof(MsPriceBar, low) == offsetof(MsPriceBar, open) + 8 &&
              offsetof(MsPriceBar, close) == offsetof(MsPriceBar, open) + 12 &&
              offsetof(MsPriceBar, volume) == offsetof(MsPriceBar, open) + 16 &&
              offsetof(MsPriceBar, openInterest) == offsetof(MsPriceBar, open) + 20);

// Where in a bar the value at `offset` (offsetof of one of its floats) lies.
inline float* ValuesAt(MsPriceBar& bar, size_t offset) {
  return reinterpret_cast<float*>(reinterpret_cast<uint8_t*>(&bar) + offset);
}
#endif

// Decodes n records of a dated layout whose every selected field lies
// within the record; the fields present are compile-time constants, so the
// loop holds no test on the mask. Bit 0: time, 1: open, 2: high, 3: low,
// 4: open interest (date, close and volume come with every dated layout).
// Every field of each bar is written: `out` need not be cleared first.
template <unsigned kFields>
void DecodeDated(const uint8_t* record, size_t recordSize, size_t n, MsPriceBar* out, TInstants& instants) {
  constexpr bool kTime = (kFields & 1u) != 0;
  constexpr bool kOpen = (kFields & 2u) != 0;
  constexpr bool kHigh = (kFields & 4u) != 0;
  constexpr bool kLow = (kFields & 8u) != 0;
  constexpr bool kOpenInterest = (kFields & 16u) != 0;
  constexpr int kTimeAt = 4;
  constexpr int kOpenAt = kTimeAt + (kTime ? 4 : 0);
  constexpr int kHighAt = kOpenAt + (kOpen ? 4 : 0);
  constexpr int kLowAt = kHighAt + (kHigh ? 4 : 0);
  constexpr int kCloseAt = kLowAt + (kLow ? 4 : 0);
  constexpr int kVolumeAt = kCloseAt + 4;
  constexpr int kOpenInterestAt = kVolumeAt + 4;
  for (size_t i = 0; i < n; ++i, record += recordSize) {
    MsPriceBar& bar = out[i];
    int64_t seconds = instants.dates.Seconds<kTime>(LoadU32(record));
    if constexpr (kTime) seconds += instants.times.Seconds(LoadU32(record + kTimeAt));
    bar.time = seconds;
#if VZ_MS_SSE2
    // Runs of adjacent words into the same runs of adjacent floats: open to
    // close (the usual layouts), else high to volume (no open).
    if constexpr (kOpen && kHigh && kLow) {
      _mm_storeu_ps(ValuesAt(bar, offsetof(MsPriceBar, open)), MbfToFloat4At(record + kOpenAt));
      if constexpr (kOpenInterest) {
        _mm_storel_pi(reinterpret_cast<__m64*>(ValuesAt(bar, offsetof(MsPriceBar, volume))),
                      MbfToFloat2At(record + kVolumeAt));
      } else {
        bar.volume = FieldAt(record, kVolumeAt);
        bar.openInterest = 0.0f;
      }
      continue;
    }
    if constexpr (!kOpen && kHigh && kLow) {
      bar.open = 0.0f;
      _mm_storeu_ps(ValuesAt(bar, offsetof(MsPriceBar, high)), MbfToFloat4At(record + kHighAt));
      bar.openInterest = kOpenInterest ? FieldAt(record, kOpenInterestAt) : 0.0f;
      continue;
    }
#endif
    bar.open = kOpen ? FieldAt(record, kOpenAt) : 0.0f;
    bar.high = kHigh ? FieldAt(record, kHighAt) : 0.0f;
    bar.low = kLow ? FieldAt(record, kLowAt) : 0.0f;
    bar.close = FieldAt(record, kCloseAt);
    bar.volume = FieldAt(record, kVolumeAt);
    bar.openInterest = kOpenInterest ? FieldAt(record, kOpenInterestAt) : 0.0f;
  }
}

using TDecodeRun = void (*)(const uint8_t*, size_t, size_t, MsPriceBar*, TInstants&);

#if VZ_MS_AVX2
// MbfToFloat on eight words at once.
[[gnu::target("avx2")]] inline __m256 MbfToFloat8(__m256i words) {
  const __m256i exponent = _mm256_srli_epi32(words, 24);
  const __m256i sign = _mm256_slli_epi32(_mm256_and_si256(words, _mm256_set1_epi32(0x800000)), 8);
  const __m256i body = _mm256_or_si256(_mm256_slli_epi32(_mm256_sub_epi32(exponent, _mm256_set1_epi32(2)), 23),
                                       _mm256_and_si256(words, _mm256_set1_epi32(0x7FFFFF)));
  const __m256i normal = _mm256_cmpgt_epi32(exponent, _mm256_set1_epi32(1));
  return _mm256_castsi256_ps(_mm256_or_si256(sign, _mm256_and_si256(normal, body)));
}

static_assert(offsetof(MsPriceBar, time) == 0 && offsetof(MsPriceBar, open) == 8 &&
              offsetof(MsPriceBar, openInterest) == 28);

// DecodeDated with AVX2, for the layouts holding open, high and low (bits
// 1 to 3 of kFields): a record's words, date first, lie in the order of the
// bar's eight 4-byte lanes, whose first two hold the time. The words are
// loaded as one vector (only the layout's words: a masked load does not
// touch the others), moved one lane up when there is no time field, and
// converted together; the time goes into the first two lanes and the bar
// is stored whole.
template <unsigned kFields>
[[gnu::target("avx2")]] void DecodeDatedAvx2(const uint8_t* record, size_t recordSize, size_t n, MsPriceBar* out,
                                             TInstants& instants) {
  static_assert((kFields & 14u) == 14u, "open, high and low present");
  constexpr bool kTime = (kFields & 1u) != 0;
  constexpr bool kOpenInterest = (kFields & 16u) != 0;
  constexpr int kWords = 6 + (kTime ? 1 : 0) + (kOpenInterest ? 1 : 0);
  const __m256i present = _mm256_setr_epi32(-1, -1, -1, -1, -1, -1, kWords > 6 ? -1 : 0, kWords > 7 ? -1 : 0);
  const __m256i oneLaneUp = _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6);
  for (size_t i = 0; i < n; ++i, record += recordSize) {
    int64_t seconds = instants.dates.Seconds<kTime>(LoadU32(record));
    if constexpr (kTime) seconds += instants.times.Seconds(LoadU32(record + 4));
    __m256i words = kWords == 8 ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(record))
                                : _mm256_maskload_epi32(reinterpret_cast<const int*>(record), present);
    if constexpr (!kTime) words = _mm256_permutevar8x32_epi32(words, oneLaneUp);
    const __m256i values = _mm256_castps_si256(MbfToFloat8(words));
    const __m256i time = _mm256_castsi128_si256(_mm_cvtsi64_si128(seconds));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_blend_epi32(values, time, 0x03));
  }
}

std::atomic<bool> avx2Allowed{true};

// The AVX2 decoder of a layout, or none.
TDecodeRun Avx2Run(unsigned fields) {
  static const bool kHaveAvx2 = __builtin_cpu_supports("avx2");
  if (!kHaveAvx2 || !avx2Allowed.load(std::memory_order_relaxed) || (fields & 14u) != 14u) return nullptr;
  switch (fields) {
    case 14u: return &DecodeDatedAvx2<14u>;
    case 15u: return &DecodeDatedAvx2<15u>;
    case 30u: return &DecodeDatedAvx2<30u>;
    default: return &DecodeDatedAvx2<31u>;
  }
}
#else
TDecodeRun Avx2Run(unsigned) { return nullptr; }
#endif

template <unsigned... kFields>
constexpr std::array<TDecodeRun, sizeof...(kFields)> DatedRuns(std::integer_sequence<unsigned, kFields...>) {
  return {&DecodeDated<kFields>...};
}
constexpr auto kDatedRuns = DatedRuns(std::make_integer_sequence<unsigned, 32>());

// Any layout, including undated ones and masks wider than the record.
void DecodeAny(const uint8_t* record, size_t recordSize, size_t n, MsPriceBar* out, TInstants& instants,
               const int (&offsets)[kFieldKinds]) {
  auto value = [](const uint8_t* r, int offset) { return offset < 0 ? 0.0f : FieldAt(r, offset); };
  for (size_t i = 0; i < n; ++i, record += recordSize) {
    MsPriceBar& bar = out[i];
    int64_t seconds = 0;
    if (offsets[kDate] >= 0) {
      seconds = instants.dates.Seconds(LoadU32(record + offsets[kDate]));
      if (offsets[kTime] >= 0) seconds += instants.times.Seconds(LoadU32(record + offsets[kTime]));
    }
    bar.time = seconds;
    bar.open = value(record, offsets[kOpen]);
    bar.high = value(record, offsets[kHigh]);
    bar.low = value(record, offsets[kLow]);
    bar.close = value(record, offsets[kClose]);
    bar.volume = value(record, offsets[kVolume]);
    bar.openInterest = value(record, offsets[kOpenInterest]);
  }
}

// Whole records of recordSize bytes, at most `wanted`, that `bytes` holds.
//
// This is the whole argument for decoding without checks: the decoders
// read, in each record, only the fields the layout placed inside it (they
// end at fieldsEnd, at most recordSize), so n records starting at
// bytes.data() are read within the bytes exactly when n is at most this.
size_t WholeRecords(ByteView bytes, size_t recordSize, size_t fieldsEnd, size_t wanted) {
  assert(recordSize > 0 && fieldsEnd <= recordSize);
  return std::min(wanted, bytes.size() / recordSize);
}

// The decoder of one file's layout, chosen once per file.
class TBarDecoder {
public:
  TBarDecoder(int32_t fieldCount, int32_t fieldMask) : recordSize_(static_cast<size_t>(fieldCount) * kFieldWidth) {
    FieldOffsets(fieldCount, fieldMask, offsets_);
    for (int offset : offsets_)
      if (offset >= 0) fieldsEnd_ = std::max(fieldsEnd_, static_cast<size_t>(offset) + 4);
    const bool allPresent = offsets_[kDate] >= 0 && offsets_[kClose] >= 0 && offsets_[kVolume] >= 0 &&
                            ((fieldMask & kMsMaskTime) == 0 || offsets_[kTime] >= 0) &&
                            ((fieldMask & kMsMaskOpen) == 0 || offsets_[kOpen] >= 0) &&
                            ((fieldMask & kMsMaskHigh) == 0 || offsets_[kHigh] >= 0) &&
                            ((fieldMask & kMsMaskLow) == 0 || offsets_[kLow] >= 0) &&
                            ((fieldMask & kMsMaskOpenInterest) == 0 || offsets_[kOpenInterest] >= 0);
    if (allPresent) {
      const unsigned fields = (offsets_[kTime] >= 0 ? 1u : 0u) | (offsets_[kOpen] >= 0 ? 2u : 0u) |
                              (offsets_[kHigh] >= 0 ? 4u : 0u) | (offsets_[kLow] >= 0 ? 8u : 0u) |
                              (offsets_[kOpenInterest] >= 0 ? 16u : 0u);
      run_ = Avx2Run(fields);
      if (run_ == nullptr) run_ = kDatedRuns[fields];
    }
  }
  size_t RecordSize() const { return recordSize_; }
  // How many of `wanted` records Decode may take from `bytes`.
  size_t RecordsIn(ByteView bytes, size_t wanted) const {
    return WholeRecords(bytes, recordSize_, fieldsEnd_, wanted);
  }
  // Decodes the first n records of `bytes` into out[0..n); n comes from
  // RecordsIn for the same bytes.
  void Decode(ByteView bytes, size_t n, MsPriceBar* out) {
    assert(n <= RecordsIn(bytes, n));
    if (run_ != nullptr)
      run_(bytes.data(), recordSize_, n, out, instants_);
    else
      DecodeAny(bytes.data(), recordSize_, n, out, instants_, offsets_);
  }

private:
  size_t recordSize_;
  size_t fieldsEnd_ = 0;  // end of the last field the layout places in a record
  int offsets_[kFieldKinds];
  TDecodeRun run_ = nullptr;
  TInstants instants_;
};

// Decodes into the bars the caller keeps: straight for MsPriceBar; for
// MsBar through a small buffer of decoded records, each widened.
void DecodeInto(TBarDecoder& decoder, ByteView bytes, size_t n, MsPriceBar* out) { decoder.Decode(bytes, n, out); }

void DecodeInto(TBarDecoder& decoder, ByteView bytes, size_t n, MsBar* out) {
  constexpr size_t kRun = 256;
  MsPriceBar decoded[kRun];
  for (size_t done = 0; done < n;) {
    const size_t run = std::min(kRun, n - done);
    decoder.Decode(bytes.subspan(done * decoder.RecordSize()), run, decoded);
    for (size_t i = 0; i < run; ++i) out[done + i] = MsWideBar(decoded[i]);
    done += run;
  }
}

template <class Bar>
int32_t DecodeBars(ByteView file, int32_t fieldCount, int32_t fieldMask, std::vector<Bar>& bars) {
  if (fieldCount <= 0 || fieldCount > kMaxFieldCount) {
    bars.clear();
    return 0;
  }
  TBarDecoder decoder(fieldCount, fieldMask);
  const size_t recordSize = decoder.RecordSize();
  const int32_t claimed = PriceRecordsClaimed(file);
  const ByteView records = file.size() >= recordSize ? file.subspan(recordSize) : ByteView();
  const size_t count = decoder.RecordsIn(records, claimed > 0 ? static_cast<size_t>(claimed) : 0);
  bars.resize(count);
  DecodeInto(decoder, records, count, bars.data());
  return static_cast<int32_t>(count);
}

}  // namespace

bool MsAllowAvx2PriceDecoding(bool allowed) {
#if VZ_MS_AVX2
  avx2Allowed.store(allowed);
  return allowed && __builtin_cpu_supports("avx2");
#else
  (void)allowed;
  return false;
#endif
}

MsBar MsWideBar(const MsPriceBar& bar) {
  return MsBar{bar.time, bar.open, bar.high, bar.low, bar.close, bar.volume, bar.openInterest};
}

int32_t MsDecodeBars(std::span<const uint8_t> file, int32_t fieldCount, int32_t fieldMask,
                     std::vector<MsPriceBar>& bars) {
  return DecodeBars(file, fieldCount, fieldMask, bars);
}

int32_t MsDecodeBars(std::span<const uint8_t> file, int32_t fieldCount, int32_t fieldMask, std::vector<MsBar>& bars) {
  return DecodeBars(file, fieldCount, fieldMask, bars);
}

namespace {

// "F<n>.DAT" / "F<n>.MWD" as the file number names it.
void DataFileBaseName(int32_t fileNumber, char (&name)[32]) {
  std::snprintf(name, sizeof name, "F%d.%s", static_cast<int>(fileNumber), fileNumber < 256 ? "DAT" : "MWD");
}

}  // namespace

std::string MsDataFileBaseName(int32_t fileNumber) {
  char name[32];
  DataFileBaseName(fileNumber, name);
  return name;
}

std::string MsDataFileName(const MsDirectory& dir, int32_t fileNumber) {
  char name[32];
  DataFileBaseName(fileNumber, name);
  return MsFindFile(dir.directory, name);
}

namespace {

// Records why MsReadBars returns -1: "PATH: reason", or the reason alone.
void SetReadFailure(MsDirectory& dir, MsError code, const std::string& path, const std::string& reason) {
  dir.readFailure = MsFailure{code, path, reason, path.empty() ? reason : path + ": " + reason};
}

bool OpenExistingDataFile(const MsDirectory& dir, MsSecurity& security, const std::string& path) {
  platform::FileOpenMode mode;
  mode.access = platform::FileAccess::ReadWrite;
  mode.share = platform::FileShare::ReadWrite;
  if (!dir.readOnly && security.dataFile.Open(path, mode)) return true;
  // Looking only, or a data file without write permission: read access.
  mode.access = platform::FileAccess::Read;
  return security.dataFile.Open(path, mode);
}

}  // namespace

int MsCreateDataFile(MsDirectory& dir, MsSecurity& security) {
  if (!security.inUse) return 0;
  security.dataFile.Close();
  if (security.fieldCount <= 0 || security.fieldCount > kMaxFieldCount) return 0;
  if (dir.readOnly) return 0;
  const std::string path = MsDataFileName(dir, security.fileNumber);
  // Never replace an existing entry: a file's prices would be lost, and a
  // pipe, folder or link is not ours to replace.
  if (platform::EntryExists(path)) return 0;
  platform::TSharedFile file;
  platform::FileOpenMode mode;
  mode.access = platform::FileAccess::Write;
  mode.share = platform::FileShare::ReadWrite;
  mode.disposition = platform::FileDisposition::CreateAlways;
  mode.archive = true;
  mode.createLike = MsFindFile(dir.directory, kMsMasterName);  // the directory's sharing
  if (!file.Open(path, mode)) return 0;
  security.recordCount = 0;
  Bytes header(static_cast<size_t>(security.fieldCount) * kFieldWidth, 0);
  TRecordWriter writer(header.data(), header.size());
  datafile::kRecordCount.Put(writer, 1);
  return file.WriteAt(0, header.data(), header.size()) ? 1 : 0;
}

int MsOpenDataFile(MsDirectory& dir, MsSecurity& security) {
  if (!security.inUse) {
    SetReadFailure(dir, MsError::NotInUse, {}, "not in use");
    return 0;
  }
  security.dataFile.Close();
  const std::string path = MsDataFileName(dir, security.fileNumber);
  if (!OpenExistingDataFile(dir, security, path)) {
    // An entry that exists but cannot be opened (no access, not a regular
    // file: a folder, a pipe, a device, a link loop) is refused at once and
    // left alone; a missing one is created empty unless only looking.
    if (platform::EntryExists(path) || dir.readOnly) {
      const MsError code = security.dataFile.ErrorKind() == platform::FileError::NotFound
                               ? MsError::NoDataFile
                               : MsErrorOfFile(security.dataFile, MsError::CannotRead);
      SetReadFailure(dir, code, path, security.dataFile.ErrorText());
      return 0;
    }
    if (!MsCreateDataFile(dir, security) || !OpenExistingDataFile(dir, security, path)) {
      SetReadFailure(dir, MsError::CannotWrite, path, "cannot create an empty data file");
      return 0;
    }
  }
  uint8_t header[4] = {};
  size_t got = 0;
  security.dataFile.ReadAt(0, header, sizeof header, got);
  security.recordCount = got == sizeof header ? PriceRecordsClaimed(header) : 0;
  return 1;
}

namespace {

// Reads the open data file in pieces small enough to stay in the
// processor's cache, decoding each as it arrives: the bars of ReadAll
// followed by MsDecodeBars, without holding the whole file. -1 when reading
// fails: the bars stay as they were when the first piece fails, and are
// emptied when a later one does.
//
// No size check comes first: the first read asks for a whole piece, and
// the header's count in it says how much of the file is needed. Only a
// read that stops short of that is followed by another (the file may be
// shorter than its header says, or the system returned less).
template <class Bar>
int32_t ReadBarsInPieces(const platform::TSharedFile& file, int32_t fieldCount, int32_t fieldMask,
                         std::vector<Bar>& bars) {
  constexpr size_t kPieceBytes = size_t{256} << 10;
  // One buffer per thread, reused: no allocation or zero-fill per read.
  thread_local Bytes buffer;
  if (fieldCount <= 0 || fieldCount > kMaxFieldCount) {
    const bool read = file.ReadAll(buffer);
    const int32_t count = read ? MsDecodeBars(buffer, fieldCount, fieldMask, bars) : -1;
    if (buffer.capacity() > kPieceBytes) Bytes().swap(buffer);
    return count;
  }
  TBarDecoder decoder(fieldCount, fieldMask);
  const size_t recordSize = decoder.RecordSize();
  const size_t piece = kPieceBytes / recordSize * recordSize;  // whole records
  if (buffer.size() < piece) buffer.resize(piece);

  size_t got = 0;
  if (!file.ReadSomeAt(0, buffer.data(), piece, got)) return -1;
  int32_t claimed = PriceRecordsClaimed(ByteView(buffer.data(), got));
  const size_t needed = claimed >= 0 ? std::min(piece, (static_cast<size_t>(claimed) + 1) * recordSize) : piece;
  if (got < needed) {
    size_t more = 0;
    if (!file.ReadAt(got, buffer.data() + got, piece - got, more)) return -1;
    got += more;
    claimed = PriceRecordsClaimed(ByteView(buffer.data(), got));
  }
  // Short of a whole piece now means the file ended there; a whole piece
  // may be followed by more, which the reads below bound.
  if (claimed <= 0 || got < recordSize) {
    bars.clear();
    return 0;
  }
  const ByteView firstRecords(buffer.data() + recordSize, got - recordSize);
  size_t count = got < piece ? decoder.RecordsIn(firstRecords, static_cast<size_t>(claimed))
                             : static_cast<size_t>(claimed);
  bars.resize(count);
  size_t done = decoder.RecordsIn(firstRecords, count);
  DecodeInto(decoder, firstRecords, done, bars.data());
  uint64_t offset = uint64_t{recordSize} * (done + 1);
  while (done < count) {
    const size_t wanted = std::min(count - done, piece / recordSize);
    if (!file.ReadAt(offset, buffer.data(), wanted * recordSize, got)) {
      bars.clear();
      return -1;
    }
    const ByteView records(buffer.data(), got);
    const size_t whole = decoder.RecordsIn(records, wanted);
    DecodeInto(decoder, records, whole, bars.data() + done);
    done += whole;
    offset += uint64_t{recordSize} * whole;
    if (whole < wanted) {  // the file ended early
      count = done;
      bars.resize(count);
    }
  }
  return static_cast<int32_t>(count);
}

template <class Bar>
int32_t ReadBars(MsDirectory& dir, MsSecurity& security, std::vector<Bar>& bars) {
  dir.readFailure = MsFailure{};
  if (!dir.readOnly) MsSetLock(dir, security, kMsLockReading, true);
  int32_t result = -1;
  // The name as written is what MsDataFileName finds whenever such a file
  // exists, so it is opened straight away, without the look-up; any other
  // case (another letter case, no file yet, no access) goes the full way.
  bool opened = false;
  bool headerRead = false;
  if (security.inUse) {
    security.dataFile.Close();
    char name[32];
    DataFileBaseName(security.fileNumber, name);
    opened = OpenExistingDataFile(dir, security, MsJoinPath(dir.directory, name));
    if (!opened) opened = headerRead = MsOpenDataFile(dir, security) != 0;
  } else {
    SetReadFailure(dir, MsError::NotInUse, {}, "not in use");
  }
  if (opened) {
    result = ReadBarsInPieces(security.dataFile, security.fieldCount, security.fieldMask, bars);
    if (result >= 0) {
      security.recordCount = result;
    } else {
      SetReadFailure(dir, MsError::CannotRead, MsDataFileName(dir, security.fileNumber), "read failed");
    }
    if (result < 0 && !headerRead) {
      // The count from the header, as opening through MsOpenDataFile sets it.
      uint8_t header[4] = {};
      size_t got = 0;
      security.dataFile.ReadAt(0, header, sizeof header, got);
      security.recordCount = got == sizeof header ? PriceRecordsClaimed(header) : 0;
    }
    security.dataFile.Close();
  }
  if (!dir.readOnly) MsSetLock(dir, security, kMsLockReading, false);
  return result;
}

}  // namespace

int32_t MsReadBars(MsDirectory& dir, MsSecurity& security, std::vector<MsPriceBar>& bars) {
  return ReadBars(dir, security, bars);
}

int32_t MsReadBars(MsDirectory& dir, MsSecurity& security, std::vector<MsBar>& bars) {
  return ReadBars(dir, security, bars);
}

}  // namespace vz
