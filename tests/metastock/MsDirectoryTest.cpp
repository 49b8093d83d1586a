#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "MsTestSupport.h"
#include "metastock/MsLockFile.h"
#include "metastock/MsPriceData.h"
#include "metastock/MsUserFile.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/ChildProcess.h"
#include "support/ScratchDir.h"

namespace fs = std::filesystem;

namespace vz {
namespace {

const char* const kWorkingFiles[] = {kMsSecurityFileName, kMsIndexFileName, kMsUserFileName, kMsLockFileName};

class MsDirectoryTest : public testing::Test {
protected:
  void SetUp() override {
    msgen::MsGenDirectory d;
    d.securities.push_back(test::DailySecurity(1, "ONE", 3));
    d.securities.push_back(test::DailySecurity(2, "TWO", 2));
    std::string error;
    ASSERT_TRUE(msgen::WriteMetastockDirectory(d, scratch_.Path(), &error)) << error;
  }
  std::string Dir() const { return scratch_.Path().string(); }
  std::string PathOf(const char* name) const { return MsFindFile(Dir(), name); }
  bool Exists(const char* name) const { return platform::FileExists(PathOf(name)); }
  Bytes UserFile() const { return test::ReadBytes(PathOf(kMsUserFileName)); }

  test::TScratchDir scratch_;
};

TEST_F(MsDirectoryTest, FirstOpenerCreatesWorkingFilesAndLastCloserRemovesThem) {
  test::WriteFileBytes(scratch_.Path() / "MSAB12.TMP", "left over");
  test::WriteFileBytes(scratch_.Path() / "MSLONGER.TMP", "kept");
  MsDirectory* dir = test::OpenAs(Dir(), "alice");
  ASSERT_NE(dir, nullptr);
  EXPECT_FALSE(fs::exists(scratch_.Path() / "MSAB12.TMP"));
  EXPECT_TRUE(fs::exists(scratch_.Path() / "MSLONGER.TMP"));
  for (const char* name : kWorkingFiles) EXPECT_TRUE(Exists(name)) << name;
  EXPECT_EQ(dir->mySlot, 0);
  EXPECT_EQ(dir->userCount, 1);
  EXPECT_EQ(dir->securityCount, 2);
  EXPECT_TRUE(platform::IsReadOnly(PathOf(kMsMasterName)));
  EXPECT_TRUE(platform::IsReadOnly(PathOf(kMsEmasterName)));
  const Bytes users = UserFile();
  ASSERT_EQ(users.size(), 71u * 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(users.data() + 29), 5), "v1.00");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(users.data() + 17), 11), "Feb 21 2002");
  EXPECT_STREQ(reinterpret_cast<const char*>(users.data() + 71 + 5), "Test program:alice");
  EXPECT_EQ(LoadU16(users.data() + 71 + 1), dir->stamp & 0xFFFF);
  const uint32_t stamp = dir->stamp;

  MsCloseDirectory(dir);
  for (const char* name : kWorkingFiles) EXPECT_FALSE(Exists(name)) << name;
  EXPECT_FALSE(platform::IsReadOnly(PathOf(kMsMasterName)));
  EXPECT_FALSE(platform::IsReadOnly(PathOf(kMsEmasterName)));
  EXPECT_EQ(LoadU32(test::ReadBytes(PathOf(kMsMasterName)).data() + 49), stamp);
  EXPECT_EQ(LoadU32(test::ReadBytes(PathOf(kMsEmasterName)).data() + 49), stamp);
}

TEST_F(MsDirectoryTest, SecondOpenerJoinsAndTheLastOneWritesTheMasters) {
  MsDirectory* first = test::OpenAs(Dir(), "alice");
  MsDirectory* second = test::OpenAs(Dir(), "bob");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(second->mySlot, 1);
  EXPECT_EQ(second->userCount, 2);
  EXPECT_EQ(second->stamp, first->stamp);
  EXPECT_EQ(second->securityCount, 2);
  EXPECT_STREQ(second->securities[1].symbol, "TWO");
  MsCloseDirectory(first);
  for (const char* name : kWorkingFiles) EXPECT_TRUE(Exists(name)) << name;
  const Bytes users = UserFile();
  EXPECT_EQ(LoadU16(users.data() + 10), 1);  // users
  EXPECT_EQ(LoadU16(users.data() + 12), 2);  // slots
  MsCloseDirectory(second);
  for (const char* name : kWorkingFiles) EXPECT_FALSE(Exists(name)) << name;
  EXPECT_FALSE(platform::IsReadOnly(PathOf(kMsMasterName)));
}

TEST_F(MsDirectoryTest, StaleRegistrationKeepsTheDirectoryOpenUntilItsOwnerReturns) {
  // A program that ended without closing: its object is dropped unclosed.
  delete test::OpenAs(Dir(), "ghost");
  MsDirectory* other = test::OpenAs(Dir(), "bob");
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->userCount, 2);
  MsCloseDirectory(other);
  for (const char* name : kWorkingFiles) EXPECT_TRUE(Exists(name)) << name;
  EXPECT_TRUE(platform::IsReadOnly(PathOf(kMsMasterName)));
  // The same program and user come back: the old slot is reused.
  MsDirectory* ghost = test::OpenAs(Dir(), "ghost");
  ASSERT_NE(ghost, nullptr);
  EXPECT_EQ(ghost->mySlot, 0);
  EXPECT_EQ(ghost->userCount, 1);
  MsCloseDirectory(ghost);
  for (const char* name : kWorkingFiles) EXPECT_FALSE(Exists(name)) << name;
}

TEST_F(MsDirectoryTest, JoiningClearsLocksOfFreedSlots) {
  MsDirectory* first = test::OpenAs(Dir(), "alice");
  ASSERT_NE(first, nullptr);
  Bytes lock = test::ReadBytes(PathOf(kMsLockFileName));
  lock[37] = 0x10;      // security 0: a read in progress...
  lock[37 + 1] = 0x40;  // ...by slot 1, which nobody holds
  lock[74] = 0x10;      // security 1: by slot 0, which is alice
  lock[74 + 1] = 0x80;
  test::WriteFileBytes(PathOf(kMsLockFileName), std::string(lock.begin(), lock.end()));
  MsDirectory* second = test::OpenAs(Dir(), "bob");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->securities[0].lockFlags, 0);
  EXPECT_EQ(second->securities[0].userMask, 0);
  EXPECT_EQ(second->securities[1].lockFlags, 0x10);
  EXPECT_EQ(second->securities[1].userMask, 0x80);
  MsCloseDirectory(first);  // gives back alice's locks
  lock = test::ReadBytes(PathOf(kMsLockFileName));
  EXPECT_EQ(lock[74], 0);
  EXPECT_EQ(lock[75], 0);
  MsCloseDirectory(second);
}

TEST_F(MsDirectoryTest, EmptyWorkingFilesOfAFailedOpeningAreReplaced) {
  for (const char* name : kWorkingFiles) test::WriteFileBytes(scratch_.Path() / name, "");
  MsDirectory* dir = test::OpenAs(Dir(), "alice");
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(dir->mySlot, 0);
  EXPECT_EQ(dir->securityCount, 2);
  EXPECT_EQ(test::ReadBytes(PathOf(kMsSecurityFileName)).size(), 178u * 3);
  MsCloseDirectory(dir);
  for (const char* name : kWorkingFiles) EXPECT_FALSE(Exists(name)) << name;
}

// Securities another program adds to ~MSFL.SEC while the directory is open
// reach the master files when the last program closes.
TEST_F(MsDirectoryTest, LastCloserTakesUpSecuritiesOthersAdded) {
  MsDirectory* dir = test::OpenAs(Dir(), "alice");
  ASSERT_NE(dir, nullptr);
  MsDirectory other;
  MsDecodeSecurityFile(other, test::ReadBytes(PathOf(kMsSecurityFileName)));
  ASSERT_EQ(other.securityCount, 2);
  other.securities.emplace_back();
  MsSecurity& added = other.securities.back();
  added.inUse = 1;
  added.fileNumber = 300;
  added.recordNumber = 3;
  added.fieldMask = 0x7F;
  added.period = 'D';
  std::strcpy(added.symbol, "NEWX");
  std::strcpy(added.name, "Added meanwhile");
  other.securityCount = 3;
  other.lastFileNumber = 300;
  const Bytes sec = MsBuildSecurityFile(other);
  test::WriteFileBytes(PathOf(kMsSecurityFileName), std::string(sec.begin(), sec.end()));
  MsCloseDirectory(dir);
  ASSERT_TRUE(Exists(kMsXmasterName));
  MsDirectory* again = test::OpenAs(Dir(), "alice");
  ASSERT_NE(again, nullptr);
  ASSERT_EQ(again->securityCount, 3);
  EXPECT_STREQ(again->securities[2].symbol, "NEWX");
  EXPECT_EQ(again->securities[2].fieldCount, 7);
  MsCloseDirectory(again);
}

TEST_F(MsDirectoryTest, NinthProgramWorksWithoutASlot) {
  std::vector<MsDirectory*> open;
  for (int i = 0; i < 9; ++i) {
    open.push_back(test::OpenAs(Dir(), "user" + std::to_string(i)));
    ASSERT_NE(open.back(), nullptr);
  }
  EXPECT_EQ(open[7]->mySlot, 7);
  EXPECT_EQ(open[8]->mySlot, -1);
  EXPECT_EQ(open[8]->userCount, 8);
  ASSERT_EQ(MsSetLock(*open[8], open[8]->securities[0], kMsLockReading, true), 1);
  const Bytes lock = test::ReadBytes(PathOf(kMsLockFileName));
  EXPECT_EQ(lock[37], 0x10);
  EXPECT_EQ(lock[38], 0);
  MsSetLock(*open[8], open[8]->securities[0], kMsLockReading, false);
  std::vector<MsBar> bars;
  EXPECT_EQ(MsReadBars(*open[8], open[8]->securities[0], bars), 3);
  // The ninth is not counted: the eighth to close is the last one. (On
  // Windows the working files the ninth still holds cannot be deleted yet;
  // the next first opening removes them.)
  for (MsDirectory* dir : open) MsCloseDirectory(dir);
  EXPECT_FALSE(Exists(kMsUserFileName));
  MsDirectory* after = test::OpenAs(Dir(), "user8");
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->mySlot, 0);
  MsCloseDirectory(after);
  for (const char* name : kWorkingFiles) EXPECT_FALSE(Exists(name)) << name;
}

// Two programs: children of this test executable open the same directory.
VZ_TEST_CHILD(MsHoldDirectory) {
  // args: directory, user, ready file, release file
  MsDirectory* dir = MsOpenDirectory(args.at(0), 100, "Test program", args.at(1));
  if (dir == nullptr) return 10;
  std::vector<MsBar> bars;
  if (MsReadBars(*dir, dir->securities[0], bars) != 3) return 11;
  const int slot = dir->mySlot;
  // Complete before it appears: the parent reads it as soon as it exists.
  test::WriteFileBytes(args.at(2) + ".part", std::to_string(slot));
  fs::rename(args.at(2) + ".part", args.at(2));
  for (int i = 0; i < 3000 && !platform::FileExists(args.at(3)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  MsCloseDirectory(dir);
  return 0;
}

TEST_F(MsDirectoryTest, EightOtherProgramsAndANinthWithoutSlot) {
  test::TScratchDir signals;
  const std::string release = (signals.Path() / "release").string();
  std::vector<std::unique_ptr<platform::TProcess>> children;
  std::vector<std::string> ready;
  for (int i = 0; i < 8; ++i) {
    ready.push_back((signals.Path() / ("ready" + std::to_string(i))).string());
    // One at a time, so that the slots come in order.
    children.push_back(std::make_unique<platform::TProcess>());
    ASSERT_TRUE(children.back()->Start(
        test::ChildCommand("MsHoldDirectory", {Dir(), "child" + std::to_string(i), ready.back(), release})));
    std::string slot;
    for (int wait = 0; wait < 3000 && slot.empty(); ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (platform::FileExists(ready.back())) slot = test::ReadFileBytes(ready.back());
    }
    ASSERT_EQ(slot, std::to_string(i)) << "child " << i;
  }
  MsDirectory* ninth = test::OpenAs(Dir(), "parent");
  ASSERT_NE(ninth, nullptr);
  EXPECT_EQ(ninth->mySlot, -1);
  EXPECT_EQ(ninth->userCount, 8);
  test::WriteFileBytes(release, "go");
  for (auto& child : children) EXPECT_EQ(child->Wait(), 0);
  // The ninth is not counted: the last child closed the directory.
  EXPECT_FALSE(Exists(kMsUserFileName));
  EXPECT_FALSE(platform::IsReadOnly(PathOf(kMsMasterName)));
  MsCloseDirectory(ninth);
  MsDirectory* after = test::OpenAs(Dir(), "parent");
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->mySlot, 0);
  EXPECT_EQ(after->userCount, 1);
  MsCloseDirectory(after);
}

TEST_F(MsDirectoryTest, ProgramInAnotherProcessJoinsAndLeaves) {
  MsDirectory* dir = test::OpenAs(Dir(), "alice");
  ASSERT_NE(dir, nullptr);
  test::TScratchDir signals;
  const std::string ready = (signals.Path() / "ready").string();
  const std::string release = (signals.Path() / "release").string();
  test::WriteFileBytes(release, "at once");
  EXPECT_EQ(test::RunChild("MsHoldDirectory", {Dir(), "bob", ready, release}), 0);
  EXPECT_EQ(test::ReadFileBytes(ready), "1");
  const Bytes users = UserFile();
  EXPECT_EQ(LoadU16(users.data() + 10), 1);
  EXPECT_EQ(LoadU16(users.data() + 12), 1);  // bob's slot was the last one
  MsCloseDirectory(dir);
  for (const char* name : kWorkingFiles) EXPECT_FALSE(Exists(name)) << name;
}

TEST(TSharedFile, FollowsTheSharingTable) {
  using platform::FileAccess;
  using platform::FileShare;
  test::TScratchDir scratch;
  const std::string path = scratch.File("shared");
  test::WriteFileBytes(path, "x");
  const struct {
    FileAccess heldAccess;
    FileShare heldShare;
    FileAccess access;
    FileShare share;
    bool opens;
  } cases[] = {
      {FileAccess::ReadWrite, FileShare::ReadWrite, FileAccess::ReadWrite, FileShare::ReadWrite, true},  // ~MSFL.SEC
      {FileAccess::ReadWrite, FileShare::Read, FileAccess::ReadWrite, FileShare::Read, false},           // ~MSFL.USR
      {FileAccess::ReadWrite, FileShare::Read, FileAccess::Read, FileShare::ReadWrite, true},
      {FileAccess::ReadWrite, FileShare::None, FileAccess::Read, FileShare::ReadWrite, false},           // MASTER
      {FileAccess::Read, FileShare::Read, FileAccess::ReadWrite, FileShare::ReadWrite, false},
      {FileAccess::Read, FileShare::ReadWrite, FileAccess::ReadWrite, FileShare::Read, true},
      {FileAccess::ReadWrite, FileShare::ReadWrite, FileAccess::Read, FileShare::Read, false},
  };
  for (const auto& c : cases) {
    platform::TSharedFile held, second;
    platform::FileOpenMode mode;
    mode.access = c.heldAccess;
    mode.share = c.heldShare;
    ASSERT_TRUE(held.Open(path, mode));
    mode.access = c.access;
    mode.share = c.share;
    EXPECT_EQ(second.Open(path, mode), c.opens) << &c - cases;
  }
}

}  // namespace
}  // namespace vz
