// The bundled sample and the large benchmark directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "msgen/ByteFields.h"
#include "support/ScratchDir.h"
#include "tools/msgen/MsGenMbf.h"
#include "tools/msgen/MsSample.h"

namespace vz::msgen {
namespace {

namespace fs = std::filesystem;

using test::U16;
using test::U32;

TEST(SampleDirectory, HasTheShapeOfARealDirectory) {
  const MsGenDirectory d = SampleDirectory();
  ASSERT_EQ(CheckDirectory(d), "");
  std::map<int, int> fieldCounts;  // daily securities by field count
  std::map<int, int> intervals;    // intraday securities by interval
  int xmasterDaily = 0, xmasterIntraday = 0, longSymbols = 0;
  for (const MsGenSecurity& s : d.securities) {
    ASSERT_FALSE(s.bars.empty()) << s.symbol;
    EXPECT_LE(s.bars.back().date, kSampleLastDate) << s.symbol;
    if (s.symbol.size() >= 12 && s.symbol.size() <= 14) ++longSymbols;
    if (s.period == 'D') {
      ++fieldCounts[FieldCountOfMask(s.fieldMask)];
      xmasterDaily += s.fileNumber > kMaxMasterFileNumber;
      EXPECT_LE(s.bars.front().date, 20220101) << s.symbol;  // five years
    } else {
      ASSERT_EQ(s.period, 'I');
      ++intervals[s.interval];
      xmasterIntraday += s.fileNumber > kMaxMasterFileNumber;
      EXPECT_EQ(s.fieldMask, kMaskDtohlcvi);
      EXPECT_EQ(s.name[0], 'M');
      EXPECT_EQ(s.name.substr(1, 2), std::to_string(s.interval).append("_"));
      EXPECT_LE(s.bars.front().date, 20260905) << s.symbol;  // three months
    }
  }
  EXPECT_EQ(fieldCounts[5] + fieldCounts[6] + fieldCounts[7], 40);
  EXPECT_GE(fieldCounts[5], 5);
  EXPECT_GE(fieldCounts[7], 5);
  EXPECT_EQ(intervals[1], 6);
  EXPECT_EQ(intervals[5], 6);
  EXPECT_GE(xmasterDaily, 3);
  EXPECT_EQ(xmasterIntraday, 1);
  EXPECT_GE(longSymbols, 5);
}

TEST(WriteSampleDirectory, WritesTheSameBytesEveryTime) {
  vz::test::TScratchDir scratch;
  std::string error;
  ASSERT_TRUE(WriteSampleDirectory(scratch.Path() / "a", &error)) << error;
  ASSERT_TRUE(WriteSampleDirectory(scratch.Path() / "b", &error)) << error;
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(scratch.Path() / "a")) {
    const fs::path other = scratch.Path() / "b" / entry.path().filename();
    ASSERT_TRUE(fs::exists(other)) << other;
    EXPECT_TRUE(vz::test::ReadFileBytes(entry.path()) == vz::test::ReadFileBytes(other)) << other;
    ++files;
  }
  EXPECT_EQ(files, 3u + 52u);  // MASTER, EMASTER, XMASTER and one data file each
  EXPECT_TRUE(fs::exists(scratch.Path() / "a" / "F260.MWD"));
}

TEST(WriteLargeDirectory, MastersAgreeWithTheDataFiles) {
  vz::test::TScratchDir scratch;
  std::string error;
  ASSERT_TRUE(WriteLargeDirectory(scratch.Path(), 0.005, &error)) << error;
  const std::string master = vz::test::ReadFileBytes(scratch.Path() / "MASTER");
  const uint32_t count = U16(master, 0);
  EXPECT_EQ(count, 1u + 10u);  // 1 intraday, 10 daily
  ASSERT_EQ(master.size(), 53u * (count + 1));
  for (uint32_t i = 1; i <= count; ++i) {
    const std::string r = master.substr(53 * i, 53);
    const std::string data = vz::test::ReadFileBytes(
        scratch.Path() / std::string("F").append(std::to_string(static_cast<uint8_t>(r[0]))).append(".DAT"));
    const size_t recordSize = static_cast<uint8_t>(r[3]);
    const size_t records = U16(data, 2);
    ASSERT_EQ(data.size(), records * recordSize) << i;
    ASSERT_GT(records, 1u);
    EXPECT_EQ(U32(r, 25), U32(data, recordSize)) << "first date of record " << i;
    EXPECT_EQ(U32(r, 29), U32(data, (records - 1) * recordSize)) << "last date of record " << i;
  }
  EXPECT_FALSE(WriteLargeDirectory(scratch.Path() / "none", 0.0, &error));
  EXPECT_FALSE(fs::exists(scratch.Path() / "none"));
}

}  // namespace
}  // namespace vz::msgen
