#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include "metastock/MsNumbers.h"

namespace vz {
namespace {

struct TMbfCase {
  uint32_t ieee;
  uint32_t mbf;
};

TEST(MbfToFloat, ConvertsKnownWordsBothWays) {
  const TMbfCase cases[] = {
      {0x00000000, 0x00000000},  // +0
      {0x3F800000, 0x81000000},  // 1.0
      {0xBF800000, 0x81800000},  // -1.0
      {0x3F000000, 0x80000000},  // 0.5
      {std::bit_cast<uint32_t>(980115.0f), 0x946F4930},
      {0x3FFFFFFF, 0x817FFFFF},  // every mantissa bit set
      {0x00000001, 0x02000001},  // smallest IEEE subnormal survives the trip
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FloatToMbf(std::bit_cast<float>(c.ieee)), c.mbf) << std::hex << c.ieee;
    EXPECT_EQ(std::bit_cast<uint32_t>(MbfToFloat(c.mbf)), c.ieee) << std::hex << c.mbf;
  }
}

TEST(MbfToFloat, HandlesWordsWithoutCounterpart) {
  EXPECT_EQ(FloatToMbf(-0.0f), 0x02800000u);
  EXPECT_TRUE(std::signbit(MbfToFloat(0x02800000)));
  // Exponent bytes 0 and 1 (seen in real volumes) read as zero, not 1e38.
  EXPECT_EQ(MbfToFloat(0x00177000), 0.0f);
  EXPECT_EQ(MbfToFloat(0x01104000), 0.0f);
  // The word some writers use for 0.0.
  EXPECT_EQ(MbfToFloat(0x02000000), 0.0f);
  // Values beyond the MBF range saturate instead of wrapping to tiny ones.
  EXPECT_EQ(FloatToMbf(std::numeric_limits<float>::infinity()), 0xFF7FFFFFu);
  EXPECT_EQ(FloatToMbf(-std::numeric_limits<float>::max()), 0xFFFFFFFFu);
  EXPECT_EQ(FloatToMbf(std::numeric_limits<float>::quiet_NaN()), 0u);
}

TEST(MbfToFloat, RoundTripsEveryExponentAndSign) {
  for (uint32_t exponent = 2; exponent <= 0xFF; ++exponent)
    for (uint32_t low : {0x000000u, 0x7FFFFFu, 0x2AAAAAu, 0x800000u, 0xD55555u}) {
      const uint32_t mbf = (exponent << 24) | low;
      if (mbf == 0x02000000) continue;  // reads as 0.0, which writes as 0
      EXPECT_EQ(FloatToMbf(MbfToFloat(mbf)), mbf) << std::hex << mbf;
    }
}

TEST(TrimSpaces, RemovesOnlyOuterSpaces) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"  ABC  ", "ABC"}, {"A B", "A B"}, {"    ", ""}, {"", ""}, {"\tX ", "\tX"}, {" Y", "Y"}};
  for (const auto& c : cases) {
    char buffer[16];
    std::strcpy(buffer, c.in);
    EXPECT_STREQ(TrimSpaces(buffer), c.out) << '"' << c.in << '"';
  }
}

TEST(CountBits, CountsSetBits) {
  EXPECT_EQ(CountBits(0), 0);
  EXPECT_EQ(CountBits(0x1F), 5);
  EXPECT_EQ(CountBits(0xBF), 7);
  EXPECT_EQ(CountBits(0xFFFFFFFF), 32);
}

TEST(MbfDateTimeToTm, DecodesDatesAndDropsSeconds) {
  const struct {
    float date, time;
    int year, mon, mday, hour, min;
  } cases[] = {{980115, 0, 1998, 0, 15, 0, 0},
               {1020221, 93000, 2002, 1, 21, 9, 30},
               {1020221, 93059, 2002, 1, 21, 9, 30},
               {1391231, 235959, 2039, 11, 31, 23, 59}};
  for (const auto& c : cases) {
    std::tm t{};
    t.tm_wday = 5;  // not a decoded field: kept
    MbfDateTimeToTm(FloatToMbf(c.date), FloatToMbf(c.time), t);
    EXPECT_EQ(t.tm_year, c.year);
    EXPECT_EQ(t.tm_mon, c.mon);
    EXPECT_EQ(t.tm_mday, c.mday);
    EXPECT_EQ(t.tm_hour, c.hour);
    EXPECT_EQ(t.tm_min, c.min);
    EXPECT_EQ(t.tm_sec, 0);
    EXPECT_EQ(t.tm_wday, 5);
  }
}

TEST(DateEncoders, WriteTheThreeDateShapes) {
  std::tm t{};
  t.tm_year = 2002;
  t.tm_mon = 1;
  t.tm_mday = 21;
  EXPECT_EQ(TmToFloatDate(t), 1020221.0f);
  EXPECT_EQ(TmToPackedDate(t), 20020221);
  EXPECT_EQ(TmToMbfDate(t), FloatToMbf(1020221.0f));
  std::tm back{};
  PackedDateTimeToTm(20020221, 930000, back);
  EXPECT_EQ(back.tm_year, 2002);
  EXPECT_EQ(back.tm_mon, 1);
  EXPECT_EQ(back.tm_mday, 21);
  EXPECT_EQ(back.tm_hour, 9);
  EXPECT_EQ(back.tm_min, 30);
}

TEST(SubMinute, DecodesAndEncodesThroughThousandths) {
  const struct {
    int d, tmSec, encoded;
  } cases[] = {{0, 0, 0}, {30, 500, 30}, {1, 16, 0}, {59, 983, 58}};
  for (const auto& c : cases) {
    std::tm packed{}, floated{};
    PackedDateTimeToTm(20020221, 930000 + c.d, packed);
    FloatDateTimeToTm(1020221, static_cast<float>(93000 + c.d), floated);
    EXPECT_EQ(packed.tm_sec, c.tmSec) << c.d;
    EXPECT_EQ(floated.tm_sec, c.tmSec) << c.d;
    EXPECT_EQ(TmToPackedTime(packed), 930000 + c.encoded);
    EXPECT_EQ(TmToFloatTime(floated), static_cast<float>(93000 + c.encoded));
  }
}

TEST(DaySeconds, ConvertsBothTimeShapes) {
  EXPECT_EQ(PackedTimeToSeconds(930000), 34200);
  EXPECT_EQ(SecondsToPackedTime(34200), 930000);
  EXPECT_EQ(SecondsToFloatTime(34200), 93000.0f);
  EXPECT_EQ(FloatTimeToSeconds(93000), 34200);
  EXPECT_EQ(FloatTimeToSeconds(93059), 34200);
  EXPECT_EQ(SecondsToPackedTime(-5), 0);
  EXPECT_EQ(SecondsToFloatTime(-5), 0.0f);
  EXPECT_EQ(SecondsToFloatTime(25 * 3600), 250000.0f);  // hours are not wrapped
}

TEST(TmToUtcSeconds, MatchesTheCalendarOnEveryDay) {
  using namespace std::chrono;
  // Every day from 1901 (full years start above 1900) to 2400, against the
  // standard calendar.
  for (sys_days day = sys_days(year(1901) / January / 1); day < sys_days(year(2400) / January / 1); day += days(1)) {
    const year_month_day ymd(day);
    std::tm t{};
    t.tm_year = static_cast<int>(ymd.year());
    t.tm_mon = static_cast<int>(static_cast<unsigned>(ymd.month())) - 1;
    t.tm_mday = static_cast<int>(static_cast<unsigned>(ymd.day()));
    t.tm_hour = 13;
    t.tm_min = 7;
    const int64_t expected = day.time_since_epoch().count() * int64_t{86400} + 13 * 3600 + 7 * 60;
    ASSERT_EQ(TmToUtcSeconds(t), expected) << static_cast<int>(ymd.year()) << "-" << t.tm_mon + 1 << "-" << t.tm_mday;
    std::tm back{};
    UtcSecondsToTm(expected + 59, back);
    ASSERT_EQ(back.tm_year, t.tm_year);
    ASSERT_EQ(back.tm_mon, t.tm_mon);
    ASSERT_EQ(back.tm_mday, t.tm_mday);
    ASSERT_EQ(back.tm_hour * 3600 + back.tm_min * 60 + back.tm_sec, 13 * 3600 + 7 * 60 + 59);
  }
}

TEST(TmToUtcSeconds, KnownInstantsAndYearsBeyond2038) {
  EXPECT_EQ(MbfDateTimeToUtcSeconds(FloatToMbf(700101), 0), 0);
  EXPECT_EQ(MbfDateTimeToUtcSeconds(FloatToMbf(1020221), FloatToMbf(93000)), 1014283800);
  // 2038-01-19 03:14:08 is one past the signed 32-bit range: exact, no wrap.
  const int64_t after = MbfDateTimeToUtcSeconds(FloatToMbf(1380119), FloatToMbf(31400)) + 8;
  EXPECT_EQ(after, int64_t{2147483648});
  EXPECT_FALSE(FitsInt32Seconds(after));
  EXPECT_TRUE(FitsInt32Seconds(after - 1));
  std::tm years{};
  years.tm_year = 70;  // years since 1900 are accepted too
  years.tm_mday = 1;
  EXPECT_EQ(TmToUtcSeconds(years), 0);
  years.tm_mon = 12;  // month 13 carries into the next year
  EXPECT_EQ(TmToUtcSeconds(years), 365 * 86400);
}

TEST(Decoders, StayDefinedOnGarbage) {
  std::tm t{};
  for (uint32_t word : {0xFFFFFFFFu, 0x7F800000u, 0xFF7FFFFFu, 0x9F000000u}) {
    MbfDateTimeToTm(word, word, t);
    (void)TmToUtcSeconds(t);
    (void)TmToPackedDate(t);
    (void)TmToFloatTime(t);
  }
  FloatDateTimeToTm(std::numeric_limits<float>::quiet_NaN(), 3.0e38f, t);
  EXPECT_EQ(t.tm_year, 1900);  // NaN date reads as 0
  EXPECT_EQ(TruncToInt32(1e20), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(TruncToInt32(-1e20), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(TruncToInt32(-2.9), -2);
}

}  // namespace
}  // namespace vz
