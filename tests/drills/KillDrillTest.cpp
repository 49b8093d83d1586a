#ifndef _WIN32
// A conversion killed (SIGKILL) before each of its file writes, flushes and
// renames in turn, from the opening of the MetaStock directory through the
// reads (each read sets and clears a lock byte) to the archives (between
// the flush of each and its rename): the masters and data files stay as
// they were apart from the stamp, the output folder holds only complete
// archives, and the next run cleans up and completes.
#include <gtest/gtest.h>

#include <set>

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

class KillDrill : public TDrill {};

TEST_F(KillDrill, EveryFileOperationOfARun) {
  const std::string scope = scratch_.Path().string();
  // A run that only counts, to know how many points there are.
  std::string messages;
  SeedEarlierArchives();
  InstallFaultPlan({scope, 0, 0, false});
  const int counted = Run(messages);
  const long total = CountedOperations();
  ClearFaultPlan();
  ASSERT_EQ(counted, app::kExitComplete) << messages;
  ASSERT_GT(total, 20) << "too few points to drill";
  // The points the drill is for are among them.
  const std::vector<std::string> list = CountedOperationList();
  const auto has = [&](const std::string& kind, const std::string& end) {
    for (const std::string& op : list)
      if (op.rfind(kind + " ", 0) == 0 && op.ends_with(end)) return true;
    return false;
  };
  EXPECT_TRUE(has("Rename", "/MASTER")) << "no point at the opening's master rewrite";
  EXPECT_TRUE(has("Write", "~MSFL.LCK")) << "no point while reading";
  EXPECT_TRUE(has("Write", ".tmp")) << "no point while writing an archive under its temporary name";
  EXPECT_TRUE(has("Rename", ".omz")) << "no point between an archive's flush and its rename";

  int killed = 0, leftOpen = 0, leftTemporaries = 0;
  for (long n = 1; n <= total; ++n) {
    const std::string when = "after a kill at operation " + std::to_string(n) + " of " + std::to_string(total);
    SeedEarlierArchives();
    std::vector<std::string> args{scope, std::to_string(n)};
    for (const std::string& a : RunArguments()) args.push_back(a);
    const int status = test::RunChild("drill_killed_run", args);
    EXPECT_EQ(status, 128 + 9) << when << ": the run was not killed";
    if (status == 128 + 9) ++killed;
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
  RecordProperty("points", static_cast<int>(total));
  RecordProperty("left_open", leftOpen);
  RecordProperty("left_temporaries", leftTemporaries);
}

}  // namespace
}  // namespace vz::drill
#endif
