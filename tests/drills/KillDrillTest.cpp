#ifndef _WIN32
// A conversion killed (SIGKILL) before each of its file writes, flushes and
// renames in turn, from the opening of the MetaStock directory through the
// reads (each read sets and clears a lock byte) to the archives (between
// the flush of each and its rename): the masters and data files stay as
// they were apart from the stamp, the output folder holds only complete
// archives, and the next run cleans up and completes.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>

#include "app/window/ExitStatus.h"
#include "drills/DrillFixture.h"
#include "support/ChildProcess.h"

namespace vz::drill {
namespace {

namespace fs = std::filesystem;

// args: scope, N, then the program's switches.
VZ_TEST_CHILD(drill_killed_run) {
  if (args.size() < 2) return 120;
  InstallFaultPlan({args[0], std::stol(args[1]), 0, true});
  std::string messages;
  return RunConsole(std::vector<std::string>(args.begin() + 2, args.end()), messages);
}

class KillDrill : public TDrill {
protected:
  // A run killed at its n-th file operation (in a child process); its exit
  // status.
  int RunKilledAt(long n) const {
    std::vector<std::string> args{scratch_.Path().string(), std::to_string(n)};
    for (const std::string& a : RunArguments()) args.push_back(a);
    return test::RunChild("drill_killed_run", args);
  }

  // The file operations of a run that starts after `before`, as listed by
  // a run that only counts them.
  std::vector<std::string> Points(const std::function<void()>& before) {
    before();
    std::string messages;
    InstallFaultPlan({scratch_.Path().string(), 0, 0, false});
    const int status = Run(messages);
    std::vector<std::string> list = CountedOperationList();
    ClearFaultPlan();
    EXPECT_EQ(status, app::kExitComplete) << messages;
    return list;
  }

  // Kills a run at each of its points in turn (up to its first archive
  // in place when `toFirstArchive`), each run starting after `before`;
  // checks what each kill leaves and that the next run cleans up.
  void SweepKills(const std::function<void()>& before, bool toFirstArchive = false) {
    const std::vector<std::string> list = Points(before);
    long total = static_cast<long>(list.size());
    ASSERT_GT(total, 20) << "too few points to drill";
    if (toFirstArchive) {
      const auto first = std::find_if(list.begin(), list.end(), [](const std::string& op) {
        return op.starts_with("Rename ") && op.ends_with(".omz");
      });
      ASSERT_NE(first, list.end());
      total = static_cast<long>(first - list.begin()) + 1;
    }
    std::string listed;
    for (long i = 0; i < total; ++i) listed += "  " + list[i] + "\n";
    RecordProperty("points", listed);

    int killed = 0, leftOpen = 0, leftTemporaries = 0;
    std::string messages;
    for (long n = 1; n <= total; ++n) {
      const std::string when = "after a kill at operation " + std::to_string(n) + " of " + std::to_string(total);
      before();
      if (HasFailure()) return;
      const int status = RunKilledAt(n);
      EXPECT_EQ(status, kKilled) << when << ": the run was not killed";
      if (status == kKilled) ++killed;
      ExpectMetastockFilesIntact(when);
      ExpectOnlyCompleteArchives(when);
      ExpectEarlierArchivesKept(when);
      if (fs::exists(msDir_ / "~MSFL.USR")) ++leftOpen;
      for (const auto& [name, bytes] : ReadTree(out_)) {
        if (name.ends_with(".tmp")) {
          ++leftTemporaries;
          break;
        }
      }

      // Every other time another program opens the directory first: the
      // killed run's registration must not lock it out.
      if (n % 2 == 1) ExpectOthersCanOpen(when);
      ASSERT_EQ(Run(messages), app::kExitComplete) << "the next run " << when << ":\n" << messages;
      ExpectCleanFinish("after the run that followed a kill at operation " + std::to_string(n));
      if (HasFailure()) return;  // one broken point is enough to read
    }
    EXPECT_EQ(killed, total);
    // The kills did fall inside the run: some left the directory open, some
    // an archive's temporary, for the next run to clean up.
    EXPECT_GT(leftOpen, 0);
    EXPECT_GT(leftTemporaries, 0);
    if (toFirstArchive) {
      // At least the first archive's write, flush and rename find its
      // temporary; the pack threads may have begun others by then, so the
      // runs killed with one can be more.
      EXPECT_GE(leftTemporaries, 3) << "kills before the first archive's write, flush and rename";
    }
    RecordProperty("left_open", leftOpen);
    RecordProperty("left_temporaries", leftTemporaries);
  }

  static constexpr int kKilled = 128 + SIGKILL;
};

TEST_F(KillDrill, EveryFileOperationOfARun) {
  const std::vector<std::string> list = Points([this] { SeedEarlierArchives(); });
  // The points the drill is for are among them.
  const auto has = [&](const std::string& kind, const std::string& end) {
    for (const std::string& op : list)
      if (op.rfind(kind + " ", 0) == 0 && op.ends_with(end)) return true;
    return false;
  };
  EXPECT_TRUE(has("Rename", "/MASTER")) << "no point at the opening's master rewrite";
  EXPECT_TRUE(has("Write", "~MSFL.LCK")) << "no point while reading";
  EXPECT_TRUE(has("Write", ".tmp")) << "no point while writing an archive under its temporary name";
  EXPECT_TRUE(has("Rename", ".omz")) << "no point between an archive's flush and its rename";
  SweepKills([this] { SeedEarlierArchives(); });
}

// The run after a kill joins the killed run's registration and closes the
// directory as the last program: killed at each of its own points up to
// its first archive (the archives' points are those of the drill above),
// the run after it still cleans up.
TEST_F(KillDrill, EveryFileOperationOfTheRunAfterAKill) {
  // The first run is killed at its first read: registered, directory open.
  const std::vector<std::string> first = Points([this] { SeedEarlierArchives(); });
  long firstRead = 0;
  bool registered = false;
  for (size_t i = 0; i < first.size() && firstRead == 0; ++i) {
    if (first[i].starts_with("Write ") && first[i].ends_with("~MSFL.USR")) registered = true;
    if (registered && first[i].starts_with("Write ") && first[i].ends_with("~MSFL.LCK"))
      firstRead = static_cast<long>(i) + 1;
  }
  ASSERT_GT(firstRead, 0);
  SeedEarlierArchives();
  ASSERT_EQ(RunKilledAt(firstRead), kKilled);
  ASSERT_TRUE(fs::exists(msDir_ / "~MSFL.USR"));
  // What the kill left, kept aside and put back before each run (the
  // copies keep the masters' read-only permissions).
  const fs::path saved = scratch_.Path() / "after-kill";
  fs::create_directories(saved);
  fs::copy(msDir_, saved / "ms", fs::copy_options::recursive);
  fs::copy(out_, saved / "out", fs::copy_options::recursive);
  SweepKills([&] {
    fs::remove_all(msDir_);
    fs::remove_all(out_);
    fs::copy(saved / "ms", msDir_, fs::copy_options::recursive);
    fs::copy(saved / "out", out_, fs::copy_options::recursive);
  }, true);
}

}  // namespace
}  // namespace vz::drill
#endif
