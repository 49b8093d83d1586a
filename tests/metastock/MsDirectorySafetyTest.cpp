// Faults found on real and damaged directories: MASTER-only directories,
// failed closings, huge master files, headers of other programs, data files
// that are not files, master records left out, and programs starting at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

#include "MsTestSupport.h"
#include "metastock/MsPriceData.h"
#include "platform/FileSystem.h"
#include "platform/SharedFile.h"
#include "support/ScratchDir.h"

namespace fs = std::filesystem;

namespace vz {
namespace {

const char* const kWorkingFiles[] = {kMsSecurityFileName, kMsIndexFileName, kMsUserFileName, kMsLockFileName};

// Every entry of a folder with its bytes: equal snapshots mean nothing was
// created, changed or deleted.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir))
    files[e.path().filename().string()] = e.is_regular_file() ? test::ReadFileBytes(e.path()) : "(not a file)";
  return files;
}

class MsSafetyTest : public testing::Test {
protected:
  void Write(const msgen::MsGenDirectory& d) {
    std::string error;
    ASSERT_TRUE(msgen::WriteMetastockDirectory(d, scratch_.Path(), &error)) << error;
  }
  void SetUp() override {
    msgen::MsGenDirectory d;
    d.securities.push_back(test::DailySecurity(1, "ONE", 3));
    d.securities.push_back(test::IntradaySecurity(2, "TWO", 2));
    Write(d);
  }
  std::string Dir() const { return scratch_.Path().string(); }
  std::string PathOf(const char* name) const { return MsFindFile(Dir(), name); }
  bool Exists(const char* name) const { return platform::FileExists(PathOf(name)); }
  void Patch(const char* name, size_t offset, const std::string& bytes) {
    std::string file = test::ReadFileBytes(PathOf(name));
    file.replace(offset, bytes.size(), bytes);
    test::WriteFileBytes(PathOf(name), file);
  }

  test::TScratchDir scratch_;
};

TEST_F(MsSafetyTest, OpeningFailuresSayWhyAndWhere) {
  fs::create_directory(scratch_.Path() / "folder");
  fs::create_directory(scratch_.Path() / "folder" / "MASTER");
  const struct {
    std::string dir;
    MsError code;
    std::string path;
  } cases[] = {
      {Dir() + "/nowhere", MsError::NotAFolder, Dir() + "/nowhere"},
      {Dir() + "/folder/MASTER/", MsError::NoMaster, Dir() + "/folder/MASTER/"},
      {Dir() + "/folder", MsError::NoMaster, Dir() + "/folder"},
  };
  for (const auto& c : cases) {
    for (bool looking : {false, true}) {
      MsDirectory* dir = looking ? MsOpenDirectoryToRead(c.dir) : MsOpenDirectory(c.dir, 100, "Test program", "bob");
      EXPECT_EQ(dir, nullptr) << c.dir;
      EXPECT_EQ(MsLastFailure().code, c.code) << c.dir;
      EXPECT_EQ(MsLastFailure().path, c.path);
      EXPECT_NE(MsLastError().find(c.path), std::string::npos) << MsLastError();
    }
  }
  EXPECT_EQ(fs::directory_iterator(scratch_.Path() / "folder" / "MASTER"), fs::directory_iterator());
}

// A working file that is not a file is named as such, and left as it is.
TEST_F(MsSafetyTest, AWorkingFileThatIsAFolderIsNamed) {
  fs::create_directory(scratch_.Path() / kMsLockFileName);
  const std::string master = test::ReadFileBytes(PathOf(kMsMasterName));
  EXPECT_EQ(MsOpenDirectory(Dir(), 100, "Test program", "alice"), nullptr);
  EXPECT_EQ(MsLastFailure().code, MsError::NotAFile) << MsLastError();
  EXPECT_EQ(MsLastFailure().path, PathOf(kMsLockFileName));
  EXPECT_TRUE(fs::is_directory(scratch_.Path() / kMsLockFileName));
  EXPECT_EQ(test::ReadFileBytes(PathOf(kMsMasterName)), master);
  EXPECT_FALSE(platform::IsReadOnly(PathOf(kMsMasterName)));
}

// Several data services write MASTER and data files only: such a directory
// opens, lists MASTER's securities, and never gains an EMASTER.
TEST_F(MsSafetyTest, MasterOnlyDirectoryOpensWithoutGainingAnEmaster) {
  fs::remove(PathOf(kMsEmasterName));
  const std::string master = test::ReadFileBytes(PathOf(kMsMasterName));
  MsDirectory* dir = test::OpenAs(Dir(), "alice");
  ASSERT_NE(dir, nullptr);
  ASSERT_EQ(dir->securityCount, 2);
  EXPECT_STREQ(dir->securities[0].symbol, "ONE");
  EXPECT_EQ(dir->securities[1].period, 'I');
  EXPECT_TRUE(dir->skippedRecords.empty());
  std::vector<MsBar> bars;
  EXPECT_EQ(MsReadBars(*dir, dir->securities[1], bars), 2);
  MsDirectory* second = test::OpenAs(Dir(), "bob");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->securityCount, 2);
  EXPECT_EQ(MsCloseDirectory(second), 1);
  EXPECT_EQ(MsCloseDirectory(dir), 1);
  EXPECT_FALSE(Exists(kMsEmasterName));
  for (const char* name : kWorkingFiles) EXPECT_FALSE(Exists(name)) << name;
  EXPECT_FALSE(platform::IsReadOnly(PathOf(kMsMasterName)));
  // Only the stamp of the header changed: the records are as they were.
  const std::string after = test::ReadFileBytes(PathOf(kMsMasterName));
  ASSERT_EQ(after.size(), master.size());
  EXPECT_EQ(after.substr(0, 49), master.substr(0, 49));
  EXPECT_EQ(after.substr(53), master.substr(53));
}

TEST_F(MsSafetyTest, MasterOnlyCorpusDirectoriesOpenAndClose) {
  if (!test::HaveCorpus()) GTEST_SKIP() << "no corpus";
  for (const char* name : {"mininge", "stooq"}) {
    test::TScratchDir copy;
    const fs::path dir = test::CopyCorpusDir(name, copy.Path());
    MsDirectory* opened = test::OpenAs(dir.string(), "alice");
    ASSERT_NE(opened, nullptr) << name;
    EXPECT_GT(opened->securityCount, 0) << name;
    std::vector<MsBar> bars;
    EXPECT_GT(MsReadBars(*opened, opened->securities[0], bars), 0) << name;
    EXPECT_EQ(MsCloseDirectory(opened), 1) << MsLastError();
    EXPECT_FALSE(platform::FileExists(MsFindFile(dir.string(), kMsEmasterName))) << name;
  }
}

// A full disk at closing: the close says so and leaves the directory marked
// open, the list in the working files; the next program repairs it.
TEST_F(MsSafetyTest, ACloseThatCannotFinishIsReportedAndRepairedByTheNextOpener) {
  MsDirectory* dir = test::OpenAs(Dir(), "alice");
  ASSERT_NE(dir, nullptr);
  // Another program renamed a security meanwhile: the masters need writing.
  std::strcpy(dir->securities[1].name, "Renamed meanwhile");
  MsWriteSecurityFile(*dir);
  const std::string masterWhileOpen = test::ReadFileBytes(PathOf(kMsMasterName));
  platform::SimulateDiskFullForTesting(true);
  const int closed = MsCloseDirectory(dir);
  platform::SimulateDiskFullForTesting(false);
  EXPECT_EQ(closed, 0);
  EXPECT_EQ(MsLastFailure().code, MsError::CannotWrite);
  EXPECT_NE(MsLastError().find("No space left"), std::string::npos) << MsLastError();
  EXPECT_NE(MsLastError().find("could not be closed"), std::string::npos) << MsLastError();
  for (const char* name : kWorkingFiles) EXPECT_TRUE(Exists(name)) << name;
  EXPECT_TRUE(platform::IsReadOnly(PathOf(kMsMasterName)));
  EXPECT_EQ(test::ReadFileBytes(PathOf(kMsMasterName)), masterWhileOpen);
  for (const std::string& file : platform::ListFileNames(Dir()))
    EXPECT_FALSE(platform::MatchesWildcard("MS????.TMP", file)) << file;

  MsDirectory* look = MsOpenDirectoryToRead(Dir());
  ASSERT_NE(look, nullptr) << MsLastError();
  EXPECT_EQ(look->securityCount, 2);
  MsCloseDirectory(look);
  MsDirectory* next = test::OpenAs(Dir(), "bob");
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->userCount, 1);
  EXPECT_EQ(next->securityCount, 2);
  EXPECT_STREQ(next->securities[1].name, "Renamed meanwhile");
  EXPECT_EQ(MsCloseDirectory(next), 1) << MsLastError();
  for (const char* name : kWorkingFiles) EXPECT_FALSE(Exists(name)) << name;
  EXPECT_FALSE(platform::IsReadOnly(PathOf(kMsMasterName)));
  EXPECT_NE(test::ReadFileBytes(PathOf(kMsEmasterName)).find("Renamed meanwhile"), std::string::npos);
}

TEST_F(MsSafetyTest, AFullDiskAtTheFirstOpeningLeavesTheMastersAlone) {
  const std::string master = test::ReadFileBytes(PathOf(kMsMasterName));
  platform::SimulateDiskFullForTesting(true);
  MsDirectory* dir = MsOpenDirectory(Dir(), 100, "Test program", "alice");
  platform::SimulateDiskFullForTesting(false);
  EXPECT_EQ(dir, nullptr);
  EXPECT_EQ(MsLastFailure().code, MsError::CannotWrite);
  EXPECT_NE(MsLastError().find("No space left"), std::string::npos) << MsLastError();
  EXPECT_EQ(test::ReadFileBytes(PathOf(kMsMasterName)), master);
  EXPECT_FALSE(platform::IsReadOnly(PathOf(kMsMasterName)));
  MsDirectory* again = test::OpenAs(Dir(), "alice");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(MsCloseDirectory(again), 1);
}

// A 4 GB sparse MASTER or EMASTER (valid records, then zeros) costs no more
// than its records, and the rewrite keeps at most a small tail.
TEST_F(MsSafetyTest, HugeSparseMasterFilesAreReadOnlyAsFarAsTheirCounts) {
  for (const char* name : {kMsMasterName, kMsEmasterName}) {
    const uint64_t before = fs::file_size(PathOf(name));
    fs::resize_file(PathOf(name), uint64_t{4} << 30);
    const auto start = std::chrono::steady_clock::now();
    MsDirectory* look = MsOpenDirectoryToRead(Dir());
    ASSERT_NE(look, nullptr);
    EXPECT_EQ(look->securityCount, 2);
    MsCloseDirectory(look);
    MsDirectory* dir = test::OpenAs(Dir(), "alice");
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(dir->securityCount, 2) << name;
    EXPECT_EQ(MsCloseDirectory(dir), 1) << MsLastError();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << name;
    EXPECT_EQ(fs::file_size(PathOf(name)), before + kMsMasterTailBytes) << name;
  }
}

// Another program's notice in the EMASTER header stays; our notice goes
// only into an XMASTER we create.
TEST_F(MsSafetyTest, HeadersOfOtherProgramsKeepTheirBytes) {
  const std::string notice("Copyright (C) 1992-2001 Someone Else\0\0\0\0\0\0", 42);
  Patch(kMsEmasterName, 53, notice);
  Patch(kMsEmasterName, 100, "OTHER");  // bytes the layout calls zero
  const std::string emaster = test::ReadFileBytes(PathOf(kMsEmasterName));
  MsDirectory* dir = test::OpenAs(Dir(), "alice");
  ASSERT_NE(dir, nullptr);
  dir->securities.emplace_back();  // as if another program had added it
  MsSecurity& added = dir->securities.back();
  added.inUse = 1;
  added.fileNumber = 300;
  added.recordNumber = 3;
  added.fieldMask = 0x7F;
  added.fieldCount = 7;
  added.period = 'D';
  std::strcpy(added.symbol, "BIG");
  dir->securityCount = 3;
  MsWriteSecurityFile(*dir);
  EXPECT_EQ(MsCloseDirectory(dir), 1);
  const std::string after = test::ReadFileBytes(PathOf(kMsEmasterName));
  EXPECT_EQ(after.substr(53), emaster.substr(53));
  EXPECT_EQ(after.substr(0, 49), emaster.substr(0, 49));
  const std::string xmaster = test::ReadFileBytes(PathOf(kMsXmasterName));
  ASSERT_GE(xmaster.size(), 150u * 2);
  EXPECT_EQ(xmaster.substr(22, sizeof kMsNoticeText), std::string(kMsNoticeText, sizeof kMsNoticeText));
}

TEST_F(MsSafetyTest, DataFilesThatAreNotFilesAreRefusedAtOnce) {
  fs::remove(PathOf("F1.DAT"));
  fs::create_directory(scratch_.Path() / "F1.DAT");
  for (bool looking : {false, true}) {
    MsDirectory* dir = looking ? MsOpenDirectoryToRead(Dir()) : test::OpenAs(Dir(), "alice");
    ASSERT_NE(dir, nullptr);
    std::vector<MsBar> bars(1);
    EXPECT_EQ(MsReadBars(*dir, dir->securities[0], bars), -1);
    EXPECT_EQ(dir->readFailure.code, MsError::NotAFile);
    EXPECT_NE(dir->readFailure.text.find("F1.DAT"), std::string::npos) << dir->readFailure.text;
    EXPECT_EQ(MsReadBars(*dir, dir->securities[1], bars), 2);
    EXPECT_EQ(dir->readFailure.code, MsError::None);
    EXPECT_TRUE(dir->readFailure.text.empty());
    MsCloseDirectory(dir);
  }
  EXPECT_TRUE(fs::is_directory(scratch_.Path() / "F1.DAT"));
}

TEST_F(MsSafetyTest, LookingNeverCreatesAMissingDataFile) {
  fs::remove(PathOf("F2.DAT"));
  const auto before = Snapshot(scratch_.Path());
  MsDirectory* dir = MsOpenDirectoryToRead(Dir());
  ASSERT_NE(dir, nullptr);
  std::vector<MsBar> bars;
  EXPECT_EQ(MsReadBars(*dir, dir->securities[1], bars), -1);
  EXPECT_EQ(dir->readFailure.code, MsError::NoDataFile);
  EXPECT_NE(dir->readFailure.text.find("F2.DAT"), std::string::npos) << dir->readFailure.text;
  EXPECT_EQ(MsCloseDirectory(dir), 1);
  EXPECT_EQ(Snapshot(scratch_.Path()), before);
}

// Master records that cannot be listed are named (or counted) with their
// reason, so the run can say what it left out.
TEST(MsLoadFromMasters, NamesTheRecordsItLeavesOut) {
  msgen::MsGenDirectory d;
  d.securities = {test::DailySecurity(1, "ONE"), test::DailySecurity(2, "TWO"), test::DailySecurity(3, "THREE")};
  const Bytes master = test::GeneratedFile(d, "MASTER");
  const Bytes emaster = test::GeneratedFile(d, "EMASTER");
  msgen::MsGenDirectory big;
  big.securities = {test::DailySecurity(300, "BIG"), test::DailySecurity(301, "BIGGER")};
  const Bytes xmaster = test::GeneratedFile(big, "XMASTER");
  struct TCase {
    const char* name;
    Bytes master;
    std::vector<std::string> skipped;
    std::vector<MsError> codes;
    size_t count;
    int listed;
    Bytes xmaster = {};
  };
  std::vector<TCase> cases;
  cases.push_back({"plain", master, {}, {}, 0, 3});
  {
    Bytes garbled = master;
    garbled[53 * 2 + 33] = 0;  // TWO: no period letter
    cases.push_back({"garbled_record", garbled, {"TWO (F2): garbled MASTER record"}, {MsError::GarbledRecord}, 1, 2});
  }
  {
    Bytes zeroed = master;
    std::fill(zeroed.begin() + 53 * 3, zeroed.begin() + 53 * 4, 0);  // THREE: zeros
    cases.push_back({"zeroed_record", zeroed, {"1 MASTER records without a readable symbol or name"},
                     {MsError::GarbledRecord}, 1, 2});
  }
  {
    Bytes twoZeroed = master;
    std::fill(twoZeroed.begin() + 53 * 2, twoZeroed.begin() + 53 * 4, 0);  // TWO and THREE: zeros
    cases.push_back({"two_zeroed_records", twoZeroed, {"2 MASTER records without a readable symbol or name"},
                     {MsError::GarbledRecord}, 2, 1});
  }
  {
    Bytes duplicate = master;
    duplicate[53 * 3] = 1;  // THREE claims ONE's data file
    cases.push_back({"duplicate_file_number", duplicate,
                     {"THREE (F1): a second MASTER record for a data file already listed"},
                     {MsError::SecondRecord}, 1, 2});
  }
  {
    Bytes truncated(master.begin(), master.begin() + 53 * 3);  // counts 3, holds 2
    cases.push_back({"count_beyond_file", truncated,
                     {"1 records that MASTER's header counts but the file does not hold"},
                     {MsError::BeyondFile}, 1, 2});
  }
  {
    Bytes empty(master.begin(), master.begin() + 53);
    empty[0] = empty[1] = 0;
    cases.push_back({"empty_master",
                     empty,
                     {"ONE (F1): in EMASTER only, MASTER lists nothing", "TWO (F2): in EMASTER only, MASTER lists nothing",
                      "THREE (F3): in EMASTER only, MASTER lists nothing"},
                     {MsError::OnlyInEmaster, MsError::OnlyInEmaster, MsError::OnlyInEmaster},
                     3,
                     0});
  }
  {
    Bytes garbled = xmaster;
    garbled[150] = 0;  // BIG: not marked as a record
    cases.push_back({"garbled_xmaster_record", master, {"BIG (F300): garbled XMASTER record"},
                     {MsError::GarbledRecord}, 1, 4, garbled});
  }
  {
    Bytes duplicate = xmaster;
    StoreU16(duplicate.data() + 300 + 65, 300);  // BIGGER claims BIG's data file
    cases.push_back({"duplicate_xmaster_file_number", master,
                     {"BIGGER (F300): a second XMASTER record for a data file already listed"},
                     {MsError::SecondRecord}, 1, 4, duplicate});
  }
  {
    Bytes truncated(xmaster.begin(), xmaster.end() - 150);
    cases.push_back({"xmaster_count_beyond_file", master,
                     {"1 records that XMASTER's header counts but the file does not hold"}, {MsError::BeyondFile},
                     1, 4, truncated});
  }
  for (const TCase& c : cases) {
    MsDirectory dir;
    MsLoadFromMasters(dir, c.master, emaster, c.xmaster);
    EXPECT_EQ(MsDescribeSkipped(dir.skippedRecords), c.skipped) << c.name;
    std::vector<MsError> codes;
    for (const MsSkippedRecord& r : dir.skippedRecords) codes.push_back(r.code);
    EXPECT_EQ(codes, c.codes) << c.name;
    EXPECT_EQ(MsSkippedCount(dir.skippedRecords), c.count) << c.name;
    // Every record is listed or counted.
    EXPECT_EQ(dir.securityCount + c.count, c.xmaster.empty() ? 3u : 5u) << c.name;
    EXPECT_EQ(dir.securityCount, c.listed) << c.name;
  }
}

// Two programs starting at once: an opening that meets another's opening or
// closing waits a little instead of failing at once, then gives up.
TEST_F(MsSafetyTest, AnOpeningMeetingAnotherWaitsBriefly) {
  MsDirectory* first = test::OpenAs(Dir(), "alice");
  ASSERT_NE(first, nullptr);
  platform::FileOpenMode mode;
  mode.share = platform::FileShare::Read;
  {
    platform::TSharedFile registering;  // as held while a program opens or closes
    ASSERT_TRUE(registering.Open(PathOf(kMsUserFileName), mode));
    std::thread release([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      registering.Close();
    });
    const auto start = std::chrono::steady_clock::now();
    MsDirectory* second = MsOpenDirectory(Dir(), 100, "Test program", "bob");
    release.join();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    ASSERT_NE(second, nullptr) << MsLastError();
    EXPECT_EQ(second->mySlot, 1);
    MsCloseDirectory(second);
  }
  platform::TSharedFile registering;
  ASSERT_TRUE(registering.Open(PathOf(kMsUserFileName), mode));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(MsOpenDirectory(Dir(), 100, "Test program", "bob"), nullptr);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(kMsBusyWaitMs));
  EXPECT_LT(waited, std::chrono::milliseconds(kMsBusyWaitMs + 2000));
  EXPECT_EQ(MsLastFailure().code, MsError::Busy);
  EXPECT_NE(MsLastError().find("~MSFL.USR"), std::string::npos) << MsLastError();
  EXPECT_NE(MsLastError().find("another program is opening or closing"), std::string::npos) << MsLastError();
  registering.Close();
  EXPECT_EQ(MsCloseDirectory(first), 1);
}

// Looking waits for a program holding the master files (a first opening)
// and then reads them, changing nothing.
TEST_F(MsSafetyTest, LookingRespectsAWriterHoldingTheMasters) {
  const auto before = Snapshot(scratch_.Path());
  platform::TSharedFile holder;
  platform::FileOpenMode exclusive;
  exclusive.share = platform::FileShare::None;
  ASSERT_TRUE(holder.Open(PathOf(kMsMasterName), exclusive));
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder.Close();
  });
  const auto start = std::chrono::steady_clock::now();
  MsDirectory* dir = MsOpenDirectoryToRead(Dir());
  release.join();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  ASSERT_NE(dir, nullptr) << MsLastError();
  EXPECT_EQ(dir->securityCount, 2);
  EXPECT_EQ(MsCloseDirectory(dir), 1);
  EXPECT_EQ(Snapshot(scratch_.Path()), before);
}

// While other programs have the directory open, looking takes their list
// from ~MSFL.SEC and leaves every working file as it is.
TEST_F(MsSafetyTest, LookingAtAnOpenDirectoryReadsTheWorkingFiles) {
  MsDirectory* writer = test::OpenAs(Dir(), "alice");
  ASSERT_NE(writer, nullptr);
  std::strcpy(writer->securities[1].name, "Renamed meanwhile");
  MsWriteSecurityFile(*writer);
  const auto before = Snapshot(scratch_.Path());
  MsDirectory* dir = MsOpenDirectoryToRead(Dir());
  ASSERT_NE(dir, nullptr) << MsLastError();
  ASSERT_EQ(dir->securityCount, 2);
  EXPECT_STREQ(dir->securities[1].name, "Renamed meanwhile");
  std::vector<MsBar> bars;
  EXPECT_EQ(MsReadBars(*dir, dir->securities[0], bars), 3);
  EXPECT_EQ(MsCloseDirectory(dir), 1);
  EXPECT_EQ(Snapshot(scratch_.Path()), before);
  EXPECT_EQ(MsCloseDirectory(writer), 1);
}

}  // namespace
}  // namespace vz
