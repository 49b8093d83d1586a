#pragma once
// What the crash and full-disk drills share: a small generated MetaStock
// directory (two daily securities over two months, one intraday security
// over three days), the console program run over it, the fault plan that
// the platform's fault injection point (platform/FileFault.h) follows, and
// the checks that the user's data came through: masters and data files as
// before apart from the stamp, archives only complete ones, the directory
// open to other programs.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/FileFault.h"
#include "bytes/ByteFields.h"
#include "support/ScratchDir.h"
#include "tools/msgen/MsGen.h"

namespace vz::drill {

// A bar for a generated directory: high and low one either side of `price`,
// the close half a point above it.
msgen::MsGenBar DrillBar(int32_t date, int32_t time, float price, float volume);

// Which operations a plan counts: those on files under `scope` (a folder).
// The N-th of them (1-based) fails with `error` or, with kill set, ends the
// process with SIGKILL before it is done; with sticky set every later one
// fails too (a disk that stays full). Target 0 only counts.
struct TFaultPlan {
  std::string scope;
  long target = 0;
  int error = 0;
  bool kill = false;
  bool sticky = false;
};

// Installs the plan (process-wide, until ClearFaultPlan); the count starts
// at 0.
void InstallFaultPlan(const TFaultPlan& plan);
void ClearFaultPlan();
// Operations the plan has counted so far.
long CountedOperations();
// The operations a counting plan (target 0) saw, as "Rename /path".
std::vector<std::string> CountedOperationList();
// The first operation that was failed ("Write /path"), empty when none was.
std::string FailedOperation();

// The console program with the switches `args`, as the Linux program runs
// it but without the user's stored settings; its exit status, and all it
// printed in `messages`.
int RunConsole(const std::vector<std::string>& args, std::string& messages);

// Every file of a folder tree (relative path, generic form) with its bytes.
using TTree = std::map<std::string, std::string>;
TTree ReadTree(const std::filesystem::path& root);

// A fresh folder for one drill, on a memory file system when the machine
// has one (/dev/shm): every run flushes its files to the disk, and on a
// busy shared disk those flushes alone stretched a sweep of a few seconds
// to minutes. The drills are about what the runs leave behind, which the
// file system does not change. Elsewhere an ordinary scratch folder.
class TDrillFolder {
public:
  TDrillFolder();
  ~TDrillFolder();
  TDrillFolder(const TDrillFolder&) = delete;
  TDrillFolder& operator=(const TDrillFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

private:
  test::TScratchDir fallback_;
  std::filesystem::path path_;
};

class TDrill : public testing::Test {
protected:
  void SetUp() override;

  // RunConsole over the directory into the output folder.
  int Run(std::string& messages) const;
  // The switches of that run.
  std::vector<std::string> RunArguments() const;

  // The masters and data files equal `msBefore_` apart from the stamp bytes
  // of MASTER and EMASTER (never shorter, never longer); working files and
  // temporaries are not compared.
  void ExpectMetastockFilesIntact(const std::string& when) const;
  // Every archive in the output folder reads back whole and holds what the
  // clean run's (`reference_`) or, unless newOnly, the earlier run's
  // (`earlier_`) holds; temporaries are not archives.
  void ExpectOnlyCompleteArchives(const std::string& when, bool newOnly = false) const;
  // The output folder as the earlier run left it.
  void SeedEarlierArchives() const;
  // Every archive of the earlier run is still there (either version).
  void ExpectEarlierArchivesKept(const std::string& when) const;
  // The output folder holds exactly the clean run's archives and nothing
  // else.
  void ExpectCompleteOutput(const std::string& when) const;
  // The MetaStock directory is closed (no working files, no temporaries,
  // masters writable) and intact.
  void ExpectDirectoryClosed(const std::string& when) const;
  // Both.
  void ExpectCleanFinish(const std::string& when) const;
  // Another program opens the directory and closes it again.
  void ExpectOthersCanOpen(const std::string& when) const;

  TDrillFolder scratch_;
  std::filesystem::path msDir_;
  std::filesystem::path out_;
  TTree msBefore_;   // the MetaStock directory as generated
  TTree reference_;  // the output folder after a clean run
  TTree earlier_;    // after a run over other prices, with the same names

private:
  // The drills' directory, its prices raised by priceOffset.
  void WriteDirectory(float priceOffset);
};

}  // namespace vz::drill
