#include <gtest/gtest.h>

#include <cstring>

#include "MsTestSupport.h"
#include "metastock/MsMasters.h"
#include "metastock/MsNumbers.h"

namespace vz {
namespace {

using test::DailySecurity;
using test::GeneratedFile;

msgen::MsGenDirectory Securities(int count) {
  msgen::MsGenDirectory d;
  for (int i = 1; i <= count; ++i) d.securities.push_back(DailySecurity(i, "SYM" + std::to_string(i)));
  return d;
}

TEST(MsLoadFromMasters, TakesDetailsFromEmasterForMastersSecurities) {
  auto d = Securities(12);
  d.securities[3].name = "A name longer than sixteen characters";
  d.securities[4].symbol = "ABCDEFGHIJKLMN";  // 14 characters, no terminator in EMASTER
  Bytes master = GeneratedFile(d, "MASTER"), emaster = GeneratedFile(d, "EMASTER");
  StoreU16(master.data(), 10);  // MASTER counts 10, EMASTER 12
  MsDirectory dir;
  MsLoadFromMasters(dir, master, emaster);
  ASSERT_EQ(dir.securityCount, 10);
  EXPECT_STREQ(dir.securities[3].name, "A name longer than sixteen characters");
  EXPECT_STREQ(dir.securities[4].symbol, "ABCDEFGHIJKLMN");
  EXPECT_EQ(dir.securities[9].fileNumber, 10);
  EXPECT_EQ(dir.securities[9].recordNumber, 10);
  EXPECT_EQ(dir.securities[0].fieldMask, 0x7F);
  EXPECT_EQ(dir.securities[0].first.tm_year, 2002);
  EXPECT_EQ(dir.securities[0].last.tm_mday, 20);
  EXPECT_NE(dir.stamp, LoadU32(emaster.data() + 49));
}

TEST(MsLoadFromMasters, EmptyLongNameFallsBackAndSpacesAreTrimmed) {
  auto d = Securities(1);
  Bytes master = GeneratedFile(d, "MASTER"), emaster = GeneratedFile(d, "EMASTER");
  uint8_t* record = emaster.data() + 192;
  std::memset(record + 139, 0, 53);
  std::memcpy(record + 32, "Short name      ", 16);
  std::memcpy(record + 11, "SYM1          ", 14);
  MsDirectory dir;
  MsLoadFromMasters(dir, master, emaster);
  ASSERT_EQ(dir.securityCount, 1);
  EXPECT_STREQ(dir.securities[0].name, "Short name");
  EXPECT_STREQ(dir.securities[0].symbol, "SYM1");
}

// Real directories: an EMASTER that lacks MASTER's newest security, lists
// another security under a file number, or holds records that are not
// records. MASTER's record fills those slots.
TEST(MsLoadFromMasters, MasterFillsSlotsEmasterCannot) {
  auto d = Securities(4);
  Bytes master = GeneratedFile(d, "MASTER"), emaster = GeneratedFile(d, "EMASTER");
  std::memcpy(emaster.data() + 192 * 2 + 11, "OTHER\0\0\0", 8);  // file 2: another security
  emaster[192 * 3 + 6] = 48;                                     // file 3: field count no layout has
  emaster.resize(192 * 4);                                       // file 4: beyond the end
  MsDirectory dir;
  MsLoadFromMasters(dir, master, emaster);
  ASSERT_EQ(dir.securityCount, 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(dir.securities[i].fileNumber, i + 1);
    EXPECT_EQ(std::string(dir.securities[i].symbol), "SYM" + std::to_string(i + 1));
  }
  EXPECT_STREQ(dir.securities[0].name, "SYM1 Holdings");    // EMASTER's long name
  EXPECT_STREQ(dir.securities[1].name, "SYM2 Holdings");    // MASTER's 16 characters
  EXPECT_EQ(dir.securities[2].fieldCount, 7);
  EXPECT_EQ(dir.securities[2].fieldMask, 0x7F);             // derived from MASTER's count
}

TEST(MsLoadFromMasters, AddsXmasterSecurities) {
  auto d = Securities(2);
  d.securities.push_back(DailySecurity(256, "XONE"));
  d.securities.push_back(DailySecurity(2853, "XTWO", 2, msgen::kMaskDohlcv));
  MsDirectory dir;
  MsLoadFromMasters(dir, GeneratedFile(d, "MASTER"), GeneratedFile(d, "EMASTER"), GeneratedFile(d, "XMASTER"));
  ASSERT_EQ(dir.securityCount, 4);
  EXPECT_EQ(dir.securities[2].fileNumber, 256);
  EXPECT_STREQ(dir.securities[3].symbol, "XTWO");
  EXPECT_EQ(dir.securities[3].fieldCount, 6);
  EXPECT_EQ(dir.securities[3].recordNumber, 4);
  EXPECT_EQ(dir.lastFileNumber, 2853);
}

TEST(MsLoadFromMasters, BoundsEveryCountByTheBytesPresent) {
  auto d = Securities(3);
  d.securities.push_back(DailySecurity(300, "XTHREE"));
  const Bytes master = GeneratedFile(d, "MASTER"), emaster = GeneratedFile(d, "EMASTER"),
               xmaster = GeneratedFile(d, "XMASTER");
  for (size_t cut : {size_t{0}, size_t{10}, size_t{53}, size_t{100}, size_t{160}}) {
    Bytes m(master.begin(), master.begin() + std::min(cut, master.size()));
    Bytes e(emaster.begin(), emaster.begin() + std::min(cut * 3, emaster.size()));
    Bytes x(xmaster.begin(), xmaster.begin() + std::min(cut * 2, xmaster.size()));
    if (m.size() >= 2) StoreU16(m.data(), 0xFFFF);
    if (x.size() >= 12) StoreU16(x.data() + 10, 0xFFFF);
    MsDirectory dir;
    MsLoadFromMasters(dir, m, e, x);
    EXPECT_LE(dir.securityCount, 4) << cut;
    EXPECT_EQ(dir.securityCount, static_cast<int32_t>(dir.securities.size()));
  }
}

MsSecurity Listed(int fileNumber, const char* symbol, const char* name) {
  MsSecurity s;
  s.fileNumber = fileNumber;
  s.inUse = 1;
  s.fieldCount = 7;
  s.fieldMask = 0x7F;
  s.period = 'D';
  std::strcpy(s.symbol, symbol);
  std::strcpy(s.name, name);
  s.first.tm_year = 2002;
  s.first.tm_mon = 1;
  s.first.tm_mday = 21;
  s.last = s.first;
  return s;
}

TEST(MsBuildMaster, PadsTextFieldsWithSpaces) {
  MsDirectory dir;
  dir.securities.push_back(Listed(1, "ABC", "Twenty characters ok"));
  dir.securityCount = 1;
  const Bytes master = MsBuildMaster(dir, {});
  ASSERT_EQ(master.size(), 106u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(master.data() + 53 + 36), 16), "ABC             ");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(master.data() + 53 + 7), 16), "Twenty character");
  EXPECT_EQ(master[53 + 3], 28);
  EXPECT_EQ(LoadU32(master.data() + 53 + 25), FloatToMbf(1020221.0f));
  const Bytes emaster = MsBuildEmaster(dir, {});
  EXPECT_STREQ(reinterpret_cast<const char*>(emaster.data() + 192 + 139), "Twenty characters ok");
  EXPECT_EQ(LoadU32(emaster.data() + 192 + 126), 20020221u);
}

// The list does not carry every byte of the masters; a rewrite must not
// drop what it does not know.
TEST(MsBuildMaster, KeepsBytesAndRecordsTheListDoesNotCarry) {
  auto d = Securities(3);
  Bytes master = GeneratedFile(d, "MASTER"), emaster = GeneratedFile(d, "EMASTER");
  master[53 + 24] = 'Y';   // a flag other programs keep in a "zero" byte
  master[53 * 2 + 51] = '*';
  Bytes extraRecord(emaster.end() - 192, emaster.end());
  extraRecord[2] = 9;  // an EMASTER record beyond MASTER's count
  emaster.insert(emaster.end(), extraRecord.begin(), extraRecord.end());
  StoreU16(emaster.data(), 4);
  emaster.insert(emaster.end(), {1, 2, 3});  // trailing bytes
  MsDirectory dir;
  MsLoadFromMasters(dir, master, emaster);
  ASSERT_EQ(dir.securityCount, 3);

  Bytes newMaster = MsBuildMaster(dir, master);
  Bytes newEmaster = MsBuildEmaster(dir, emaster);
  std::memcpy(master.data() + 49, newMaster.data() + 49, 4);  // only the stamp differs
  EXPECT_EQ(newMaster, master);
  std::memcpy(emaster.data() + 49, newEmaster.data() + 49, 4);
  EXPECT_EQ(newEmaster, emaster);

  // A security deleted from the list leaves; one renamed is rewritten.
  dir.securities[0].inUse = 0;
  std::strcpy(dir.securities[1].symbol, "RENAMED");
  newMaster = MsBuildMaster(dir, master);
  ASSERT_EQ(LoadU16(newMaster.data()), 2);
  EXPECT_EQ(newMaster[53], 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(newMaster.data() + 53 + 36), 7), "RENAMED");
  EXPECT_EQ(newMaster[53 + 51], '*');  // file 2's flag moved with its record
  newEmaster = MsBuildEmaster(dir, emaster);
  EXPECT_EQ(LoadU16(newEmaster.data()), 3);  // files 2, 3 and the extra file 9
  EXPECT_EQ(newEmaster[192 * 3 + 2], 9);
}

TEST(MsBuildMaster, KeepsInvalidRecordsAfterTheCountedOnes) {
  auto d = Securities(2);
  Bytes emaster = GeneratedFile(d, "EMASTER");
  Bytes garbage(192, 0x30);
  emaster.insert(emaster.begin() + 192, garbage.begin(), garbage.end());
  StoreU16(emaster.data(), 3);
  MsDirectory dir;
  MsLoadFromMasters(dir, GeneratedFile(d, "MASTER"), emaster);
  const Bytes rebuilt = MsBuildEmaster(dir, emaster);
  ASSERT_EQ(rebuilt.size(), emaster.size());
  EXPECT_EQ(LoadU16(rebuilt.data()), 2);
  EXPECT_EQ(Bytes(rebuilt.end() - 192, rebuilt.end()), garbage);
}

TEST(MsBuildXmaster, WritesSecuritiesAbove255AndKeepsOthersBytes) {
  auto d = Securities(1);
  d.securities.push_back(DailySecurity(256, "XONE"));
  d.securities.push_back(DailySecurity(257, "XTWO"));
  Bytes xmaster = GeneratedFile(d, "XMASTER");
  xmaster[150 + 80] = 0x55;  // a date the list does not carry
  MsDirectory dir;
  MsLoadFromMasters(dir, GeneratedFile(d, "MASTER"), GeneratedFile(d, "EMASTER"), xmaster);
  EXPECT_TRUE(MsNeedsXmaster(dir));
  EXPECT_EQ(MsBuildXmaster(dir, xmaster), xmaster);
  const Bytes fresh = MsBuildXmaster(dir, {});
  ASSERT_EQ(fresh.size(), 450u);
  EXPECT_EQ(LoadU32(fresh.data()), kMsXmasterMagic);
  EXPECT_EQ(LoadU16(fresh.data() + 10), 2);
  EXPECT_EQ(LoadU16(fresh.data() + 18), 258);
  EXPECT_EQ(LoadU16(fresh.data() + 300 + 65), 257);
}

TEST(MsSecurityFile, LinksRecordsAndRoundTripsTheList) {
  MsDirectory dir;
  dir.version = 100;
  dir.stamp = 0x12345678;
  dir.lastFileNumber = 300;
  for (int i = 1; i <= 3; ++i) dir.securities.push_back(Listed(i == 3 ? 300 : i, ("S" + std::to_string(i)).c_str(), "N"));
  for (int i = 0; i < 3; ++i) dir.securities[i].recordNumber = i + 1;
  dir.securities[1].inUse = 0;
  dir.securities[2].dayStart = 34200;
  dir.securities[2].first.tm_sec = 500;
  dir.securityCount = 3;
  const Bytes sec = MsBuildSecurityFile(dir);
  ASSERT_EQ(sec.size(), 178u * 4);
  EXPECT_EQ(LoadU32(sec.data()), 0x4D15FE5Du);
  EXPECT_EQ(LoadU32(sec.data() + 14), 2u);
  EXPECT_EQ(LoadU32(sec.data() + 26), 301u);
  EXPECT_EQ(LoadU32(sec.data() + 178 + 162), 0u);  // first: no previous
  EXPECT_EQ(LoadU32(sec.data() + 178 + 166), 2u);
  EXPECT_EQ(LoadU32(sec.data() + 178 * 3 + 166), 0u);  // last: no next
  MsDirectory back;
  MsDecodeSecurityFile(back, sec);
  ASSERT_EQ(back.securityCount, 3);
  EXPECT_EQ(back.stamp, 0x12345678u);
  EXPECT_EQ(back.version, 100);
  EXPECT_EQ(back.lastFileNumber, 300);
  EXPECT_EQ(back.securities[1].inUse, 0);
  EXPECT_EQ(back.securities[2].fileNumber, 300);
  EXPECT_EQ(back.securities[2].fieldCount, 7);
  EXPECT_EQ(back.securities[2].dayStart, 34200);
  EXPECT_EQ(back.securities[2].first.tm_sec, 500);
  EXPECT_STREQ(back.securities[2].symbol, "S3");

  // One security: 0 both ways; a count beyond the file is bounded.
  Bytes one = sec;
  StoreU32(one.data() + 10, 1000000);
  MsDecodeSecurityFile(back, one);
  EXPECT_EQ(back.securityCount, 3);
  dir.securities.resize(1);
  const Bytes single = MsBuildSecurityFile(dir);
  EXPECT_EQ(LoadU32(single.data() + 178 + 162), 0u);
  EXPECT_EQ(LoadU32(single.data() + 178 + 166), 0u);
}

TEST(MsIndexFile, SortsSymbolsByteWise) {
  MsDirectory dir;
  for (const char* symbol : {"abc", "ABCD", "ABC", "B"}) dir.securities.push_back(Listed(1, symbol, ""));
  for (size_t i = 0; i < dir.securities.size(); ++i) dir.securities[i].recordNumber = static_cast<int32_t>(i + 1);
  dir.securities[0].period = 'i';
  const Bytes inx = MsBuildIndexFile(dir);
  ASSERT_EQ(inx.size(), 38u * 5);
  EXPECT_EQ(LoadU32(inx.data()), 0x4D1DFE5Du);
  EXPECT_EQ(inx[10], 4);
  const char* expected[] = {"ABC", "ABCD", "B", "abc"};
  for (int i = 0; i < 4; ++i)
    EXPECT_STREQ(reinterpret_cast<const char*>(inx.data() + 38 * (i + 1)), expected[i]);
  EXPECT_EQ(inx[38 * 4 + 31], 'I');
  EXPECT_EQ(LoadU16(inx.data() + 38 * 4 + 34), 1);
}

}  // namespace
}  // namespace vz
