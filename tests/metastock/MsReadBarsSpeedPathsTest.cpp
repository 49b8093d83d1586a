#include <gtest/gtest.h>

#include <bit>
#include <iterator>
#include <random>

#include "MsTestSupport.h"
#include "bytes/ByteFields.h"
#include "metastock/MsNumbers.h"
#include "metastock/MsPriceData.h"

namespace vz {
namespace {

// Every field mask and record width, decoded from records whose dates come
// in runs (as intraday files hold them) with corrupt words in between,
// equals a record-by-record reading of the layout with the plain
// conversions, as MsBar and as the 32-bit MsPriceBar (the very float bits
// of each word). The 32-bit bars are decoded over bars left from an earlier
// read, so a field some layout fails to write shows as the old value. Both
// conversions are checked: SSE2 and, where the processor has it, AVX2.
TEST(MsDecodeBars, EveryMaskAndWidthMatchesTheFieldByFieldReading) {
  test::WithEachPriceDecoder([](bool avx2) {
    SCOPED_TRACE(avx2 ? "AVX2" : "SSE2");
    // Day 0 and day 99, month 0 and 13, the first ordinary month, the
    // leap day of 2000 reached as 2000-03-00, years before 1901.
    const float kEdgeDates[] = {1000300, 1000229, 1000199, 1000001, 1001301, 1260100,
                                10100,   10099,   10001,   0,       -1000101, 8991231};
    std::mt19937 random(11);
    constexpr size_t kRecords = 40;
    for (int32_t fieldCount = 1; fieldCount <= 9; ++fieldCount) {
      const size_t recordSize = static_cast<size_t>(fieldCount) * 4;
      for (int32_t mask = 0; mask < 256; ++mask) {
        Bytes file(recordSize * (kRecords + 1), 0);
        StoreU16(file.data() + 2, kRecords + 1);
        uint32_t date = FloatToMbf(1260901.0f);
        for (size_t r = 1; r <= kRecords; ++r) {
          uint8_t* record = file.data() + r * recordSize;
          // A new date every few records; now and then a garbage word, which
          // the next record's proper date follows.
          if (random() % 5 == 0) date = FloatToMbf(static_cast<float>(1000101 + random() % 300000));
          if (random() % 9 == 0) date = FloatToMbf(kEdgeDates[random() % std::size(kEdgeDates)]);
          const bool garbage = random() % 7 == 0;
          for (int32_t f = 0; f < fieldCount; ++f) {
            const float time = static_cast<float>((random() % 24) * 10000 + (random() % 60) * 100 + random() % 60);
            const uint32_t word = f == 0 ? (garbage ? static_cast<uint32_t>(random()) : date)
                                  : f == 1 && random() % 3 != 0 ? FloatToMbf(time)
                                                                  : static_cast<uint32_t>(random());
            StoreU32(record + f * 4, word);
          }
        }
        std::vector<MsBar> bars;
        ASSERT_EQ(MsDecodeBars(file, fieldCount, mask, bars), static_cast<int32_t>(kRecords));
        std::vector<MsPriceBar> narrow(kRecords + 3, MsPriceBar{-7, 9.5f, 9.5f, 9.5f, 9.5f, 9.5f, 9.5f});
        ASSERT_EQ(MsDecodeBars(file, fieldCount, mask, narrow), static_cast<int32_t>(kRecords));
        ASSERT_EQ(narrow.size(), kRecords);
        const bool dated = (mask & 0x0F) != 0;
        const bool present[8] = {dated,        (mask & 0x80) != 0, (mask & 0x20) != 0, (mask & 0x08) != 0,
                                 (mask & 0x10) != 0, dated,        dated,              (mask & 0x40) != 0};
        for (size_t r = 0; r < kRecords; ++r) {
          const uint8_t* record = file.data() + (r + 1) * recordSize;
          uint32_t words[8] = {};
          bool has[8] = {};
          for (int f = 0, next = 0; f < 8; ++f) {
            if (!present[f]) continue;
            if (next < fieldCount) {
              words[f] = LoadU32(record + next * 4);
              has[f] = true;
            }
            ++next;
          }
          auto value = [&](int f) { return has[f] ? static_cast<double>(MbfToFloat(words[f])) : 0.0; };
          auto bits = [&](int f) { return has[f] ? std::bit_cast<uint32_t>(MbfToFloat(words[f])) : 0u; };
          const int64_t time = has[0] ? MbfDateTimeToUtcSeconds(words[0], has[1] ? words[1] : 0) : 0;
          const MsBar& bar = bars[r];
          ASSERT_EQ(bar.time, time) << fieldCount << " " << mask << " " << r;
          ASSERT_EQ(bar.open, value(2)) << fieldCount << " " << mask << " " << r;
          ASSERT_EQ(bar.high, value(3)) << fieldCount << " " << mask << " " << r;
          ASSERT_EQ(bar.low, value(4)) << fieldCount << " " << mask << " " << r;
          ASSERT_EQ(bar.close, value(5)) << fieldCount << " " << mask << " " << r;
          ASSERT_EQ(bar.volume, value(6)) << fieldCount << " " << mask << " " << r;
          ASSERT_EQ(bar.openInterest, value(7)) << fieldCount << " " << mask << " " << r;
          const MsPriceBar& small = narrow[r];
          ASSERT_EQ(small.time, time) << fieldCount << " " << mask << " " << r;
          const float fields[] = {small.open, small.high, small.low, small.close, small.volume, small.openInterest};
          for (int f = 2; f < 8; ++f)
            ASSERT_EQ(std::bit_cast<uint32_t>(fields[f - 2]), bits(f)) << fieldCount << " " << mask << " " << r << " " << f;
        }
      }
    }
  });
}

}  // namespace
}  // namespace vz
