#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "MsTestSupport.h"
#include "metastock/MsLockFile.h"
#include "metastock/MsNumbers.h"
#include "metastock/MsPriceData.h"
#include "platform/FileSystem.h"
#include "support/ScratchDir.h"

namespace vz {
namespace {

using test::DailySecurity;
using test::IntradaySecurity;

class MsReadBarsTest : public testing::Test {
protected:
  MsDirectory* Open(const msgen::MsGenDirectory& d) {
    std::string error;
    EXPECT_TRUE(msgen::WriteMetastockDirectory(d, scratch_.Path(), &error)) << error;
    dir_ = test::OpenAs(Dir(), "reader");
    return dir_;
  }
  std::string Dir() const { return scratch_.Path().string(); }
  void TearDown() override { MsCloseDirectory(dir_); }

  test::TScratchDir scratch_;
  MsDirectory* dir_ = nullptr;
};

TEST_F(MsReadBarsTest, DecodesTheFieldsTheMaskSelects) {
  msgen::MsGenDirectory d;
  d.securities.push_back(DailySecurity(1, "FIVE", 3, msgen::kMaskDhlcv));
  d.securities.push_back(IntradaySecurity(2, "EIGHT", 3));
  MsDirectory* dir = Open(d);
  ASSERT_NE(dir, nullptr);
  std::vector<MsBar> bars(1);
  ASSERT_EQ(MsReadBars(*dir, dir->securities[0], bars), 3);
  ASSERT_EQ(bars.size(), 3u);
  EXPECT_EQ(dir->securities[0].fieldCount, 5);
  EXPECT_EQ(bars[1].time, MbfDateTimeToUtcSeconds(FloatToMbf(1020219), 0));
  EXPECT_EQ(bars[1].open, 0.0);
  EXPECT_EQ(bars[1].openInterest, 0.0);
  EXPECT_EQ(bars[1].high, 12.5);
  EXPECT_EQ(bars[1].low, 10.75);
  EXPECT_EQ(bars[1].close, 11.5);
  EXPECT_EQ(bars[1].volume, 2000.0);

  ASSERT_EQ(MsReadBars(*dir, dir->securities[1], bars), 3);
  EXPECT_EQ(bars[0].time, 1014283800);  // 2002-02-21 09:30 UTC
  EXPECT_EQ(bars[2].time, 1014283800 + 120);
  EXPECT_EQ(bars[2].open, 12.0);
  EXPECT_EQ(bars[2].openInterest, 7.0);
  EXPECT_EQ(dir->securities[1].recordCount, 3);
}

TEST_F(MsReadBarsTest, NamesFilesByNumberAndFindsThemInAnyCase) {
  msgen::MsGenDirectory d;
  d.nameCase = msgen::MsGenNameCase::Lower;
  d.securities.push_back(DailySecurity(255, "LAST", 2));
  d.securities.push_back(DailySecurity(256, "FIRSTX", 4));
  MsDirectory* dir = Open(d);
  ASSERT_NE(dir, nullptr);
  ASSERT_EQ(dir->securityCount, 2);
  EXPECT_TRUE(platform::EqualsNoCase(std::filesystem::path(MsDataFileName(*dir, 255)).filename().string(), "F255.DAT"));
  EXPECT_TRUE(platform::EqualsNoCase(std::filesystem::path(MsDataFileName(*dir, 256)).filename().string(), "F256.MWD"));
  std::vector<MsBar> bars;
  EXPECT_EQ(MsReadBars(*dir, dir->securities[0], bars), 2);
  EXPECT_EQ(MsReadBars(*dir, dir->securities[1], bars), 4);
  // The lower-case files were read, no upper-case empty ones were made.
  int dataFiles = 0;
  for (const std::string& name : platform::ListFileNames(Dir()))
    dataFiles += platform::EqualsNoCase(name, "F255.DAT") || platform::EqualsNoCase(name, "F256.MWD");
  EXPECT_EQ(dataFiles, 2);
}

TEST_F(MsReadBarsTest, CreatesAMissingFileAndReadsAnEmptyOne) {
  msgen::MsGenDirectory d;
  d.securities.push_back(DailySecurity(1, "GONE", 3));
  d.securities.push_back(DailySecurity(2, "EMPTY", 0));
  d.faults.missingFiles = {1};
  MsDirectory* dir = Open(d);
  ASSERT_NE(dir, nullptr);
  std::vector<MsBar> bars(5);
  EXPECT_EQ(MsReadBars(*dir, dir->securities[0], bars), 0);
  EXPECT_TRUE(bars.empty());
  const Bytes created = test::ReadBytes(MsDataFileName(*dir, 1));
  ASSERT_EQ(created.size(), 28u);
  EXPECT_EQ(LoadU16(created.data() + 2), 1);
  EXPECT_EQ(MsReadBars(*dir, dir->securities[1], bars), 0);
}

// A data file another program holds without sharing exists: the read fails
// and the file keeps its prices instead of being replaced by an empty one.
TEST_F(MsReadBarsTest, NeverReplacesAFileThatFailsToOpen) {
  msgen::MsGenDirectory d;
  d.securities.push_back(DailySecurity(1, "HELD", 3));
  MsDirectory* dir = Open(d);
  ASSERT_NE(dir, nullptr);
  const std::string path = MsDataFileName(*dir, 1);
  const std::string before = test::ReadFileBytes(path);
  platform::TSharedFile holder;
  platform::FileOpenMode exclusive;
  exclusive.share = platform::FileShare::None;
  ASSERT_TRUE(holder.Open(path, exclusive));
  std::vector<MsBar> bars(1);
  EXPECT_EQ(MsReadBars(*dir, dir->securities[0], bars), -1);
  EXPECT_EQ(dir->readFailure.code, MsError::Busy);
  EXPECT_EQ(bars.size(), 1u);
  EXPECT_EQ(MsCreateDataFile(*dir, dir->securities[0]), 0);
  holder.Close();
  EXPECT_EQ(test::ReadFileBytes(path), before);
  EXPECT_EQ(MsReadBars(*dir, dir->securities[0], bars), 3);
}

TEST_F(MsReadBarsTest, ClearsItsLockBitAndSkipsDeletedSecurities) {
  msgen::MsGenDirectory d;
  d.securities.push_back(DailySecurity(1, "ONE", 2));
  d.securities.push_back(DailySecurity(2, "TWO", 2));
  MsDirectory* dir = Open(d);
  ASSERT_NE(dir, nullptr);
  ASSERT_EQ(MsSetLock(*dir, dir->securities[1], kMsLockReading, true), 1);
  Bytes lock = test::ReadBytes(MsFindFile(Dir(), kMsLockFileName));
  ASSERT_EQ(lock.size(), 37u * 3);
  EXPECT_EQ(lock[37 * 2], 0x10);
  EXPECT_EQ(lock[37 * 2 + 1], 0x80);  // slot 0
  std::vector<MsBar> bars;
  EXPECT_EQ(MsReadBars(*dir, dir->securities[1], bars), 2);
  lock = test::ReadBytes(MsFindFile(Dir(), kMsLockFileName));
  EXPECT_EQ(lock[37 * 2], 0);
  EXPECT_EQ(lock[37 * 2 + 1], 0);

  dir->securities[0].inUse = 0;
  bars.resize(9);
  EXPECT_EQ(MsReadBars(*dir, dir->securities[0], bars), -1);
  EXPECT_EQ(dir->readFailure.code, MsError::NotInUse);
  EXPECT_EQ(bars.size(), 9u);
}

TEST(MsDecodeBars, BoundsRecordsByTheBytesPresent) {
  const struct {
    size_t size;
    uint16_t claimed;
    int32_t fieldCount;
    int32_t mask;
    int32_t expected;
  } cases[] = {
      {28 * 4, 3, 7, 0x7F, 2},    // header claims 2 bars, 3 records present
      {28 * 4, 99, 7, 0x7F, 3},   // claims beyond the file: cut to the records present
      {28 * 4 - 5, 99, 7, 0x7F, 2},  // a partial last record is not read
      {28 * 4, 0, 7, 0x7F, 0},    // a count of 0 is below the header itself
      {10, 50, 7, 0x7F, 0},       // not even a header
      {28 * 4, 9, 0, 0x7F, 0},    // no fields
      {28 * 4, 99, 2, 0xFF, 13},  // mask wider than the record: fields beyond read as 0
  };
  for (const auto& c : cases) {
    Bytes file(c.size, 0x41);
    if (file.size() >= 4) StoreU16(file.data() + 2, c.claimed);
    std::vector<MsBar> bars(1);
    EXPECT_EQ(MsDecodeBars(file, c.fieldCount, c.mask, bars), c.expected) << c.size << " " << c.claimed;
    EXPECT_EQ(bars.size(), static_cast<size_t>(c.expected));
  }
}

// The fast path (date cache, inline time) gives the same instants as the
// plain conversion, whatever the words hold.
TEST(MsDecodeBars, TimesEqualThePlainConversion) {
  std::mt19937 random(7);
  Bytes file(8 * 4 * 2001, 0);
  StoreU16(file.data() + 2, 2001);
  for (size_t i = 32; i < file.size(); i += 4) {
    uint32_t word = random();
    if ((i / 32) % 3 == 0) word = FloatToMbf(static_cast<float>(1000000 + random() % 400000));
    StoreU32(file.data() + i, word);
  }
  std::vector<MsBar> bars;
  ASSERT_EQ(MsDecodeBars(file, 8, 0xFF, bars), 2000);
  for (size_t i = 0; i < bars.size(); ++i) {
    const uint8_t* record = file.data() + 32 * (i + 1);
    ASSERT_EQ(bars[i].time, MbfDateTimeToUtcSeconds(LoadU32(record), LoadU32(record + 4))) << i;
    ASSERT_EQ(bars[i].openInterest, static_cast<double>(MbfToFloat(LoadU32(record + 28))));
  }
}


bool SameBar(const MsBar& a, const MsBar& b) {
  return a.time == b.time && a.open == b.open && a.high == b.high && a.low == b.low && a.close == b.close &&
         a.volume == b.volume && a.openInterest == b.openInterest;
}

// The 32-bit bars compared bit for bit: every byte of them is written.
bool SameBar(const MsPriceBar& a, const MsPriceBar& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Bars left from an earlier read, which a decoding must overwrite whole.
template <class Bar>
std::vector<Bar> LeftOverBars(size_t count) {
  Bar bar;
  bar.time = -7;
  bar.open = bar.high = bar.low = bar.close = bar.volume = bar.openInterest = 9.5f;
  return std::vector<Bar>(count, bar);
}

// The decoder reads records without checks; every cut of a valid file, each
// in an allocation of exactly its length (so that a sanitizer sees a read
// past it), gives the whole records it still holds, decoded as before, into
// the 32-bit bars the conversion reads and into MsBar alike.
template <class Bar>
void CheckEveryTruncationOfValidFiles() {
  msgen::MsGenDirectory d;
  d.securities = {DailySecurity(1, "FIVE", 20, msgen::kMaskDhlcv), IntradaySecurity(2, "EIGHT", 20),
                  DailySecurity(3, "SEVEN", 20, msgen::kMaskDohlcvi)};
  const struct {
    const char* file;
    int32_t fieldCount;
    int32_t mask;
  } layouts[] = {
      {"F1.DAT", 5, msgen::kMaskDhlcv},     // high to volume at once
      {"F2.DAT", 8, msgen::kMaskDtohlcvi},  // every field: open to open interest at once
      {"F2.DAT", 7, msgen::kMaskDtohlcvi},  // a mask wider than the record
      {"F3.DAT", 7, msgen::kMaskDohlcvi},   // daily with open interest
  };
  for (const auto& layout : layouts) {
    const Bytes whole = test::GeneratedFile(d, layout.file);
    const size_t recordSize = static_cast<size_t>(layout.fieldCount) * 4;
    std::vector<Bar> all;
    ASSERT_EQ(MsDecodeBars(whole, layout.fieldCount, layout.mask, all), 20);
    for (size_t length = 0; length <= whole.size(); ++length) {
      const Bytes cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length));
      std::vector<Bar> bars = LeftOverBars<Bar>(3);
      const int32_t count = MsDecodeBars(cut, layout.fieldCount, layout.mask, bars);
      const size_t expected = length < recordSize ? 0 : std::min<size_t>(20, length / recordSize - 1);
      ASSERT_EQ(count, static_cast<int32_t>(expected)) << layout.fieldCount << " " << length;
      ASSERT_EQ(bars.size(), expected);
      for (size_t i = 0; i < expected; ++i) ASSERT_TRUE(SameBar(bars[i], all[i])) << length << " " << i;
    }
  }
}

TEST(MsDecodeBars, EveryTruncationOfAValidFileGivesTheWholeRecordsLeft) {
  test::WithEachPriceDecoder([](bool avx2) {
    SCOPED_TRACE(avx2 ? "AVX2" : "SSE2");
    CheckEveryTruncationOfValidFiles<MsPriceBar>();
    CheckEveryTruncationOfValidFiles<MsBar>();
  });
}

// The same through MsReadBars, which reads a file in pieces: every cut of a
// small file, and the cuts around the first piece's end of a file longer
// than a piece, read into both kinds of bar over bars left from an earlier
// read.
TEST_F(MsReadBarsTest, EveryTruncationOfADataFileReadsTheWholeRecordsLeft) {
  constexpr int kLong = 9000;  // 288 KB of 32-byte records: two pieces
  msgen::MsGenSecurity longer = IntradaySecurity(2, "LONG", kLong);
  for (int i = 0; i < kLong; ++i) {  // 390 minutes a day from 09:30
    const int minute = 30 + i % 390;
    longer.bars[static_cast<size_t>(i)].date = 20020101 + i / 390;
    longer.bars[static_cast<size_t>(i)].time = (9 + minute / 60) * 10000 + minute % 60 * 100;
  }
  msgen::MsGenDirectory d;
  d.securities = {DailySecurity(1, "SHORT", 20), longer};
  MsDirectory* dir = Open(d);
  ASSERT_NE(dir, nullptr);
  for (MsSecurity& security : dir->securities) {
    const std::string path = MsDataFileName(*dir, security.fileNumber);
    const Bytes whole = test::ReadBytes(path);
    const size_t recordSize = static_cast<size_t>(security.fieldCount) * 4;
    std::vector<size_t> lengths;
    if (whole.size() < 4096) {
      for (size_t length = 0; length <= whole.size(); ++length) lengths.push_back(length);
    } else {
      constexpr size_t kPiece = size_t{256} << 10;  // the reader's piece
      for (size_t length = kPiece - 3 * recordSize; length <= kPiece + 3 * recordSize; ++length)
        lengths.push_back(length);
      for (size_t back = 0; back <= recordSize; ++back) lengths.push_back(whole.size() - back);
    }
    std::vector<MsBar> bars, expected;
    std::vector<MsPriceBar> narrow, narrowExpected;
    test::WithEachPriceDecoder([&](bool avx2) {
      SCOPED_TRACE(avx2 ? "AVX2" : "SSE2");
      for (size_t length : lengths) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length));
        test::WriteFileBytes(path, std::string(cut.begin(), cut.end()));
        const int32_t count = MsReadBars(*dir, security, bars);
        ASSERT_EQ(count, MsDecodeBars(cut, security.fieldCount, security.fieldMask, expected))
            << security.symbol << " " << length;
        ASSERT_EQ(bars.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) ASSERT_TRUE(SameBar(bars[i], expected[i])) << length << " " << i;

        narrow = LeftOverBars<MsPriceBar>(kLong + 5);
        ASSERT_EQ(MsReadBars(*dir, security, narrow), count) << security.symbol << " " << length;
        ASSERT_EQ(MsDecodeBars(cut, security.fieldCount, security.fieldMask, narrowExpected), count);
        ASSERT_EQ(narrow.size(), narrowExpected.size());
        for (size_t i = 0; i < narrowExpected.size(); ++i)
          ASSERT_TRUE(SameBar(narrow[i], narrowExpected[i])) << length << " " << i;
      }
    });
    test::WriteFileBytes(path, std::string(whole.begin(), whole.end()));
  }
}

}  // namespace
}  // namespace vz
