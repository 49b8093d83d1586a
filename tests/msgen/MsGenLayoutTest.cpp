// The generated files decoded by hand, at the offsets of the layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "msgen/ByteFields.h"
#include "support/ScratchDir.h"
#include "tools/msgen/MsGen.h"
#include "tools/msgen/MsGenMbf.h"

namespace vz::msgen {
namespace {

namespace fs = std::filesystem;

using test::F32;
using test::MbfValue;
using test::U16;
using test::U32;

TEST(FloatToMbfWord, KnownWords) {
  const struct {
    float value;
    uint32_t word;
  } cases[] = {
      {0.0f, 0x00000000},      {-0.0f, 0x00000000},     {1.0f, 0x81000000},     {-1.0f, 0x81800000},
      {0.5f, 0x80000000},      {980115.0f, 0x946F4930}, {1e-40f, 0x00000000},   {INFINITY, 0xFF7FFFFF},
      {-INFINITY, 0xFFFFFFFF}, {NAN, 0x00000000},       {0x1p127f, 0xFF7FFFFF}, {0x1p126f, 0xFF000000},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToMbfWord(c.value), c.word) << c.value;
}

TEST(FloatToMbfWord, KeepsEveryMantissaBit) {
  // Walk float words over the whole normal range that MBF can hold.
  for (uint32_t ieee = 0x00800000; ieee < 0x7F000000; ieee += 0x00012345) {
    for (uint32_t sign : {0u, 0x80000000u}) {
      const float v = std::bit_cast<float>(ieee | sign);
      ASSERT_EQ(MbfValue(FloatToMbfWord(v)), static_cast<double>(v)) << std::hex << ieee;
    }
  }
}

TEST(CenturyDate, CountsYearsFrom1900) {
  EXPECT_EQ(CenturyDate(19980115), 980115);
  EXPECT_EQ(CenturyDate(20020221), 1020221);
}

TEST(FieldCountOfMask, CountsFieldsOfRealMasks) {
  const struct {
    uint8_t mask;
    int count;
  } cases[] = {{kMaskDhlcv, 5},    {kMaskDohlcv, 6}, {kMaskDohlcvi, 7}, {kMaskDtohlcv, 7},
               {kMaskDtohlcvi, 8}, {0x01, 3},        {0x80, 1}};
  for (const auto& c : cases) EXPECT_EQ(FieldCountOfMask(c.mask), c.count) << int(c.mask);
}

// Three securities: a 5-field daily one with a 14-character symbol, an
// 8-field intraday one, and a 7-field daily one listed only in XMASTER.
MsGenDirectory ThreeSecurities() {
  MsGenDirectory d;
  d.stamp = 0xBDE3AC7E;
  MsGenSecurity daily;
  daily.fileNumber = 1;
  daily.symbol = "ABCDEFGHIJ.XYZ";
  daily.name = "D1_Daily five field company name";
  daily.fieldMask = kMaskDhlcv;
  daily.bars = {{19980115, 0, 0, 2.5f, 1.25f, 2.0f, 1000, 0}, {20020221, 0, 0, 3.5f, 2.75f, 3.0f, 1500, 0}};
  MsGenSecurity intra;
  intra.fileNumber = 2;
  intra.symbol = "EURUSD";
  intra.name = "M5_EURUSD";
  intra.period = 'I';
  intra.interval = 5;
  intra.fieldMask = kMaskDtohlcvi;
  intra.dayStartSeconds = 9 * 3600 + 30 * 60;
  intra.dayEndSeconds = 16 * 3600;
  intra.bars = {{20261130, 93000, 1.0f, 1.5f, 0.5f, 1.25f, 10, 7}, {20261130, 93500, 1.25f, 1.5f, 1.0f, 1.0f, 20, 8}};
  MsGenSecurity extra;
  extra.fileNumber = 300;
  extra.symbol = "FIFTEEN_CHARS.X";
  extra.name = "An XMASTER-only security";
  extra.fieldMask = kMaskDohlcvi;
  extra.bars = {{20260105, 0, 4, 5, 3, 4.5f, 100, 9}};
  d.securities = {daily, intra, extra};
  return d;
}

class MsGenLayout : public ::testing::Test {
protected:
  void Write(const MsGenDirectory& d) {
    std::string error;
    ASSERT_TRUE(WriteMetastockDirectory(d, scratch.Path(), &error)) << error;
  }
  std::string Read(const std::string& name) {
    EXPECT_TRUE(fs::exists(scratch.Path() / name)) << name;
    return vz::test::ReadFileBytes(scratch.Path() / name);
  }
  vz::test::TScratchDir scratch;
};

TEST_F(MsGenLayout, MasterHeaderAndRecord) {
  Write(ThreeSecurities());
  const std::string m = Read("MASTER");
  ASSERT_EQ(m.size(), 53u * 3);
  EXPECT_EQ(U16(m, 0), 2u);            // XMASTER-only security not counted
  EXPECT_EQ(U16(m, 2), 2u);            // last file number
  EXPECT_EQ(U32(m, 49), 0xBDE3AC7Eu);  // stamp
  const std::string r = m.substr(53, 53);
  EXPECT_EQ(r[0], 1);
  EXPECT_EQ(static_cast<uint8_t>(r[1]), 0x65);
  EXPECT_EQ(r[3], 20);
  EXPECT_EQ(r[4], 5);
  EXPECT_EQ(r.substr(7, 16), "D1_Daily five fi");
  EXPECT_EQ(U32(r, 25), 0x946F4930u);  // 980115
  EXPECT_EQ(MbfValue(U32(r, 29)), 1020221.0);
  EXPECT_EQ(r[33], 'D');
  EXPECT_EQ(r.substr(36, 16), "ABCDEFGHIJ.XYZ  ");
  EXPECT_EQ(r[52], 0);
  const std::string r2 = m.substr(106, 53);
  EXPECT_EQ(r2.substr(7, 16), "M5_EURUSD       ");
  EXPECT_EQ(r2[33], 'I');
  EXPECT_EQ(U16(r2, 34), 5u);
  EXPECT_EQ(r2.substr(36, 14), "EURUSD        ");
}

TEST_F(MsGenLayout, EmasterHeaderAndRecord) {
  Write(ThreeSecurities());
  const std::string e = Read("EMASTER");
  ASSERT_EQ(e.size(), 192u * 3);
  EXPECT_EQ(U16(e, 0), 2u);
  EXPECT_EQ(U16(e, 2), 2u);
  EXPECT_EQ(U32(e, 49), 0xBDE3AC7Eu);
  EXPECT_EQ(e.substr(53, 42).size(), 42u);
  EXPECT_EQ(std::strlen(e.c_str() + 53), 41u);
  const std::string r = e.substr(384, 192);  // the intraday security
  EXPECT_EQ(r.substr(0, 3), std::string("66\x02"));
  EXPECT_EQ(r[6], 8);
  EXPECT_EQ(U16(r, 7), 0xFFu);
  EXPECT_EQ(r[9], ' ');
  EXPECT_EQ(std::string(r.c_str() + 11), "EURUSD");
  EXPECT_EQ(std::string(r.c_str() + 32), "M5_EURUSD");
  EXPECT_EQ(U16(r, 60), static_cast<uint32_t>('I'));
  EXPECT_EQ(U16(r, 62), 5u);
  EXPECT_EQ(F32(r, 64), 1261130.0f);
  EXPECT_EQ(F32(r, 68), 93000.0f);
  EXPECT_EQ(F32(r, 72), 1261130.0f);
  EXPECT_EQ(F32(r, 76), 93500.0f);
  EXPECT_EQ(F32(r, 80), 93000.0f);
  EXPECT_EQ(F32(r, 84), 160000.0f);
  EXPECT_EQ(U32(r, 126), 20261130u);
  EXPECT_EQ(std::string(r.c_str() + 139), "M5_EURUSD");
  // A 14-character symbol fills its field without a terminator; the long
  // name keeps every character.
  const std::string r1 = e.substr(192, 192);
  EXPECT_EQ(r1.substr(11, 15), std::string("ABCDEFGHIJ.XYZ\0", 15));
  EXPECT_EQ(std::string(r1.c_str() + 139), "D1_Daily five field company name");
}

TEST_F(MsGenLayout, XmasterHeaderAndRecord) {
  Write(ThreeSecurities());
  const std::string x = Read("XMASTER");
  ASSERT_EQ(x.size(), 150u * 2);
  EXPECT_EQ(x.substr(0, 4), "\x5D\xFE\x58\x4D");
  EXPECT_EQ(U32(x, 6), 0xBDE3AC7Eu);
  EXPECT_EQ(U16(x, 10), 1u);
  EXPECT_EQ(U16(x, 14), 1u);
  EXPECT_EQ(U16(x, 18), 301u);
  const std::string r = x.substr(150);
  EXPECT_EQ(r[0], 1);
  EXPECT_EQ(r.substr(1, 15), "FIFTEEN_CHARS.X");
  EXPECT_EQ(std::string(r.c_str() + 16), "An XMASTER-only security");
  EXPECT_EQ(r[62], 'D');
  EXPECT_EQ(U16(r, 65), 300u);
  EXPECT_EQ(static_cast<uint8_t>(r[70]), 0x7F);
  EXPECT_EQ(U32(r, 108), 20260105u);
  EXPECT_EQ(U32(r, 116), 20260105u);
}

TEST_F(MsGenLayout, DataFilesHoldTheFieldsOfTheMask) {
  Write(ThreeSecurities());
  const std::string f1 = Read("F1.DAT");
  ASSERT_EQ(f1.size(), 20u * 3);
  EXPECT_EQ(U16(f1, 2), 3u);
  // date, high, low, close, volume
  EXPECT_EQ(U32(f1, 20), 0x946F4930u);
  EXPECT_EQ(MbfValue(U32(f1, 24)), 2.5);
  EXPECT_EQ(MbfValue(U32(f1, 28)), 1.25);
  EXPECT_EQ(U32(f1, 32), 0x82000000u);  // 2.0
  EXPECT_EQ(MbfValue(U32(f1, 36)), 1000.0);

  const std::string f2 = Read("F2.DAT");
  ASSERT_EQ(f2.size(), 32u * 3);
  EXPECT_EQ(U16(f2, 2), 3u);
  const double expected[] = {1261130, 93500, 1.25, 1.5, 1.0, 1.0, 20, 8};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(MbfValue(U32(f2, 64 + 4 * i)), expected[i]) << i;

  const std::string f300 = Read("F300.MWD");
  EXPECT_EQ(f300.size(), 28u * 2);
  EXPECT_FALSE(fs::exists(scratch.Path() / "F300.DAT"));
}

TEST_F(MsGenLayout, FaultsChangeWhatIsWritten) {
  MsGenDirectory d = ThreeSecurities();
  d.nameCase = MsGenNameCase::Mixed;
  d.faults.staleEmaster = true;
  d.faults.truncatedFiles = {1};
  d.faults.missingFiles = {300};
  Write(d);
  EXPECT_EQ(U16(Read("Master"), 0), 2u);
  const std::string e = Read("Emaster");  // lacks the last MASTER security
  EXPECT_EQ(e.size(), 192u * 2);
  EXPECT_EQ(U16(e, 0), 1u);
  EXPECT_EQ(U16(e, 2), 1u);
  const std::string f1 = Read("F1.dat");
  EXPECT_EQ(f1.size(), 50u);  // 3 records of 20 bytes less half of one
  EXPECT_EQ(U16(f1, 2), 3u);
  EXPECT_TRUE(fs::exists(scratch.Path() / "F2.dat"));
  EXPECT_FALSE(fs::exists(scratch.Path() / "F300.mwd"));
  EXPECT_TRUE(fs::exists(scratch.Path() / "Xmaster"));

  MsGenDirectory lower = ThreeSecurities();
  lower.nameCase = MsGenNameCase::Lower;
  lower.faults.omitEmaster = true;
  std::vector<std::string> names;
  for (const MsGenFile& f : BuildMetastockFiles(lower)) names.push_back(f.name);
  EXPECT_EQ(names, (std::vector<std::string>{"master", "xmaster", "f1.dat", "f2.dat", "f300.mwd"}));
}

// File numbers of the records a master file holds, in file order.
std::vector<int> Listed(const std::vector<uint8_t>& bytes, size_t recordSize, size_t fileNumberAt) {
  std::vector<int> numbers;
  for (size_t at = recordSize; at + recordSize <= bytes.size(); at += recordSize)
    numbers.push_back(bytes[at + fileNumberAt]);
  return numbers;
}

TEST(BuildMasterFiles, MasterAndEmasterDisagreeAsTheFaultsSay) {
  using V = std::vector<int>;
  const struct {
    const char* what;
    void (*change)(MsGenFaults&);
    V master, emaster;
  } cases[] = {
      {"none", [](MsGenFaults&) {}, V{1, 2, 3}, V{1, 2, 3}},
      {"stale", [](MsGenFaults& f) { f.staleEmaster = true; }, V{1, 2, 3}, V{1, 2}},
      {"master only", [](MsGenFaults& f) { f.masterOnlyFiles = {2}; }, V{1, 2, 3}, V{1, 3}},
      {"emaster only", [](MsGenFaults& f) { f.emasterOnlyFiles = {1}; }, V{2, 3}, V{1, 2, 3}},
      {"reversed", [](MsGenFaults& f) { f.reversedEmaster = true; }, V{1, 2, 3}, V{3, 2, 1}},
      {"malformed", [](MsGenFaults& f) { f.malformedEmasterFiles = {2}; }, V{1, 2, 3}, V{1, 0, 3}},
  };
  for (const auto& c : cases) {
    MsGenDirectory d = ThreeSecurities();
    d.securities.push_back(d.securities[0]);
    d.securities.back().fileNumber = 3;
    c.change(d.faults);
    const std::vector<MsGenFile> files = BuildMasterFiles(d);
    ASSERT_EQ(files.size(), 3u) << c.what;
    const std::vector<uint8_t>& master = files[0].bytes;
    const std::vector<uint8_t>& emaster = files[1].bytes;
    EXPECT_EQ(Listed(master, 53, 0), c.master) << c.what;
    EXPECT_EQ(Listed(emaster, 192, 2), c.emaster) << c.what;
    EXPECT_EQ(master[0], c.master.size()) << c.what;
    EXPECT_EQ(emaster[0], c.emaster.size()) << c.what;
    EXPECT_EQ(master[2], *std::max_element(c.master.begin(), c.master.end())) << c.what;
    for (size_t i = 0; i < c.emaster.size(); ++i)
      EXPECT_EQ(emaster[192 * (i + 1) + 6], c.emaster[i] == 0 ? 48 : c.emaster[i] == 2 ? 8 : 5) << c.what;
  }
}

TEST_F(MsGenLayout, EmasterHeaderCanClaimMoreThanTheFileHolds) {
  MsGenDirectory d = ThreeSecurities();
  d.faults.emasterCountBeyondFile = true;
  d.securities[0].bars[0].volume = 0;
  d.faults.sloppyZero = true;
  Write(d);
  const std::string e = Read("EMASTER");
  EXPECT_EQ(U16(e, 0), 255u);
  EXPECT_EQ(e.size(), 192u * 3);
  EXPECT_EQ(U32(Read("F1.DAT"), 20 + 16), kSloppyMbfZero);
}

TEST(CheckDirectory, RefusesWhatTheFilesCannotHold) {
  const struct {
    const char* what;
    void (*change)(MsGenDirectory&);
  } cases[] = {
      {"file number 0", [](MsGenDirectory& d) { d.securities[0].fileNumber = 0; }},
      {"file number above uint16", [](MsGenDirectory& d) { d.securities[0].fileNumber = 65536; }},
      {"file number twice", [](MsGenDirectory& d) { d.securities[1].fileNumber = 1; }},
      {"15-char symbol in MASTER", [](MsGenDirectory& d) { d.securities[0].symbol = "ABCDEFGHIJKLMNO"; }},
      {"16-char symbol in XMASTER", [](MsGenDirectory& d) { d.securities[2].symbol = "ABCDEFGHIJKLMNOP"; }},
      {"46-char name", [](MsGenDirectory& d) { d.securities[0].name = std::string(46, 'N'); }},
      {"mask without fields", [](MsGenDirectory& d) { d.securities[0].fieldMask = 0; }},
      {"too many bars",
       [](MsGenDirectory& d) { d.securities[0].bars.resize(kMaxBarsPerFile + 1, d.securities[0].bars[0]); }},
      {"date beyond float precision", [](MsGenDirectory& d) { d.securities[0].bars[0].date = 99991231; }},
      {"negative time", [](MsGenDirectory& d) { d.securities[1].bars[0].time = -1; }},
  };
  EXPECT_EQ(CheckDirectory(ThreeSecurities()), "");
  for (const auto& c : cases) {
    MsGenDirectory d = ThreeSecurities();
    c.change(d);
    EXPECT_NE(CheckDirectory(d), "") << c.what;
    vz::test::TScratchDir scratch;
    std::string error;
    EXPECT_FALSE(WriteMetastockDirectory(d, scratch.Path(), &error)) << c.what;
    EXPECT_FALSE(fs::exists(scratch.Path() / "MASTER")) << c.what;
  }
}

}  // namespace
}  // namespace vz::msgen
