#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>

#include "SimGlobalServer.h"
#include "automation/GlobalServerWindows.h"
#include "automation/GlobalServerWizards.h"

namespace vz::automation {
namespace {

using test::SimServerBehaviour;
using test::TSimDesktop;
using test::TSimGlobalServer;
using Lines = std::vector<std::string>;

constexpr double kFeb21_2002 = 37308;
constexpr double k130509 = (13 * 3600 + 5 * 60 + 9) / 86400.0;

struct DeleteRun {
  explicit DeleteRun(SimServerBehaviour behaviour = {}) : server(desktop, behaviour) {}
  // True when the deletion was confirmed.
  bool Delete(double from = kFeb21_2002 + k130509, double to = kFeb21_2002 + 1) {
    outcome = GlobalServerDelete(desktop, from, to, [this](const std::string& step) { steps.push_back(step); });
    return outcome == DeleteOutcome::Deleted;
  }
  DeleteOutcome outcome = DeleteOutcome::Failed;
  TSimDesktop desktop;
  TSimGlobalServer server;
  Lines steps;
};

// One typed digit: down then up, posted, with the words of the first digit
// of a group or of a later one.
void Digit(Lines& lines, const std::string& field, char digit, bool first) {
  char key[8];
  std::snprintf(key, sizeof key, "0x%X", static_cast<unsigned>(digit));
  lines.push_back("post " + field + " WM_KEYDOWN " + key + (first ? " 0x20001" : " 0x30001"));
  lines.push_back("post " + field + " WM_KEYUP " + key + (first ? " 0xC0020001" : " 0xC0030001"));
}

void Right(Lines& lines, const std::string& field) {
  lines.push_back("send " + field + " WM_KEYDOWN 0x27 0x94D0001");
  lines.push_back("send " + field + " WM_KEYUP 0x27 0xC94D0001");
}

// Groups separated by Right arrows, as the wizard's fields are typed.
void Groups(Lines& lines, const std::string& field, const Lines& groups) {
  for (size_t g = 0; g < groups.size(); ++g) {
    if (g > 0) Right(lines, field);
    for (size_t i = 0; i < groups[g].size(); ++i) Digit(lines, field, groups[g][i], i == 0);
  }
}

TEST(GlobalServerDelete, ResetsTheFilterOpensTheWizardAndTypesTheRangeWordForWord) {
  DeleteRun run;
  ASSERT_TRUE(run.Delete());
  Lines expected = {
      "send main WM_SYSCOMMAND 0xF120 0x0",      "send main WM_ACTIVATE 0x1 0x0",
      "send combo CB_SETCURSEL 0x0 0x0",
      "send combo WM_COMMAND 66536 dropDown",  // 0x000103E8: control 1000, notification 1
      "post main WM_SYSKEYDOWN 0x12 0x20380001", "post main WM_SYSKEYDOWN 0x45 0x20210001",
      "post main WM_SYSKEYUP 0x45 0xF0210001",   "post main WM_KEYUP 0x12 0xD0380001",
      "post main WM_KEYDOWN 0x41 0x10170001",    "post main WM_KEYUP 0x41 0xD0170001",
      "post main WM_SYSKEYDOWN 0x12 0x20380001", "post main WM_SYSKEYDOWN 0x46 0x20210001",
      "post main WM_SYSKEYUP 0x46 0xF0210001",   "post main WM_KEYUP 0x12 0xD0380001",
      "post main WM_KEYDOWN 0x44 0x10170001",    "post main WM_KEYUP 0x44 0xD0170001",
  };
  Groups(expected, "startDate", {"02", "21", "2002"});
  Groups(expected, "endDate", {"02", "22", "2002"});
  Groups(expected, "startTime", {"13", "05", "09"});
  Groups(expected, "endTime", {"00", "00", "00"});
  expected.push_back("post wizard WM_COMMAND 12324 next");
  expected.push_back("post wizard WM_COMMAND 12325 finish");
  expected.push_back("send notice WM_CLOSE 0x0 0x0");
  EXPECT_EQ(run.desktop.LogLines(), expected);
  EXPECT_EQ(run.server.TypedFields(), (Lines{"02>21>2002", "02>22>2002", "13>05>09", "00>00>00"}));
  EXPECT_EQ(run.server.ComboSelection(), 0);
  EXPECT_TRUE(run.server.SelectedAll());
  EXPECT_TRUE(run.server.DeleteFinished());
  EXPECT_FALSE(run.server.Minimised());
}

TEST(GlobalServerDelete, PausesBetweenTheMenuPathsAndAfterEveryKey) {
  DeleteRun run;
  ASSERT_TRUE(run.Delete());
  const auto& log = run.desktop.Log();
  // Alt+E, A at once, then Alt+F, D a second later.
  EXPECT_EQ(log[4].atMs, 0);
  EXPECT_EQ(log[10].atMs, 1000);
  // Wizard found at the first poll; eight digits and two Right arrows per
  // date field, six and two per time field, each followed by 100 ms.
  const std::int64_t typing = (2 * 10 + 2 * 8) * 100;
  // Then 100 ms after Next, the deletion's second (polled until it closes)
  // and one poll that finds the notice.
  EXPECT_EQ(run.desktop.Now(), 1000 + 100 + typing + 100 + 1000 + 100);
}

TEST(GlobalServerDelete, TypesMidnightAsZeroesAndDropsMilliseconds) {
  const struct {
    double from, to;
    Lines typed;
  } cases[] = {
      {kFeb21_2002, kFeb21_2002, {"02>21>2002", "02>21>2002", "00>00>00", "00>00>00"}},
      {kFeb21_2002 + (86399.9994 / 86400.0), kFeb21_2002 + 0.5, {"02>21>2002", "02>21>2002", "23>59>59", "12>00>00"}},
      {2, 0.5, {"01>01>1900", "12>30>1899", "00>00>00", "12>00>00"}},
  };
  for (const auto& c : cases) {
    DeleteRun run;
    ASSERT_TRUE(run.Delete(c.from, c.to));
    EXPECT_EQ(run.server.TypedFields(), c.typed);
  }
}

TEST(GlobalServerDelete, TypesIntoTheFieldsEvenWhenTheFocusIsRefused) {
  DeleteRun run;
  run.desktop.refuseFocus = true;  // another process's window under Wine
  EXPECT_TRUE(run.Delete());
  EXPECT_EQ(run.server.TypedFields(), (Lines{"02>21>2002", "02>22>2002", "13>05>09", "00>00>00"}));
}

TEST(GlobalServerDelete, WaitsForTimeFieldsThatShowLate) {
  SimServerBehaviour behaviour;
  behaviour.timeFieldsDelayMs = 300;
  DeleteRun run(behaviour);
  EXPECT_TRUE(run.Delete());
  EXPECT_EQ(run.server.TypedFields(), (Lines{"02>21>2002", "02>22>2002", "13>05>09", "00>00>00"}));
}

TEST(GlobalServerDelete, WithoutGlobalServerSendsNothing) {
  TSimDesktop desktop;
  desktop.Create("otherWizard", "#32770", "Delete Data", test::kOtherProcess);
  EXPECT_EQ(GlobalServerDelete(desktop, kFeb21_2002, kFeb21_2002 + 1, {}), DeleteOutcome::NotRunning);
  EXPECT_TRUE(desktop.Log().empty());
}

TEST(GlobalServerDelete, WithoutTheDropDownListNamesNoList) {
  SimServerBehaviour behaviour;
  behaviour.dropDownList = false;
  DeleteRun run(behaviour);
  EXPECT_TRUE(run.Delete());
  EXPECT_EQ(run.desktop.LogLines()[3], "send combo WM_COMMAND 66536 0");
}

struct FailureCase {
  const char* name;
  std::function<void(SimServerBehaviour&)> breakIt;
  Lines closed;
  bool keysPosted = true;
  bool rangeTyped = true;
};

TEST(GlobalServerDelete, EachFailureClosesWhatItOpenedAndReturnsFalse) {
  const FailureCase cases[] = {
      {"no filter label", [](auto& b) { b.filterLabel = false; }, {}, false, false},
      {"no filter list", [](auto& b) { b.filterCombo = false; }, {}, false, false},
      {"no wizard", [](auto& b) { b.deleteWizard = false; }, {}, true, false},
      {"no page", [](auto& b) { b.deletePage = false; }, {"wizard"}, true, false},
      // The tab order would wrap round to the start date.
      {"three fields only", [](auto& b) { b.dateFields = 3; }, {"wizard"}, true, false},
      {"no Next button", [](auto& b) { b.nextButton = false; }, {"wizard"}},
      {"no Finish button", [](auto& b) { b.finishButton = false; }, {"wizard"}},
      {"deletion stuck", [](auto& b) { b.deletingMs = test::kForever; }, {"deleting", "wizard"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimServerBehaviour behaviour;
    c.breakIt(behaviour);
    DeleteRun run(behaviour);
    EXPECT_FALSE(run.Delete());
    EXPECT_EQ(run.outcome, DeleteOutcome::Failed);
    EXPECT_EQ(run.desktop.Closed(), c.closed);
    bool posted = false;
    for (const auto& message : run.desktop.Log()) posted = posted || message.posted;
    EXPECT_EQ(posted, c.keysPosted);
    bool typed = false;
    for (const auto& field : run.server.TypedFields()) typed = typed || !field.empty();
    EXPECT_EQ(typed, c.rangeTyped);
    ASSERT_FALSE(run.steps.empty());
    EXPECT_EQ(run.steps.back().rfind("Delete: ", 0), 0u);
  }
}

TEST(GlobalServerDelete, WaitsFiveHundredPollsForTheNoticeAndTenThousandForTheProgress) {
  SimServerBehaviour silent;
  silent.notice = false;
  DeleteRun run(silent);
  // The deletion ran (its progress closed) but was never confirmed: told
  // apart from a failure, so that the run neither deletes again nor skips
  // the import.
  EXPECT_FALSE(run.Delete());
  EXPECT_EQ(run.outcome, DeleteOutcome::Unconfirmed);
  EXPECT_TRUE(run.server.DeleteFinished());
  EXPECT_TRUE(run.desktop.Closed().empty());
  const std::int64_t finish = run.desktop.Log().back().atMs;  // Finish is the last message
  EXPECT_EQ(run.desktop.Now() - finish, 1000 /*deleting*/ + 500 * 100);

  SimServerBehaviour stuck;
  stuck.deletingMs = test::kForever;
  DeleteRun stuckRun(stuck);
  EXPECT_FALSE(stuckRun.Delete());
  EXPECT_EQ(stuckRun.outcome, DeleteOutcome::Failed);
  const auto& log = stuckRun.desktop.Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 2].atMs - log[log.size() - 3].atMs, 100 + 10000 * 100);
}

TEST(GlobalServerDelete, FindsTheRussianButtons) {
  SimServerBehaviour behaviour;
  behaviour.russian = true;
  DeleteRun run(behaviour);
  EXPECT_TRUE(run.Delete());
  EXPECT_TRUE(run.server.DeleteFinished());
}

TEST(GlobalServerDelete, RefusesARangeThatIsNoDate) {
  DeleteRun run;
  EXPECT_FALSE(run.Delete(std::nan(""), kFeb21_2002));
  EXPECT_FALSE(run.Delete(kFeb21_2002, 1e12));
  for (const auto& message : run.desktop.Log()) EXPECT_FALSE(message.posted);
}

// Trying the wizard before the first night: it opens and is cancelled,
// with nothing typed, selected or deleted; a part that does not answer is
// named, and a wizard it opened is closed again.
TEST(GlobalServerCheckDelete, OpensAndCancelsTheWizardChangingNothing) {
  const struct {
    const char* name;
    std::function<void(SimServerBehaviour&)> breakIt;
    std::string problem;  // "" for none
    Lines closed;
  } cases[] = {
      {"intact", [](auto&) {}, "", {"wizard"}},
      {"Russian buttons", [](auto& b) { b.russian = true; }, "", {"wizard"}},
      {"no filter list", [](auto& b) { b.filterCombo = false; }, "no filter list", {}},
      {"no wizard", [](auto& b) { b.deleteWizard = false; }, "did not open", {}},
      {"no page", [](auto& b) { b.deletePage = false; }, "no first page", {"wizard"}},
      {"three fields only", [](auto& b) { b.dateFields = 3; }, "fewer than four", {"wizard"}},
      {"no Next button", [](auto& b) { b.nextButton = false; }, "no Next button", {"wizard"}},
      {"no Finish button", [](auto& b) { b.finishButton = false; }, "no Finish button", {"wizard"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimServerBehaviour behaviour;
    c.breakIt(behaviour);
    DeleteRun run(behaviour);
    const std::string problem =
        GlobalServerCheckDelete(run.desktop, [&run](const std::string& step) { run.steps.push_back(step); });
    if (c.problem.empty()) EXPECT_EQ(problem, "");
    else EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    EXPECT_EQ(run.desktop.Closed(), c.closed);
    for (const auto& field : run.server.TypedFields()) EXPECT_EQ(field, "");
    EXPECT_EQ(run.server.ComboSelection(), -1);
    EXPECT_FALSE(run.server.SelectedAll());
    EXPECT_FALSE(run.server.DeleteFinished());
    for (const auto& message : run.desktop.Log())
      EXPECT_TRUE(message.message != gs::kWmCommand && message.message != gs::kCbSetCurSel) << message.message;
  }

  TSimDesktop empty;
  EXPECT_EQ(GlobalServerCheckDelete(empty, {}), "GlobalServer is not running");
  EXPECT_TRUE(empty.Log().empty());
}

}  // namespace
}  // namespace vz::automation
