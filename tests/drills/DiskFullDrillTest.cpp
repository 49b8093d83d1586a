#ifndef _WIN32
// A full disk at each write, flush and rename of a run in turn ("No space
// left on device" from the platform's fault injection point): the run ends
// failed (exit status 3) and says why, the archives already in the output
// folder stay whole, the masters and data files stay whole, other programs
// can open the directory, and the next run succeeds. Once for the output
// folder's operations, once for the MetaStock directory's own (user and
// lock files, working files, master rewrites), and once more for those
// while another program has the directory open. The few writes a run
// rightly rides over are named in RunRidesOver.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "app/window/ExitStatus.h"
#include "drills/DrillFixture.h"
#include "metastock/MsDirectory.h"

namespace vz::drill {
namespace {

namespace fs = std::filesystem;

class DiskFullDrill : public TDrill {
protected:
  // Counts the run's operations under `scope`, then fails each in turn.
  // With `othersHaveItOpen`, another program has the directory open during
  // each run (so the run joins it and is not the last to close) and closes
  // it afterwards.
  void Sweep(const fs::path& scope, bool othersHaveItOpen = false) {
    std::string messages;
    SeedEarlierArchives();
    MsDirectory* other = othersHaveItOpen ? OtherOpens() : nullptr;
    InstallFaultPlan({scope.string(), 0, 0, false});
    const int counted = Run(messages);
    const long total = CountedOperations();
    const std::vector<std::string> list = CountedOperationList();
    ClearFaultPlan();
    if (other) {
      EXPECT_EQ(MsCloseDirectory(other), 1) << MsLastError();
    }
    ASSERT_EQ(counted, app::kExitComplete) << messages;
    ASSERT_GT(total, 3);
    std::string listed;
    for (const std::string& op : list) listed += "  " + op + "\n";
    RecordProperty("operations", listed);

    const std::string reason = std::strerror(ENOSPC);
    int failedRuns = 0, riddenOver = 0;
    // Each operation once as the only one that fails, then as the first of
    // a disk that stays full for the rest of the run.
    for (long round = 0; round < 2 * total; ++round) {
      const long n = round % total + 1;
      const bool stays = round >= total;
      SeedEarlierArchives();
      other = othersHaveItOpen ? OtherOpens() : nullptr;
      InstallFaultPlan({scope.string(), n, ENOSPC, false, stays});
      const int status = Run(messages);
      const std::string failed = FailedOperation();
      ClearFaultPlan();
      const std::string when = "after a full disk at " + failed + " (operation " + std::to_string(n) + " of " +
                               std::to_string(total) + (stays ? ", and full for the rest of the run)" : ")");
      ASSERT_FALSE(failed.empty()) << "operation " << n << " never came; the run's operations:\n" << listed;
      if (status == app::kExitComplete && RunRidesOver(failed)) {
        ExpectCompleteOutput(when + ", which the run rode over");
        if (!other) ExpectDirectoryClosed(when + ", which the run rode over");
        ++riddenOver;
      } else {
        EXPECT_EQ(status, app::kExitStageFailed) << when << ":\n" << messages;
        EXPECT_NE(messages.find(reason), std::string::npos) << when << ", the run did not say why:\n" << messages;
        ++failedRuns;
      }
      ExpectMetastockFilesIntact(when);
      ExpectOnlyCompleteArchives(when);
      ExpectEarlierArchivesKept(when);
      if (other) {
        EXPECT_EQ(MsCloseDirectory(other), 1) << "the other program " << when << ": " << MsLastError();
      }
      ExpectOthersCanOpen(when);

      ASSERT_EQ(Run(messages), app::kExitComplete) << "the next run " << when << ":\n" << messages;
      ExpectCleanFinish("after the run that followed a full disk at " + failed);
      if (HasFailure()) return;  // one broken point is enough to read
    }
    EXPECT_GT(failedRuns, 0);
    RecordProperty("failed_runs", failedRuns);
    RecordProperty("ridden_over", riddenOver);
  }

  MsDirectory* OtherOpens() {
    MsDirectory* other = MsOpenDirectory(msDir_.string(), 100, "Drill program with it open", "someone else");
    EXPECT_NE(other, nullptr) << MsLastError();
    return other;
  }

  // Writes whose failure a run rightly rides over, ending complete: the
  // lock bytes set and cleared around each read (they only tell other
  // programs what is being read) and the first opening's rewrite of the
  // masters (it only stamps them; the masters stay as they were and the
  // last closer writes them). Every other failure ends the run.
  static bool RunRidesOver(const std::string& operation) {
    const std::string name = fs::path(operation.substr(operation.find(' ') + 1)).filename().string();
    if (operation.rfind("Write ", 0) == 0 && name == "~MSFL.LCK") return true;
    return name == "MSMAST.TMP" || name == "MSEMST.TMP" || name == "MASTER" || name == "EMASTER";
  }

};

TEST_F(DiskFullDrill, EveryWriteFlushAndRenameInTheOutputFolder) { Sweep(out_); }

TEST_F(DiskFullDrill, EveryWriteFlushAndRenameInTheMetastockDirectory) { Sweep(msDir_); }

// The user and lock files of a directory another program has open: the
// run joins (registers in ~MSFL.USR) and closes without being the last.
TEST_F(DiskFullDrill, EveryWriteInADirectoryAnotherProgramHasOpen) { Sweep(msDir_, true); }

}  // namespace
}  // namespace vz::drill
#endif
