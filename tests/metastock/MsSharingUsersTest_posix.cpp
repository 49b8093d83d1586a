// Two people sharing a MetaStock directory through its group, and the data
// files that are not files (pipes, link loops): cases that need the system's
// own calls, so Linux only. The users are switched to in children of this
// test executable, which needs root (as CI runs); otherwise skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <grp.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "MsTestSupport.h"
#include "app/console/InspectMetastock.h"
#include "metastock/MsPriceData.h"
#include "platform/FileSystem.h"
#include "support/ChildProcess.h"
#include "support/ScratchDir.h"

namespace fs = std::filesystem;

namespace vz {
namespace {

constexpr gid_t kTraders = 4300;
constexpr uid_t kAlice = 4301;  // owns the directory, member of the group
constexpr uid_t kBob = 4302;    // member of the group
constexpr uid_t kCarol = 4303;  // not a member

struct TEntry {
  std::string bytes;
  uid_t uid;
  gid_t gid;
  mode_t mode;
  bool operator==(const TEntry&) const = default;
};

std::map<std::string, TEntry> Snapshot(const fs::path& dir) {
  std::map<std::string, TEntry> entries;
  for (const auto& e : fs::directory_iterator(dir)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    entries[e.path().filename().string()] =
        TEntry{test::ReadFileBytes(e.path()), st.st_uid, st.st_gid, static_cast<mode_t>(st.st_mode & 07777)};
  }
  return entries;
}

TEntry Stat(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return TEntry{{}, st.st_uid, st.st_gid, static_cast<mode_t>(st.st_mode & 07777)};
}

// args: uid, "member" or "other", action, directory, file for the message.
// Actions: list (inspection), open-close, open-leave (ends without closing).
VZ_TEST_CHILD(MsAsUser) {
  const uid_t uid = static_cast<uid_t>(std::stoul(args.at(0)));
  const gid_t own = static_cast<gid_t>(uid);  // each user's own group
  const gid_t groups[] = {own, kTraders};
  if (setgroups(args.at(1) == "member" ? 2 : 1, groups) != 0 || setgid(own) != 0 || setuid(uid) != 0) return 20;
  umask(022);
  const std::string& action = args.at(2);
  const std::string& dir = args.at(3);
  if (action == "list") {
    std::ostringstream out, err;
    const int status = RunListCommand(dir, out, err);
    test::WriteFileBytes(args.at(4), err.str());
    return status;
  }
  MsDirectory* opened = MsOpenDirectory(dir, 100, "Test program", "user" + args.at(0));
  test::WriteFileBytes(args.at(4), MsLastError());
  if (opened == nullptr) return 10;
  std::vector<MsBar> bars;
  for (MsSecurity& s : opened->securities)
    if (MsReadBars(*opened, s, bars) < 0) return 11;
  // A program that ended without closing: gone at once, as a killed one is,
  // with nothing run at exit (the open directory is left on purpose).
  if (action == "open-leave") _exit(0);
  if (MsCloseDirectory(opened) != 1) {
    test::WriteFileBytes(args.at(4), MsLastError());
    return 12;
  }
  return 0;
}

class MsSharingUsers : public testing::Test {
protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "switching users needs root";
    dir_ = scratch_.Path() / "shared";
    msgen::MsGenDirectory d;
    d.securities = {test::DailySecurity(1, "ONE"), test::DailySecurity(2, "TWO")};
    std::string error;
    ASSERT_TRUE(msgen::WriteMetastockDirectory(d, dir_, &error)) << error;
    ASSERT_EQ(::chmod(scratch_.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chown(dir_.c_str(), kAlice, kTraders), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 02775), 0);
    for (const auto& e : fs::directory_iterator(dir_)) {
      ASSERT_EQ(::chown(e.path().c_str(), kAlice, kTraders), 0);
      ASSERT_EQ(::chmod(e.path().c_str(), 0660), 0);
    }
  }
  int As(uid_t uid, const char* action, bool member = true) {
    // Where every user may leave the child's message.
    const fs::path messages = scratch_.Path() / "messages";
    fs::create_directories(messages);
    fs::permissions(messages, fs::perms::all);
    message_ = (messages / ("message" + std::to_string(uid))).string();
    fs::remove(message_);
    return test::RunChild("MsAsUser", {std::to_string(uid), member ? "member" : "other", action, dir_.string(), message_});
  }
  std::string Message() const { return test::ReadFileBytes(message_); }
  std::string PathOf(const char* name) const { return MsFindFile(dir_.string(), name); }

  test::TScratchDir scratch_;
  fs::path dir_;
  std::string message_;
};

TEST_F(MsSharingUsers, AGroupMemberLooksAndConvertsWithoutTakingTheDirectoryAway) {
  const auto before = Snapshot(dir_);
  ASSERT_EQ(As(kBob, "list"), 0) << Message();
  EXPECT_EQ(Snapshot(dir_), before);

  // Bob opens and ends without closing; his working files let Alice join.
  ASSERT_EQ(As(kBob, "open-leave"), 0) << Message();
  for (const char* name : {kMsSecurityFileName, kMsIndexFileName, kMsUserFileName, kMsLockFileName}) {
    const TEntry working = Stat(PathOf(name));
    EXPECT_EQ(working.gid, kTraders) << name;
    EXPECT_EQ(working.mode, 0660u) << name;
  }
  ASSERT_EQ(As(kAlice, "open-close"), 0) << Message();

  // Someone outside the group is told which file and why.
  EXPECT_EQ(As(kCarol, "open-close", false), 10);
  EXPECT_NE(Message().find("Permission denied"), std::string::npos) << Message();
  EXPECT_NE(Message().find(dir_.string()), std::string::npos) << Message();
  EXPECT_EQ(Message().find("another program"), std::string::npos) << Message();

  // Bob comes back and closes as the last one: the masters are rewritten
  // and stay the group's, writable by it.
  ASSERT_EQ(As(kBob, "open-close"), 0) << Message();
  EXPECT_FALSE(platform::FileExists(PathOf(kMsUserFileName)));
  for (const char* name : {kMsMasterName, kMsEmasterName}) {
    const TEntry master = Stat(PathOf(name));
    EXPECT_EQ(master.gid, kTraders) << name;
    EXPECT_EQ(master.mode, 0660u) << name;
  }
  ASSERT_EQ(As(kAlice, "open-close"), 0) << Message();
  ASSERT_EQ(As(kBob, "open-close"), 0) << Message();
}

TEST_F(MsSharingUsers, ARewriteKeepsOwnerGroupAndMode) {
  ASSERT_EQ(::chmod(PathOf(kMsMasterName).c_str(), 0600), 0);
  ASSERT_EQ(::chmod(PathOf(kMsEmasterName).c_str(), 0640), 0);
  MsDirectory* dir = test::OpenAs(dir_.string(), "root");
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(Stat(PathOf(kMsMasterName)).uid, kAlice);
  EXPECT_EQ(Stat(PathOf(kMsSecurityFileName)).mode, 0600u);
  EXPECT_EQ(Stat(PathOf(kMsSecurityFileName)).gid, kTraders);
  EXPECT_EQ(MsCloseDirectory(dir), 1);
  EXPECT_EQ(Stat(PathOf(kMsMasterName)), (TEntry{{}, kAlice, kTraders, 0600}));
  EXPECT_EQ(Stat(PathOf(kMsEmasterName)), (TEntry{{}, kAlice, kTraders, 0640}));
}

// A data file replaced by a pipe or a link loop is refused at once instead
// of blocking the read.
TEST(MsReadBarsNotAFile, RefusesPipesAndLinkLoopsAtOnce) {
  test::TScratchDir scratch;
  msgen::MsGenDirectory d;
  d.securities = {test::DailySecurity(1, "ONE"), test::DailySecurity(2, "TWO")};
  std::string error;
  ASSERT_TRUE(msgen::WriteMetastockDirectory(d, scratch.Path(), &error)) << error;
  fs::remove(scratch.Path() / "F1.DAT");
  ASSERT_EQ(::mkfifo((scratch.Path() / "F1.DAT").c_str(), 0644), 0);
  fs::remove(scratch.Path() / "F2.DAT");
  fs::create_symlink("F2.DAT", scratch.Path() / "F2.DAT");
  for (bool looking : {false, true}) {
    MsDirectory* dir = looking ? MsOpenDirectoryToRead(scratch.Path().string()) : test::OpenAs(scratch.Path().string(), "a");
    ASSERT_NE(dir, nullptr);
    const auto start = std::chrono::steady_clock::now();
    std::vector<MsBar> bars;
    for (MsSecurity& s : dir->securities) {
      EXPECT_EQ(MsReadBars(*dir, s, bars), -1) << s.symbol;
      EXPECT_EQ(dir->readFailure.code, MsError::NotAFile) << dir->readFailure.text;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    MsCloseDirectory(dir);
  }
  EXPECT_TRUE(fs::is_fifo(scratch.Path() / "F1.DAT"));
  EXPECT_TRUE(fs::is_symlink(scratch.Path() / "F2.DAT"));
}

}  // namespace
}  // namespace vz
