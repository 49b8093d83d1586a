// --check-import against GlobalServer on the simulated desktop: each step
// reported, GlobalServer left as it was, 0 only when a scheduled run could
// import.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

#include "LentDesktop.h"
#include "app/console/ConsoleProgram.h"
#include "app/run/PathText.h"
#include "automation/GlobalServerWindows.h"
#include "automation/SimGlobalServer.h"
#include "support/ScratchDir.h"

namespace vz::app {
namespace {

using test::SimServerBehaviour;
using test::TSimDesktop;
using test::TSimGlobalServer;

constexpr double kApril2_2001 = 36983;

// A directory as the command line stores it (lower-cased where names
// ignore case).
std::string StoredDir(const std::filesystem::path& path) {
  const std::string text = WithDirSeparator(path.string());
  return kCaseSensitiveFileNames ? text : LowerAscii(text);
}

class CheckImportCommandTest : public testing::Test {
protected:
  CheckImportCommandTest() {
    const auto& dir = scratch_.Path();
    std::filesystem::create_directories(dir / "2001_03");
    for (const char* name : {"d0103.omz", "2001_03/i010302.omz", "2001_03/i010303.omz"})
      test::WriteFileBytes(dir / name, "archive");
    options_.out = &out_;
    options_.err = &err_;
    options_.smartImportAvailable = true;
    auto& services = options_.services;
    services.now = [] { return kApril2_2001; };
    services.nextStartDate = [](const std::string&, double today) { return today - 90; };
    services.defaultMsDir = [] { return std::string(); };
    services.readStored = [](platform::StoredValues&) { return false; };
    services.writeStored = [this](const platform::StoredValues&) {
      stored_ = true;
      return true;
    };
    services.makeGlobalServer = [this](automation::StepLog log) {
      return automation::MakeDesktopGlobalServer(std::make_unique<test::TLentDesktop>(*desktop_), std::move(log));
    };
  }

  // --check-import over March 2001 with `more` switches after the range.
  int Check(const std::vector<std::string>& more = {}) {
    std::vector<std::string> args{"--check-import", "/o:" + scratch_.Path().string(), "/f:20010301", "/t:20010331"};
    args.insert(args.end(), more.begin(), more.end());
    return RunConsoleProgram(args, options_);
  }
  bool Printed(const std::string& text) const { return out_.str().find(text) != std::string::npos; }

  test::TScratchDir scratch_;
  std::unique_ptr<TSimDesktop> desktop_ = std::make_unique<TSimDesktop>();
  ConsoleProgramOptions options_;
  std::ostringstream out_, err_;
  bool stored_ = false;
};

TEST_F(CheckImportCommandTest, ReportsEachStepAndChangesNothing) {
  struct Case {
    const char* name;
    std::function<void(SimServerBehaviour&)> breakIt;
    std::vector<std::string> switches;
    int status;
    std::vector<std::string> printed;
  };
  const Case cases[] = {
      {"all answer", [](auto&) {}, {}, kExitComplete,
       {"[ok]     Smart import is on", "[ok]     GlobalServer is running",
        "from 2001-03-01 to 2001-03-31 in " + StoredDir(scratch_.Path()) +
            ": 1 monthly archive and 2 day archives, all readable",
        "[ok]     Import wizard: opened from GlobalServer's menu and cancelled",
        "[ok]     Delete wizard: opened from GlobalServer's menu and cancelled", "A scheduled run could import."}},
      {"import wizard without Browse", [](auto& b) { b.browseButton = false; }, {}, kExitImportFailed,
       {"[FAILED] Import wizard: the import wizard's first page has no Browse button",
        "[ok]     Delete wizard: opened", "A scheduled run could not import: Import wizard: "}},
      {"delete wizard without its page", [](auto& b) { b.deletePage = false; }, {}, kExitImportFailed,
       {"[ok]     Import wizard: opened", "[FAILED] Delete wizard: the delete wizard showed no first page"}},
      {"delete wizard broken, Delete data off", [](auto& b) { b.deletePage = false; }, {"/d:n"}, kExitComplete,
       {"[--]     Delete wizard: not used (\"Delete data\" is off)", "A scheduled run could import."}},
      {"Smart import off", [](auto&) {}, {"/i:n"}, kExitImportFailed,
       {"[FAILED] Smart import is off in the settings", "[ok]     Import wizard: opened"}},
      {"no archives yet", [](auto&) {}, {"/f:20010501", "/t:20010531"}, kExitComplete,
       {"from 2001-05-01 to 2001-05-31", ": none yet"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    out_.str("");
    desktop_ = std::make_unique<TSimDesktop>();
    SimServerBehaviour behaviour;
    c.breakIt(behaviour);
    TSimGlobalServer server(*desktop_, behaviour);
    EXPECT_EQ(Check(c.switches), c.status) << out_.str();
    for (const std::string& text : c.printed) EXPECT_TRUE(Printed(text)) << text << "\n" << out_.str();
    // Nothing imported, deleted, selected or finished; no setting stored.
    EXPECT_TRUE(server.Imported().empty());
    EXPECT_FALSE(server.DeleteFinished());
    EXPECT_FALSE(server.ImportFinished());
    EXPECT_FALSE(server.SelectedAll());
    EXPECT_EQ(server.ComboSelection(), -1);
    for (const auto& message : desktop_->Log()) {
      EXPECT_NE(message.wParam, automation::gs::kCmdFinish);
      EXPECT_NE(message.wParam, automation::gs::kCmdBrowse);
    }
    EXPECT_FALSE(stored_);
  }
}

TEST_F(CheckImportCommandTest, WithoutGlobalServerTheWizardsAreNotTried) {
  EXPECT_EQ(Check(), kExitImportFailed);
  EXPECT_TRUE(Printed("[FAILED] GlobalServer is not running"));
  EXPECT_TRUE(Printed("[--]     Import and delete wizards: not tried without GlobalServer"));
  EXPECT_TRUE(desktop_->Log().empty());
}

TEST_F(CheckImportCommandTest, WhereThereIsNoGlobalServerToDriveItSaysSo) {
  options_.smartImportAvailable = false;
  EXPECT_EQ(Check(), kExitImportFailed);
  EXPECT_TRUE(Printed("Smart import needs Windows"));
  EXPECT_EQ(RunConsoleProgram({"--check-import", "/f:2001-03-01"}, options_), kExitSetupFailed);
  EXPECT_NE(err_.str().find("/f:2001-03-01"), std::string::npos);
}

}  // namespace
}  // namespace vz::app
