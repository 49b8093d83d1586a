#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sstream>
#include <thread>

#include "RunFakes.h"
#include "app/console/ConsoleProgram.h"
#include "app/run/PathText.h"
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
    options_.programDir = (scratch_.Path() / "bin").string();
    auto& services = options_.services;
    services.makeStages = [this](const TRunSettings& settings, IRunStatus& status) {
      runSettings_ = settings;
      auto stages = std::make_unique<test::TFakeStages>(log_);
      stages->failAt = failAt_;
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
      server->importResults = {false};
      return server;
    };
    services.sleep = [](int) {};
    services.deleteClock = [](double d) { return d; };
    services.nextStartDate = [](const std::string&, double today) { return today - 90; };
    services.now = [] { return kToday; };
    services.defaultMsDir = [] { return std::string(); };
    services.readStored = [this](platform::StoredValues&) {
      log_.Add("read-stored");
      return false;
    };
    services.writeStored = [this](const platform::StoredValues&) {
      log_.Add("write-stored");
      return true;
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
  std::atomic<bool> stopPressed_{false};
  TRunSettings runSettings_;
};

struct ExitCase {
  const char* name;
  std::string failAt;
  std::string stopIn;
  bool serverRunning;
  bool validMsDir;
  int status;
  std::string errText;
};

TEST_F(ConsoleProgramTest, ExitStatusTellsHowTheRunEnded) {
  const ExitCase cases[] = {
      {"complete", "", "", false, true, kExitComplete, "Export complete.\n"},
      {"stage failed", "export", "", false, true, kExitStageFailed, "Failed: working in export\n"},
      {"ctrl+c", "", "collect", false, true, kExitTerminated, "Terminated.\n"},
      {"import failed", "", "", true, true, kExitImportFailed, "Export complete, but import failed.\n"},
      {"settings refused", "", "", false, false, kExitInvalidSettings, "error: Invalid MetaStock directory.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    err_.str("");
    failAt_ = c.failAt;
    stopIn_ = c.stopIn;
    stopPressed_ = false;
    serverRunning_ = c.serverRunning;
    const auto msDir = c.validMsDir ? msDir_ : scratch_.Path();
    const int status = Run({"/m:" + msDir.string(), "-o:" + (scratch_.Path() / "out").string()});
    EXPECT_EQ(status, c.status);
    EXPECT_NE(err_.str().find(c.errText), std::string::npos) << err_.str();
  }
  EXPECT_TRUE(Logged("read-stored"));
  EXPECT_TRUE(Logged("write-stored"));
}

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
                           "/i:i", "/d[:V]", "/g", "/x", "--version", "--list", "--bars", "--unzip", "--dump",
                           "Example:"})
    EXPECT_NE(out_.str().find(text), std::string::npos) << text;
  out_.str("");
  EXPECT_EQ(Run({"--version"}), kExitComplete);
  EXPECT_EQ(out_.str().rfind("vuzuz-archive-creator ", 0), 0u);
  EXPECT_EQ(Run({"--frobnicate"}), kExitSetupFailed);
  EXPECT_EQ(Run({"--dump"}), kExitSetupFailed);  // missing its argument
  EXPECT_TRUE(log_.Entries().empty());            // none of these ran anything
}

TEST_F(ConsoleProgramTest, NoArgumentsConvertsTheSampleNextToTheProgram) {
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
  EXPECT_EQ(Run({}), kExitComplete);
  EXPECT_EQ(writes, 1);

  options_.writeSample = [](const std::string&) { return std::string("disk full"); };
  options_.programDir = (scratch_.Path() / "elsewhere").string();
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
