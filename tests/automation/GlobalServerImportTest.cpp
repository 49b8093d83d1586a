#include <gtest/gtest.h>

#include <functional>

#include "SimGlobalServer.h"
#include "automation/GlobalServerWizards.h"

namespace vz::automation {
namespace {

using test::SimServerBehaviour;
using test::TSimDesktop;
using test::TSimGlobalServer;
using Lines = std::vector<std::string>;

const std::vector<std::string> kTwoFiles = {"Z:\\out\\d0201", "Z:\\out\\d0202"};

struct ImportRun {
  explicit ImportRun(SimServerBehaviour behaviour = {}) : server(desktop, behaviour) {}
  ImportOutcome Import(const std::vector<std::string>& files = kTwoFiles) {
    return GlobalServerImport(desktop, files, [this](const std::string& step) { steps.push_back(step); });
  }
  TSimDesktop desktop;
  TSimGlobalServer server;
  Lines steps;
};

TEST(GlobalServerImport, SendsTheMenuKeysAndEveryWizardMessageWordForWord) {
  ImportRun run;
  ASSERT_EQ(run.Import(), ImportOutcome::Imported);
  const Lines expected = {
      "send main WM_SYSCOMMAND 0xF120 0x0",
      "send main WM_ACTIVATE 0x1 0x0",
      "post main WM_SYSKEYDOWN 0x12 0x20380001",
      "post main WM_SYSKEYDOWN 0x46 0x20210001",
      "post main WM_SYSKEYUP 0x46 0xF0210001",
      "post main WM_KEYUP 0x12 0xD0380001",
      "post main WM_KEYDOWN 0x49 0x10170001",
      "post main WM_KEYUP 0x49 0xD0170001",
      "post main WM_KEYDOWN 0x56 0x102F0001",
      "post main WM_KEYUP 0x56 0xD02F0001",
      "post page WM_COMMAND 5109 browse",
      "send field WM_SETTEXT \"Z:\\out\\d0201\"",
      "send field EM_SETMODIFY 0x1 0x0",
      "send field WM_GETTEXT 10",
      "post dialog WM_COMMAND 1 open",
      "post page WM_COMMAND 5109 browse",
      "send field WM_SETTEXT \"Z:\\out\\d0202\"",
      "send field EM_SETMODIFY 0x1 0x0",
      "send field WM_GETTEXT 10",
      "post dialog WM_COMMAND 1 open",
      "post wizard WM_COMMAND 12324 next",
      "post portfolio BM_SETCHECK 0x0 0x0",
      "post selected BM_SETCHECK 0x0 0x0",
      "post symbols WM_COMMAND 5355 all",
      "post wizard WM_COMMAND 12324 next",
      "post wizard WM_COMMAND 12324 next",
      "post wizard WM_COMMAND 12325 finish",
      "send notice WM_CLOSE 0x0 0x0",
      "send main WM_SYSCOMMAND 0xF020 0x0",
  };
  EXPECT_EQ(run.desktop.LogLines(), expected);
  EXPECT_EQ(run.server.Imported(), kTwoFiles);
  EXPECT_TRUE(run.server.ImportFinished());
  EXPECT_TRUE(run.server.Minimised());
}

TEST(GlobalServerImport, NothingToDoSendsNothing) {
  {
    ImportRun run;
    EXPECT_EQ(run.Import({}), ImportOutcome::Imported);
    EXPECT_TRUE(run.desktop.Log().empty());
  }
  TSimDesktop empty;  // no GlobalServer
  empty.Create("otherWizard", "#32770", "Import Data", test::kOtherProcess);
  EXPECT_EQ(GlobalServerImport(empty, kTwoFiles, {}), ImportOutcome::NotRunning);
  EXPECT_TRUE(empty.Log().empty());
}

// The time of the n-th message matching `line`.
std::int64_t TimeOf(const TSimDesktop& desktop, const std::string& line, int n = 0) {
  for (const auto& message : desktop.Log())
    if (desktop.Describe(message) == line && n-- == 0) return message.atMs;
  ADD_FAILURE() << "no " << line;
  return -1;
}

TEST(GlobalServerImport, PausesFiveSecondsBeforeTheFirstFileOnly) {
  ImportRun run;
  ASSERT_EQ(run.Import(), ImportOutcome::Imported);
  const std::string browse = "post page WM_COMMAND 5109 browse";
  // One poll finds the dialog, one its file name field; the first file then
  // waits 5000 ms more.
  EXPECT_EQ(TimeOf(run.desktop, "send field WM_SETTEXT \"Z:\\out\\d0201\"") - TimeOf(run.desktop, browse, 0), 5200);
  EXPECT_EQ(TimeOf(run.desktop, "send field WM_SETTEXT \"Z:\\out\\d0202\"") - TimeOf(run.desktop, browse, 1), 200);
}

TEST(GlobalServerImport, ProgressThatNeverShowsIsTakenAsDone) {
  SimServerBehaviour behaviour;
  behaviour.readingMs = -1;
  behaviour.importingMs = -1;
  ImportRun run(behaviour);
  ASSERT_EQ(run.Import(), ImportOutcome::Imported);
  // Ten polls for the progress window, then the first poll finds the notice.
  EXPECT_EQ(
      TimeOf(run.desktop, "send notice WM_CLOSE 0x0 0x0") - TimeOf(run.desktop, "post wizard WM_COMMAND 12325 finish"),
      1000 + 100);
}

TEST(GlobalServerImport, FindsTheRussianCaptions) {
  SimServerBehaviour behaviour;
  behaviour.russian = true;
  ImportRun run(behaviour);
  EXPECT_EQ(run.Import(), ImportOutcome::Imported);
  EXPECT_EQ(run.server.Imported(), kTwoFiles);
  EXPECT_TRUE(run.server.Minimised());
}

TEST(GlobalServerImport, WaitsForAPageOrButtonThatShowsLate) {
  SimServerBehaviour behaviour;
  behaviour.pageDelayMs = 2000;
  ImportRun run(behaviour);
  EXPECT_EQ(run.Import(), ImportOutcome::Imported);
  EXPECT_EQ(run.server.Imported(), kTwoFiles);
}

TEST(GlobalServerImport, RetypesTheFileNameUntilItReadsBack) {
  SimServerBehaviour behaviour;
  behaviour.emptyReadBacks = 3;
  ImportRun run(behaviour);
  ASSERT_EQ(run.Import(), ImportOutcome::Imported);
  int typed = 0;
  for (const auto& line : run.desktop.LogLines()) typed += line.rfind("send field WM_SETTEXT", 0) == 0;
  EXPECT_EQ(typed, 4 + 1);
}

struct FailureCase {
  const char* name;
  std::function<void(SimServerBehaviour&)> breakIt;
  Lines closed;                 // sent WM_CLOSE, in order
  std::int64_t elapsedMs = -1;  // from the start of the call to its end, when checked
};

TEST(GlobalServerImport, EachFailureClosesWhatItOpenedAndReturnsFalse) {
  // Before the first file: restore, menu keys, then the wizard. The wizard
  // shows at once here; waiting for it costs one poll.
  const FailureCase cases[] = {
      {"no wizard", [](auto& b) { b.importWizard = false; }, {}, 50 * 100},
      {"no page", [](auto& b) { b.pageDelayMs = 1'000'000; }, {"wizard"}, 100 + 50 * 100},
      {"no Browse button", [](auto& b) { b.browseButton = false; }, {"wizard"}, 100 + 50 * 100},
      {"no file dialog", [](auto& b) { b.fileDialog = false; }, {"wizard"}, 100 + 500 * 100},
      {"no file name field", [](auto& b) { b.fileNameField = false; }, {"dialog", "wizard"}, 100 + 100 + 500 * 100},
      {"no Open button", [](auto& b) { b.openButton = false; }, {"dialog", "wizard"}},
      {"file name never reads back",
       [](auto& b) { b.emptyReadBacks = -1; },
       {"dialog", "wizard"},
       100 + 200 + 5000 + 50 * 200},
      {"second Open window", [](auto& b) { b.refusedFile = 0; }, {"complaint", "dialog", "wizard"}},
      {"no Next button", [](auto& b) { b.nextButton = false; }, {"wizard"}},
      {"reading symbols stuck", [](auto& b) { b.readingMs = test::kForever; }, {"reading", "wizard"}},
      {"no symbol choice", [](auto& b) { b.showGroup = false; }, {"wizard"}},
      {"no portfolio choice", [](auto& b) { b.portfolioRadio = false; }, {"wizard"}},
      {"no All Symbols", [](auto& b) { b.allSymbolsRadio = false; }, {"wizard"}},
      {"no Finish button", [](auto& b) { b.finishButton = false; }, {"wizard"}},
      {"import stuck", [](auto& b) { b.importingMs = test::kForever; }, {"importing", "wizard"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimServerBehaviour behaviour;
    c.breakIt(behaviour);
    ImportRun run(behaviour);
    EXPECT_EQ(run.Import(), ImportOutcome::Failed);
    EXPECT_EQ(run.desktop.Closed(), c.closed);
    EXPECT_FALSE(run.server.Minimised());
    if (c.elapsedMs >= 0) EXPECT_EQ(run.desktop.Now(), c.elapsedMs);
    ASSERT_FALSE(run.steps.empty());
    EXPECT_NE(run.steps.back().find("Import: "), std::string::npos);
  }
}

TEST(GlobalServerImport, ARefusedFileEndsTheImportBeforeTheNextOne) {
  SimServerBehaviour behaviour;
  behaviour.refusedFile = 1;
  ImportRun run(behaviour);
  EXPECT_EQ(run.Import({"a", "b", "c"}), ImportOutcome::Failed);
  EXPECT_EQ(run.server.Imported(), Lines{"a"});
  int browses = 0;
  for (const auto& line : run.desktop.LogLines()) browses += line == "post page WM_COMMAND 5109 browse";
  EXPECT_EQ(browses, 2);
  EXPECT_EQ(run.desktop.Closed(), (Lines{"complaint", "dialog", "wizard"}));
}

TEST(GlobalServerImport, WaitsLongForTheImportButShortForItsNotice) {
  SimServerBehaviour slow;
  slow.importingMs = 900'000;  // a quarter of an hour
  ImportRun run(slow);
  EXPECT_EQ(run.Import(), ImportOutcome::Imported);

  SimServerBehaviour stuck;
  stuck.importingMs = test::kForever;
  ImportRun stuckRun(stuck);
  EXPECT_EQ(stuckRun.Import(), ImportOutcome::Failed);
  // Ten thousand polls for the progress to close after it showed.
  EXPECT_EQ(TimeOf(stuckRun.desktop, "send importing WM_CLOSE 0x0 0x0") -
                TimeOf(stuckRun.desktop, "post wizard WM_COMMAND 12325 finish"),
            100 + 10000 * 100);

  // The progress window closed as it should, but no notice follows: the
  // import is taken as done after 500 polls, unconfirmed, and nothing is
  // closed or minimised.
  SimServerBehaviour silent;
  silent.notice = false;
  ImportRun silentRun(silent);
  EXPECT_EQ(silentRun.Import(), ImportOutcome::Unconfirmed);
  const std::int64_t importEnd = TimeOf(silentRun.desktop, "post wizard WM_COMMAND 12325 finish") + 2000;
  EXPECT_EQ(silentRun.desktop.Now() - importEnd, 500 * 100);
  EXPECT_EQ(silentRun.server.Imported(), kTwoFiles);
  EXPECT_TRUE(silentRun.desktop.Closed().empty());
  EXPECT_FALSE(silentRun.server.Minimised());
  EXPECT_EQ(silentRun.steps.back(), "Import: GlobalServer never confirmed");
}

}  // namespace
}  // namespace vz::automation
