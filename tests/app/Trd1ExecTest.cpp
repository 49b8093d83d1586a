#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "RunFakes.h"
#include "app/run/PathText.h"
#include "app/run/Trd1Exec.h"
#include "support/ScratchDir.h"

namespace vz::app {
namespace {

using Log = std::vector<std::string>;

constexpr double kMarch1_2001 = 36951;
constexpr double kMay31_2001 = 37042;

class Trd1ExecTest : public testing::Test {
protected:
  Trd1ExecTest() {
    settings_.output = WithDirSeparator(scratch_.Path().generic_string());
    settings_.from = kMarch1_2001 + 0.25;  // 06:00
    settings_.to = kMay31_2001 + 0.999;
    settings_.import = false;
  }

  RunResult Run() {
    SmartImportServices services{server_, dialog_, [this](int ms) { log_.Add("sleep " + std::to_string(ms)); },
                                 [](double d) { return d + 0.5; }};
    return Trd1Exec(settings_, status_, stages_, services, intradayList_);
  }

  static std::string Delete(double from, double to) {
    return "delete " + std::to_string(from + 0.5) + " " + std::to_string(to + 0.5);
  }

  test::TScratchDir scratch_;
  test::TCallLog log_;
  test::TFakeStages stages_{log_};
  test::TFakeGlobalServer server_{log_};
  test::TFakeRangeDialog dialog_{log_};
  test::TFakeRunStatus status_{log_};
  TRunSettings settings_;
  std::vector<std::string> intradayList_{"stale entry"};
};

struct EndCase {
  const char* name;
  bool create;
  std::string failAt;
  std::string stopIn;   // the stage during which a stop is requested
  std::string throwIn;  // the stage that throws
  RunEnd end;
  Log log;
};

TEST_F(Trd1ExecTest, EndsNormallyStoppedOrFailedAndAlwaysClosesTheDirectory) {
  const EndCase cases[] = {
      {"all stages", true, "", "", "", RunEnd::Normal, {"analyse", "collect", "export", "close-ms"}},
      {"analysis fails", true, "analyse", "", "", RunEnd::Failed, {"analyse", "close-ms"}},
      {"collection fails", true, "collect", "", "", RunEnd::Failed, {"analyse", "collect", "close-ms"}},
      {"export fails", true, "export", "", "", RunEnd::Failed, {"analyse", "collect", "export", "close-ms"}},
      {"stop in analysis", true, "", "analyse", "", RunEnd::Stopped, {"analyse", "close-ms"}},
      {"stop in the export", true, "", "export", "", RunEnd::Stopped, {"analyse", "collect", "export", "close-ms"}},
      {"analysis throws", true, "", "", "analyse", RunEnd::Failed, {"analyse", "close-ms"}},
      {"nothing to do", false, "", "", "", RunEnd::Normal, {"close-ms"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TCallLog log;
    test::TFakeStages stages(log);
    test::TFakeRunStatus status(log);
    test::TFakeGlobalServer server(log);
    stages.failAt = c.failAt;
    stages.onStage = [&](const std::string& stage) {
      if (stage == c.stopIn) status.stop = true;
      if (stage == c.throwIn) throw std::runtime_error("no valid date-time");
    };
    TRunSettings settings = settings_;
    settings.create = c.create;
    settings.import = true;  // the server is running: a stopped or failed run must not import
    settings.autoStart = true;
    server.running = true;
    SmartImportServices services{server, dialog_, [](int) {}, [](double d) { return d; }};
    std::vector<std::string> list;
    const RunResult result = Trd1Exec(settings, status, stages, services, list);
    EXPECT_EQ(result.end, c.end);
    Log expected = c.log;
    if (c.end == RunEnd::Normal) {
      // Smart import ran on the (empty) output directory.
      expected.insert(expected.end() - 1, {"find:yes", "status Smart import in progress...",
                                           "detail Checking the import wizard", "check",
                                           "delete 36951.000000 37042.000000", "import 0", "import 0"});
      EXPECT_TRUE(result.importOk);
    }
    EXPECT_EQ(log.Entries(), expected);
  }
}

TEST_F(Trd1ExecTest, SmartImportIsSkippedWhenGlobalServerIsNotRunning) {
  settings_.import = true;
  server_.running = false;
  const RunResult result = Run();
  EXPECT_EQ(result.end, RunEnd::Normal);
  EXPECT_TRUE(result.importOk);
  EXPECT_EQ(log_.Entries(), (Log{"analyse", "collect", "export", "find:no", "close-ms"}));
  // Exit 0 (the archives are made), but the final status and the log say
  // that no import took place.
  EXPECT_EQ(result.importStatus, kSmartImportNotRunning);
  EXPECT_EQ(status_.logLines, (Log{kSmartImportNotRunning}));

  // A system without GlobalServer windows has nothing to tell.
  server_.onThisSystem = false;
  EXPECT_EQ(Run().importStatus, "");
}

TEST_F(Trd1ExecTest, DataLeftOutIsReportedAndSkipsOnlyTheDeleteStep) {
  settings_.import = true;
  settings_.autoStart = true;
  settings_.deleteData = true;
  stages_.leftOut = true;
  const RunResult result = Run();
  EXPECT_EQ(result.end, RunEnd::Normal);
  EXPECT_TRUE(result.leftOut);
  EXPECT_TRUE(result.importOk);
  const Log entries = log_.Entries();
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "detail Delete skipped"), 1);
  EXPECT_EQ(std::count_if(entries.begin(), entries.end(), [](const std::string& e) { return e.starts_with("delete"); }), 0);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "import 0"), 2);
  EXPECT_NE(std::find_if(entries.begin(), entries.end(),
                         [](const std::string& e) { return e.starts_with("message Some data was left out"); }),
            entries.end());

  // Without "Create archives" nothing is converted, so nothing is left out.
  settings_.create = false;
  EXPECT_FALSE(Run().leftOut);
}

struct ImportCase {
  const char* name;
  bool autoStart;
  bool dialogOk;
  bool deleteData;
  bool importDaily;
  bool importIntraday;
  std::vector<bool> deleteResults;
  std::vector<automation::ImportOutcome> importResults;
  ImportEnd end;
  DayRange imported;  // days after 1 March 2001, when Imported
  Log log;            // after "status Smart import in progress..."
};

TEST_F(Trd1ExecTest, SmartImportSequence) {
  constexpr auto kOk = automation::ImportOutcome::Imported;
  constexpr auto kFail = automation::ImportOutcome::Failed;
  constexpr auto kUnconfirmed = automation::ImportOutcome::Unconfirmed;
  constexpr auto kGone = automation::ImportOutcome::NotRunning;
  const DayRange none;
  const DayRange all{0, kMay31_2001 - kMarch1_2001};  // the window's days, also its months
  // The delete step begins by checking that the import can follow.
  const std::string check = "detail Checking the import wizard";
  const std::string del = Delete(kMarch1_2001, kMay31_2001);
  const ImportCase cases[] = {
      {"both passes", true, true, true, true, true, {}, {}, ImportEnd::Imported, all,
       {check, "check", del, "import 0", "sleep 1000", "import 0"}},
      {"delete retried once", true, true, true, true, true, {false, true}, {}, ImportEnd::Imported, all,
       {check, "check", del, del, "import 0", "sleep 1000", "import 0"}},
      {"delete fails twice", true, true, true, true, true, {false, false}, {}, ImportEnd::DeleteFailed, none,
       {check, "check", del, del}},
      {"no delete", true, true, false, true, true, {}, {}, ImportEnd::Imported, all,
       {"import 0", "sleep 1000", "import 0"}},
      {"daily pass fails", true, true, true, true, true, {}, {kFail}, ImportEnd::Failed, none,
       {check, "check", del, "import 0"}},
      {"intraday pass fails", true, true, true, true, true, {}, {kOk, kFail}, ImportEnd::Failed, none,
       {check, "check", del, "import 0", "sleep 1000", "import 0"}},
      // Sent to no GlobalServer: nothing reached it.
      {"GlobalServer gone before the intraday pass", true, true, false, true, true, {}, {kOk, kGone},
       ImportEnd::Failed, none, {"import 0", "sleep 1000", "import 0"}},
      {"import not confirmed counts as imported", true, true, true, true, true, {}, {kUnconfirmed, kOk},
       ImportEnd::Imported, all, {check, "check", del, "import 0", "sleep 1000", "import 0",
                                  "detail Import not confirmed"}},
      {"intraday only", true, true, true, false, true, {}, {}, ImportEnd::Imported, all,
       {check, "check", del, "sleep 1000", "import 0"}},
      {"daily only", true, true, true, true, false, {}, {}, ImportEnd::Imported, all,
       {check, "check", del, "import 0", "sleep 1000"}},
      {"dialog cancelled", false, false, true, true, true, {}, {}, ImportEnd::Cancelled, none, {"dialog"}},
      // The dialog narrows the intraday pass, and with it what was imported.
      {"dialog accepted", false, true, true, true, true, {}, {}, ImportEnd::Imported, {3, 4},
       {"dialog", check, "check", Delete(kMarch1_2001 + 3, kMarch1_2001 + 4), "import 0", "sleep 1000", "import 0"}},
      // The monthly archives follow the window's months whatever the dialog says.
      {"dialog accepted, daily only", false, true, false, true, false, {}, {}, ImportEnd::Imported, all,
       {"dialog", "import 0", "sleep 1000"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TCallLog log;
    test::TFakeGlobalServer server(log);
    test::TFakeRangeDialog dialog(log);
    test::TFakeRunStatus status(log);
    server.deleteResults = c.deleteResults;
    server.importResults = c.importResults;
    dialog.ok = c.dialogOk;
    dialog.answerFrom = kMarch1_2001 + 3;
    dialog.answerTo = kMarch1_2001 + 4;
    TRunSettings settings = settings_;
    settings.autoStart = c.autoStart;
    settings.deleteData = c.deleteData;
    settings.importDaily = c.importDaily;
    settings.importIntraday = c.importIntraday;
    SmartImportServices services{server, dialog, [&](int ms) { log.Add("sleep " + std::to_string(ms)); },
                                 [](double d) { return d + 0.5; }};
    std::vector<std::string> list{"stale"};
    const SmartImportResult result = SmartImport(settings, status, services, list);
    EXPECT_EQ(result.ok, c.end == ImportEnd::Imported);
    EXPECT_EQ(result.end, c.end);
    if (c.end == ImportEnd::Imported) {
      EXPECT_EQ(result.imported.first, kMarch1_2001 + c.imported.first);
      EXPECT_EQ(result.imported.last, kMarch1_2001 + c.imported.last);
    }
    Log expected{"status Smart import in progress..."};
    expected.insert(expected.end(), c.log.begin(), c.log.end());
    // What the user is told is checked on the simulated desktop; here only
    // that a failed import after a delete tells it.
    Log entries = log.Entries();
    const auto told = std::remove_if(entries.begin(), entries.end(),
                                     [](const std::string& e) { return e.starts_with("message "); });
    const bool lossTold = std::any_of(told, entries.end(), [](const std::string& e) {
      return e.find("was deleted, but GlobalServer's import wizard failed") != std::string::npos;
    });
    entries.erase(told, entries.end());
    EXPECT_EQ(entries, expected);
    const bool importFailedAfterDelete = c.deleteData && c.end == ImportEnd::Failed;
    EXPECT_EQ(lossTold, importFailedAfterDelete);
    if (!c.autoStart) {
      // The dialog opens on the days of the window's range, times dropped.
      EXPECT_EQ(dialog.shownFrom, kMarch1_2001);
      EXPECT_EQ(dialog.shownTo, kMay31_2001);
    }
    if (c.dialogOk) EXPECT_TRUE(list.empty());  // refilled from the empty output directory
  }
}

TEST_F(Trd1ExecTest, ImportsTheArchivesOfTheRangeDailyFirst) {
  const auto& dir = scratch_.Path();
  std::filesystem::create_directories(dir / "2001_03");
  for (const char* name : {"d0103.omz", "d0105.omz", "2001_03/i010302.omz", "2001_03/i010228.omz"})
    test::WriteFileBytes(dir / name, "x");
  settings_.import = true;
  settings_.autoStart = true;
  settings_.from = kMarch1_2001 + 1;  // the day archive of 1 March is outside the range
  const RunResult result = Run();
  EXPECT_EQ(result.end, RunEnd::Normal);
  ASSERT_EQ(server_.imported.size(), 2u);
  EXPECT_EQ(server_.imported[0], (std::vector<std::string>{settings_.output + "d0103", settings_.output + "d0105"}));
  const std::string sep(1, kDirSeparator);
  EXPECT_EQ(server_.imported[1], (std::vector<std::string>{settings_.output + "2001_03" + sep + "i010302.omz"}));
  EXPECT_EQ(intradayList_, server_.imported[1]);
}

}  // namespace
}  // namespace vz::app
