#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "RunFakes.h"
#include "app/console/ConsoleProgram.h"
#include "app/run/PathText.h"
#include "app/run/ProgramVersion.h"
#include "platform/ConsoleSignal.h"
#include "support/ChildProcess.h"
#include "support/ScratchDir.h"

namespace vz::app {
namespace {

constexpr double kToday = 45000.5;

// A directory as the command line stores it (lower-cased where names ignore case).
std::string StoredDir(const std::filesystem::path& path) {
  const std::string text = WithDirSeparator(path.string());
  return kCaseSensitiveFileNames ? text : LowerAscii(text);
}

class ConsoleProgramTest : public testing::Test {
protected:
  ConsoleProgramTest() {
    msDir_ = scratch_.Path() / "ms";
    WriteMasters(msDir_);
    options_.out = &out_;
    options_.err = &err_;
    options_.sampleDir = (scratch_.Path() / "bin" / "sample").string();
    auto& services = options_.services;
    services.makeStages = [this](const TRunSettings& settings, IRunStatus& status) {
      runSettings_ = settings;
      auto stages = std::make_unique<test::TFakeStages>(log_);
      stages->failAt = failAt_;
      stages->leftOut = leftOut_;
      stages->onStage = [this, &status](const std::string& stage) {
        status.SetStatus("working in " + stage);
        if (stage != stopIn_) return;
        stopPressed_ = true;  // Ctrl+C; the program turns it into a stop request
        for (int i = 0; i < 1000 && !status.StopRequested(); ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
      };
      return stages;
    };
    services.makeGlobalServer = [this](automation::StepLog) -> std::unique_ptr<automation::IGlobalServer> {
      auto server = std::make_unique<test::TFakeGlobalServer>(log_);
      server->running = serverRunning_;
      // The Linux program has no GlobalServer windows at all.
      server->onThisSystem = serverRunning_;
      server->importResults = {automation::ImportOutcome::Failed};
      return server;
    };
    services.sleep = [](int) {};
    services.deleteClock = [](double d) { return d; };
    services.nextStartDate = [](const std::string&, double today) { return today - 90; };
    services.now = [] { return kToday; };
    services.defaultMsDir = [] { return std::string(); };
    services.readStored = [this](platform::StoredValues& values) {
      log_.Add("read-stored");
      values = stored_;
      return !stored_.empty();
    };
    services.writeStored = [this](const platform::StoredValues& values) {
      log_.Add("write-stored");
      written_ = values;
      return storeWritable_;
    };
    options_.stopRequested = [this] { return stopPressed_.load(); };
  }

  static void WriteMasters(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    test::WriteFileBytes(dir / "MASTER", "");
    test::WriteFileBytes(dir / "EMASTER", "");
  }
  int Run(const std::vector<std::string>& args) { return RunConsoleProgram(args, options_); }
  bool Logged(const std::string& entry) {
    const auto entries = log_.Entries();
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
  }

  test::TScratchDir scratch_;
  std::filesystem::path msDir_;
  std::ostringstream out_;
  std::ostringstream err_;
  ConsoleProgramOptions options_;
  test::TCallLog log_;
  std::string failAt_;
  std::string stopIn_;
  bool serverRunning_ = false;
  bool leftOut_ = false;  // the export reports data left out
  std::atomic<bool> stopPressed_{false};
  TRunSettings runSettings_;
  platform::StoredValues stored_;
  platform::StoredValues written_;
  bool storeWritable_ = true;
};

std::string StoredValue(const platform::StoredValues& values, const std::string& name) {
  for (const auto& [key, value] : values)
    if (key == name) return value;
  return "(missing)";
}

// Runs a test body in another current folder.
class TCurrentDir {
public:
  explicit TCurrentDir(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~TCurrentDir() { std::filesystem::current_path(previous_); }

private:
  std::filesystem::path previous_;
};

// A stream whose every write fails, as on a full disk.
class TFailingBuffer final : public std::streambuf {
protected:
  int overflow(int) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

struct ExitCase {
  const char* name;
  std::string failAt;
  std::string stopIn;
  bool serverRunning;
  bool validMsDir;
  int status;
  std::string errText;
  bool leftOut = false;
};

TEST_F(ConsoleProgramTest, ExitStatusTellsHowTheRunEnded) {
  const ExitCase cases[] = {
      {"complete", "", "", false, true, kExitComplete, "Export complete.\n"},
      {"stage failed", "export", "", false, true, kExitStageFailed, "Failed: working in export\n"},
      {"ctrl+c", "", "collect", false, true, kExitTerminated, "Terminated.\n"},
      // The final status goes on to say what GlobalServer lost.
      {"import failed", "", "", true, true, kExitImportFailed, "Export complete, but import failed. GlobalServer's"},
      {"settings refused", "", "", false, false, kExitInvalidSettings,
       "error: Invalid MetaStock directory.\n  " + StoredDir(scratch_.Path()) + ": no MASTER file\n"},
      {"left out", "", "", false, true, kExitLeftOut, "Export complete, but some data was left out.\n", true},
      // A failed import comes first: it asks the user to act.
      {"left out and import failed", "", "", true, true, kExitImportFailed, "Export complete, but import failed. ",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    err_.str("");
    failAt_ = c.failAt;
    stopIn_ = c.stopIn;
    stopPressed_ = false;
    serverRunning_ = c.serverRunning;
    leftOut_ = c.leftOut;
    const auto msDir = c.validMsDir ? msDir_ : scratch_.Path();
    const int status = Run({"/m:" + msDir.string(), "-o:" + (scratch_.Path() / "out").string()});
    EXPECT_EQ(status, c.status);
    EXPECT_NE(err_.str().find(c.errText), std::string::npos) << err_.str();
  }
  EXPECT_TRUE(Logged("read-stored"));
  EXPECT_FALSE(Logged("write-stored"));  // a run never stores its switches
}

TEST_F(ConsoleProgramTest, RefusesASwitchItCannotReadBeforeAnythingRuns) {
  const struct {
    const char* arg;
    const char* reason;
  } cases[] = {
      {"/f:2026-11-01", "the date must be YYYYMMDD or YYMMDD"},
      {"/f:20261131", "there is no such date"},
      {"/f:2026110", "the date must be YYYYMMDD or YYMMDD"},
      {"/T:20261201x", "the date must be YYYYMMDD or YYMMDD"},
      {"/a:no", "the value must be"},
      {"/mnt/data", "a directory follows a colon"},
      {"data/dir", "not a switch"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    err_.str("");
    EXPECT_EQ(Run({"/m:" + msDir_.string(), c.arg}), kExitSetupFailed);
    EXPECT_NE(err_.str().find(std::string("error: ") + c.arg + ": " + c.reason), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"--set-defaults", c.arg}), kExitSetupFailed);
  }
  EXPECT_TRUE(log_.Entries().empty());  // not even the stored settings were read
}

TEST_F(ConsoleProgramTest, SwitchesApplyToTheirRunOnlyAndTheRunPrintsItsSettings) {
  stored_ = {{"EdtSelected_Checked", "False"}, {"EdtCreate_Checked", "True"}};
  options_.smartImportAvailable = false;
  const std::string ms = "/m:" + msDir_.string();
  const std::string out = "/o:" + (scratch_.Path() / "out").string();
  ASSERT_EQ(Run({ms, out, "/s", "/a:n", "/f:20230101", "/t:20261201"}), kExitComplete) << err_.str();
  EXPECT_TRUE(runSettings_.selected);
  EXPECT_FALSE(runSettings_.create);
  const std::string text = err_.str();
  for (const std::string& line :
       {"MetaStock directory: " + StoredDir(msDir_) + "\n", "Output directory:    " + StoredDir(scratch_.Path() / "out"),
        std::string("Range:               2023-01-01 00:00 to 2026-12-01 00:00\n"),
        std::string("To is midnight at the start of 2026-12-01: that day's intraday bars are left out."),
        std::string("Create archives: off, process selected securities: on, Smart import: on, delete data: on\n"),
        std::string("Create archives is off: this run converts nothing.\n"),
        std::string("Smart import needs GlobalServer's windows, which this system does not have: it is skipped.\n")})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  EXPECT_LT(text.find("Range:"), text.find("Export complete."));
  EXPECT_EQ(text.find("Archives are in"), std::string::npos);  // it made none
  EXPECT_FALSE(Logged("write-stored"));

  // The next run has the stored defaults again; /f: before a changing /o:
  // is replaced, and the printout says so.
  err_.str("");
  ASSERT_EQ(Run({ms, "/f:20230101", out}), kExitComplete) << err_.str();
  EXPECT_FALSE(runSettings_.selected);
  EXPECT_TRUE(runSettings_.create);
  EXPECT_EQ(runSettings_.from, kToday - 90);
  EXPECT_NE(err_.str().find("an /o: after the /f: replaced it"), std::string::npos) << err_.str();
  EXPECT_EQ(err_.str().find("To is midnight"), std::string::npos) << err_.str();  // today 23:59
  EXPECT_EQ(err_.str().find("converts nothing"), std::string::npos) << err_.str();
}

TEST_F(ConsoleProgramTest, TheMemoryBudgetIsPrintedWithTheSettings) {
  const std::string ms = "/m:" + msDir_.string();
  ASSERT_EQ(Run({ms, "/b:256"}), kExitComplete) << err_.str();
  EXPECT_EQ(runSettings_.memoryBudgetMiB, 256);
  EXPECT_NE(err_.str().find("Memory budget:       256 MiB (/b:)\n"), std::string::npos) << err_.str();
  err_.str("");
  ASSERT_EQ(Run({ms}), kExitComplete) << err_.str();
  EXPECT_EQ(runSettings_.memoryBudgetMiB, 0);  // the default: a switch applies to its run only
  EXPECT_NE(err_.str().find("(a quarter of the memory, at most 2048 MiB; /b: sets another)"), std::string::npos)
      << err_.str();
}

TEST_F(ConsoleProgramTest, RelativeDirectoriesAreTakenFromTheCurrentFolder) {
  TCurrentDir inScratch(scratch_.Path());
  ASSERT_EQ(Run({"/m:ms", "-o:\"out/sub\""}), kExitComplete) << err_.str();
  EXPECT_EQ(runSettings_.msDir, StoredDir(scratch_.Path() / "ms"));
  EXPECT_EQ(runSettings_.output, StoredDir(scratch_.Path() / "out" / "sub"));

  ASSERT_EQ(Run({"--set-defaults", "/o:out", "/s", "/i:n"}), kExitComplete) << err_.str();
  EXPECT_EQ(StoredValue(written_, "EdtOutput_Text"), StoredDir(scratch_.Path() / "out"));
}

TEST_F(ConsoleProgramTest, SetDefaultsStoresTheSwitchesAndRunsNothing) {
  stored_ = {{"EdtMsDir_Text", msDir_.string()}, {"EdtDelete_Checked", "True"}};
  ASSERT_EQ(Run({"--set-defaults", "/s", "/i:n", "/d:n"}), kExitComplete) << err_.str();
  EXPECT_EQ(StoredValue(written_, "EdtMsDir_Text"), msDir_.string());
  EXPECT_EQ(StoredValue(written_, "EdtSelected_Checked"), "True");
  EXPECT_EQ(StoredValue(written_, "EdtImport_Checked"), "False");
  EXPECT_EQ(StoredValue(written_, "EdtDelete_Checked"), "False");
  EXPECT_NE(out_.str().find("Stored defaults"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("process selected securities: on, Smart import: off, delete data: off"), std::string::npos)
      << out_.str();

  // Dates and run flags belong to one run; a store that cannot be written fails.
  for (const char* arg : {"/f:20230101", "/t:20230101", "/g", "/x"}) {
    EXPECT_EQ(Run({"--set-defaults", arg}), kExitSetupFailed) << arg;
    EXPECT_NE(err_.str().find(std::string(arg) + ": not stored"), std::string::npos) << err_.str();
  }
  storeWritable_ = false;
  EXPECT_EQ(Run({"--set-defaults", "/s:n"}), kExitSetupFailed);
  EXPECT_NE(err_.str().find("error: cannot store the defaults"), std::string::npos) << err_.str();
  EXPECT_TRUE(runSettings_.msDir.empty());  // no run was started
}

// project(VERSION), and the commit id in a build from a git checkout.
TEST(ProgramVersion, IsTheProjectVersionWithTheCommitWhenKnown) {
  const std::string version = kProgramVersion;
  EXPECT_TRUE(std::regex_match(version, std::regex(R"(\d+\.\d+\.\d+( \([0-9a-f]{7,40}\))?)"))) << version;
  EXPECT_EQ(version.rfind(VZ_PROGRAM_VERSION_NUMBER, 0), 0u) << version;
}

TEST_F(ConsoleProgramTest, OutputThatCannotBeWrittenFailsTheCommand) {
  TFailingBuffer failing;
  std::ostream broken(&failing);
  options_.out = &broken;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"--version"}, {"--set-defaults"}}) {
    err_.str("");
    EXPECT_EQ(Run(args), kExitSetupFailed) << args[0];
    EXPECT_NE(err_.str().find("error: cannot write the output"), std::string::npos) << err_.str();
  }
}

#ifndef _WIN32
VZ_TEST_CHILD(HelpIntoAFullDisk) {
  if (!std::freopen("/dev/full", "w", stdout)) return 99;
  ConsoleProgramOptions options;
  return RunConsoleProgram({"--help"}, options);
}

TEST(ConsoleProgramStdout, FullDiskGivesAFailureStatus) {
  EXPECT_EQ(test::RunChild("HelpIntoAFullDisk", {}), kExitSetupFailed);
}
#endif

TEST_F(ConsoleProgramTest, RunsAtOnceAndEndsWithTheRun) {
  EXPECT_EQ(Run({"/m:" + msDir_.string(), "/o:" + (scratch_.Path() / "out").string(), "/f:20230101"}),
            kExitComplete);
  EXPECT_TRUE(runSettings_.autoStart);
  EXPECT_TRUE(runSettings_.autoClose);
  EXPECT_EQ(runSettings_.from, 44927);
  EXPECT_EQ(runSettings_.to, 45000 + 1 - 1.0 / 1440);
  EXPECT_NE(err_.str().find("Archives are in " + StoredDir(scratch_.Path() / "out")),
            std::string::npos);
}

TEST_F(ConsoleProgramTest, HelpNamesEverySwitchWithAnExample) {
  EXPECT_EQ(Run({"--help"}), kExitComplete);
  for (const char* text : {"/m:DIR", "/m ", "/o:DIR", "/f:DATE", "/t:DATE", "/a[:V]", "/s[:V]", "/i[:V]", "/i:d",
                           "/i:i", "/d[:V]", "/b:MiB", "/g", "/x", "--version", "--list", "--bars", "--unzip", "--dump",
                           "Example:", "--set-defaults", "--force", "--check-import", "midnight at the START", "there Smart import is always skipped",
                           "\n  0    \"Export complete.\"", "\n  1    usage", "\n  2    settings refused",
                           "\n  3    a conversion stage failed", "\n  4    \"Export complete, but import failed.\"",
                           "\n  5    the export completed, but left something out", "\n  130  stopped"})
    EXPECT_NE(out_.str().find(text), std::string::npos) << text;
  out_.str("");
  EXPECT_EQ(Run({"--version"}), kExitComplete);
  EXPECT_EQ(out_.str(), std::string("vuzuz-archive-creator ") + kProgramVersion + "\n");
  EXPECT_EQ(Run({"--frobnicate"}), kExitSetupFailed);
  EXPECT_EQ(Run({"--dump"}), kExitSetupFailed);  // missing its argument
  EXPECT_TRUE(log_.Entries().empty());            // none of these ran anything
}

TEST_F(ConsoleProgramTest, NoArgumentsOrSampleConvertTheSample) {
  const auto sample = scratch_.Path() / "bin" / "sample";
  int writes = 0;
  options_.writeSample = [&](const std::string& dir) {
    ++writes;
    WriteMasters(dir);
    return std::string();
  };
  options_.sampleRange = [](double& first, double& last) {
    first = 44927;  // 2023-01-01
    last = 44990;
  };
  EXPECT_EQ(Run({}), kExitComplete);
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(runSettings_.msDir, StoredDir(sample / "metastock"));
  EXPECT_EQ(runSettings_.output, StoredDir(sample / "output"));
  EXPECT_EQ(runSettings_.from, 44927);
  EXPECT_TRUE(std::filesystem::is_directory(sample / "output"));
  EXPECT_NE(err_.str().find("Archives are in"), std::string::npos);
  // The sample leaves the stored settings alone, and is written only once.
  EXPECT_FALSE(Logged("read-stored"));
  EXPECT_FALSE(Logged("write-stored"));
  EXPECT_EQ(Run({"--sample"}), kExitComplete);  // the same as no arguments
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(runSettings_.msDir, StoredDir(sample / "metastock"));

  options_.writeSample = [](const std::string&) { return std::string("disk full"); };
  options_.sampleDir = (scratch_.Path() / "elsewhere" / "sample").string();
  EXPECT_EQ(Run({}), kExitSetupFailed);
  EXPECT_NE(err_.str().find("disk full"), std::string::npos);
}

VZ_TEST_CHILD(ConsoleStopSignal) {
  platform::InstallConsoleStopHandler();
  if (platform::ConsoleStopRequested()) return 2;
  std::raise(SIGINT);  // the process must survive and remember it
  return platform::ConsoleStopRequested() ? 0 : 1;
}

TEST(ConsoleSignal, CtrlCBecomesAStopRequest) { EXPECT_EQ(test::RunChild("ConsoleStopSignal", {}), 0); }

}  // namespace
}  // namespace vz::app
