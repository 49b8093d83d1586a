// Smart import as a whole (the check before deleting, the delete and both
// import passes, and what the user is told) against GlobalServer on the
// simulated desktop, driven by the real wizard drivers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "LentDesktop.h"
#include "RunFakes.h"
#include "app/run/PathText.h"
#include "app/run/Trd1Exec.h"
#include "automation/GlobalServer.h"
#include "automation/SimGlobalServer.h"
#include "support/ScratchDir.h"

namespace vz::app {
namespace {

using test::SimServerBehaviour;
using test::TLentDesktop;
using test::TSimDesktop;
using test::TSimGlobalServer;
using Lines = std::vector<std::string>;

constexpr double kMarch2_2001 = 36952;
constexpr double kMarch31_2001 = 36981;

// A run status that keeps what the user is told.
class TToldStatus final : public IRunStatus {
public:
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void SetStatusDetail(const std::string& text) override { details.push_back(text); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool StopRequested() const override { return false; }
  void LogLine(const std::string& text) override { log.push_back(text); }
  bool MessagesWaitForUser() const override { return waits; }
  bool waits = true;
  Lines statuses, details, messages, log;
};

class SmartImportDesktopTest : public testing::Test {
protected:
  SmartImportDesktopTest() {
    // One monthly archive and two day archives in the range.
    const auto& dir = scratch_.Path();
    std::filesystem::create_directories(dir / "2001_03");
    for (const char* name : {"d0103.omz", "2001_03/i010302.omz", "2001_03/i010303.omz"})
      test::WriteFileBytes(dir / name, "archive");
    settings_.output = WithDirSeparator(kDirSeparator == '/' ? dir.generic_string() : dir.string());
    settings_.from = kMarch2_2001;
    settings_.to = kMarch31_2001 + 0.999;
    settings_.import = true;
    settings_.autoStart = true;
    settings_.deleteData = true;
  }

  struct Outcome {
    SmartImportResult result;
    TToldStatus told;
    Lines accepted;       // what GlobalServer's file dialog took
    bool deleted = false;
    int deleteWizards = 0;  // how often its delete wizard was opened
    std::int64_t tookMs = 0;
  };

  Outcome Run(const SimServerBehaviour& behaviour, bool waits = true) {
    Outcome out;
    TSimDesktop desktop;
    TSimGlobalServer server(desktop, behaviour);
    auto global = automation::MakeDesktopGlobalServer(std::make_unique<TLentDesktop>(desktop),
                                                      [&out](const std::string& step) { out.told.details.push_back(step); });
    test::TCallLog calls;
    test::TFakeRangeDialog dialog(calls);
    out.told.waits = waits;
    SmartImportServices services{*global, dialog, [&desktop](int ms) { desktop.Sleep(ms); }, [](double d) { return d; }};
    std::vector<std::string> list;
    const std::int64_t start = desktop.Now();
    out.result = SmartImport(settings_, out.told, services, list);
    out.tookMs = desktop.Now() - start;
    out.accepted = server.Imported();
    out.deleted = server.DeleteFinished();
    for (const auto& line : desktop.LogLines())
      if (line == "post main WM_KEYDOWN 0x44 0x10170001") ++out.deleteWizards;  // Alt+F, D
    return out;
  }

  static bool Has(const Lines& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
  }
  static Lines Starting(const Lines& lines, const std::string& prefix) {
    Lines out;
    for (const auto& l : lines)
      if (l.starts_with(prefix)) out.push_back(l.substr(prefix.size()));
    return out;
  }

  std::string Daily() const { return settings_.output + "d0103.omz"; }
  std::string Day(int day) const {
    return settings_.output + "2001_03" + std::string(1, kDirSeparator) + "i01030" + std::to_string(day) + ".omz";
  }

  test::TScratchDir scratch_;
  TRunSettings settings_;
};

TEST_F(SmartImportDesktopTest, DeletesThenImportsEveryArchiveAndLogsEach) {
  const Outcome out = Run({});
  EXPECT_TRUE(out.result.ok);
  EXPECT_EQ(out.result.status, "");
  EXPECT_TRUE(out.deleted);
  EXPECT_EQ(out.deleteWizards, 1);
  EXPECT_EQ(out.accepted, (Lines{settings_.output + "d0103", Day(2), Day(3)}));
  EXPECT_EQ(Starting(out.told.log, "Imported: "), (Lines{Daily(), Day(2), Day(3)}));
  EXPECT_TRUE(Starting(out.told.log, "Not imported: ").empty());
  EXPECT_TRUE(out.told.messages.empty());
}

// GlobalServer refuses an archive after the range was deleted: the user is
// told the range, the archives not imported and how to recover.
struct LossCase {
  const char* name;
  std::function<void(SimServerBehaviour&)> breakIt;
  Lines imported;     // by name: "d", "2", "3"
  Lines notImported;
  std::string first;  // the first archive not imported, as the message names it
  std::string why;
};

TEST_F(SmartImportDesktopTest, AFailedImportAfterADeleteSaysWhatGlobalServerLost) {
  const std::string sep(1, kDirSeparator);
  const LossCase cases[] = {
      {"first archive refused", [](auto& b) { b.refusedFile = 0; }, {}, {"d", "2", "3"}, "d0103.omz",
       "GlobalServer's import wizard failed"},
      // The monthly pass went in; the day pass was refused at its second
      // archive, and its wizard, never finished, imported none of it.
      {"a later archive refused", [](auto& b) { b.refusedFile = 2; }, {"d"}, {"2", "3"},
       "2001_03" + sep + "i010302.omz", "GlobalServer's import wizard failed"},
      {"GlobalServer gone after the delete", [](auto& b) { b.closeAfterDelete = true; }, {}, {"d", "2", "3"},
       "d0103.omz", "GlobalServer closed before the import"},
  };
  auto paths = [this](const Lines& names) {
    Lines out;
    for (const auto& n : names) out.push_back(n == "d" ? Daily() : Day(n[0] - '0'));
    return out;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimServerBehaviour behaviour;
    c.breakIt(behaviour);
    const Outcome out = Run(behaviour);
    EXPECT_FALSE(out.result.ok);
    EXPECT_TRUE(out.deleted);
    EXPECT_EQ(Starting(out.told.log, "Imported: "), paths(c.imported));
    EXPECT_EQ(Starting(out.told.log, "Not imported: "), paths(c.notImported));
    ASSERT_EQ(out.told.messages.size(), 1u);
    const std::string& message = out.told.messages[0];
    const std::string count = std::to_string(c.notImported.size()) + " archive";
    for (const std::string& part : {std::string("from 2001-03-02 to 2001-03-31 was deleted"), c.why,
                                    count + "s not imported, the first " + c.first, settings_.output,
                                    std::string("import those archives into GlobalServer by hand"),
                                    std::string("run again over the same range")})
      EXPECT_NE(message.find(part), std::string::npos) << part << "\n in: " << message;
    // The final status and the log say it too.
    EXPECT_NE(out.result.status.find("from 2001-03-02 to 2001-03-31 was deleted; " + count), std::string::npos)
        << out.result.status;
    EXPECT_TRUE(Has(out.told.log, message));
  }
}

TEST_F(SmartImportDesktopTest, UnderSlashXTheLossGoesToTheLogAndStatusWithoutABox) {
  settings_.autoClose = true;
  SimServerBehaviour behaviour;
  behaviour.refusedFile = 0;
  const Outcome out = Run(behaviour, /*waits=*/true);
  EXPECT_FALSE(out.result.ok);
  EXPECT_TRUE(out.told.messages.empty());
  EXPECT_TRUE(Has(out.told.log, "run again over the same range"));
  EXPECT_TRUE(Has(Lines{out.result.status}, "was deleted; 3 archives not imported"));
}

TEST_F(SmartImportDesktopTest, NothingIsDeletedWhenTheImportWizardDoesNotAnswer) {
  const std::pair<const char*, std::function<void(SimServerBehaviour&)>> cases[] = {
      {"no wizard", [](auto& b) { b.importWizard = false; }},
      {"no Browse button", [](auto& b) { b.browseButton = false; }},
  };
  for (const auto& [name, breakIt] : cases) {
    SCOPED_TRACE(name);
    SimServerBehaviour behaviour;
    breakIt(behaviour);
    const Outcome out = Run(behaviour);
    EXPECT_FALSE(out.deleted);
    EXPECT_EQ(out.deleteWizards, 0);
    EXPECT_FALSE(out.result.ok);  // the import itself fails then, with nothing lost
    ASSERT_FALSE(out.told.messages.empty());
    EXPECT_NE(out.told.messages[0].find("is not deleted in this run: the import wizard"), std::string::npos)
        << out.told.messages[0];
    EXPECT_TRUE(Has(Lines{out.result.status}, "Delete skipped: the import wizard"));
    EXPECT_FALSE(Has(out.told.messages, "was deleted"));
  }
}

TEST_F(SmartImportDesktopTest, AMissingDeleteNoticeIsNotAFailedDelete) {
  SimServerBehaviour behaviour;
  behaviour.deleteNotice = false;
  const Outcome out = Run(behaviour);
  EXPECT_TRUE(out.result.ok);
  EXPECT_EQ(out.deleteWizards, 1);  // not deleted twice
  EXPECT_EQ(out.accepted.size(), 3u);  // nor the import skipped
  EXPECT_TRUE(Has(out.told.log, "did not confirm the deletion"));
  EXPECT_TRUE(Has(Lines{out.result.status}, "did not confirm the deletion"));
}

TEST_F(SmartImportDesktopTest, AMissingImportNoticeIsNotConfirmedButCountsAsImported) {
  SimServerBehaviour behaviour;
  behaviour.notice = false;  // after the deletion and after each import
  const Outcome out = Run(behaviour);
  EXPECT_TRUE(out.result.ok);
  EXPECT_EQ(out.result.end, ImportEnd::Imported);
  EXPECT_EQ(out.accepted.size(), 3u);  // the intraday pass followed the daily one
  EXPECT_EQ(Starting(out.told.log, "Imported: "), (Lines{Daily(), Day(2), Day(3)}));
  EXPECT_TRUE(Has(out.told.log, "did not confirm the import of 1 archive (its progress window closed normally)"));
  EXPECT_TRUE(Has(out.told.log, "did not confirm the import of 2 archives"));
  EXPECT_TRUE(Has(Lines{out.result.status}, "did not confirm the import; the archives are taken as imported"));
  EXPECT_TRUE(out.told.messages.empty());
  // Each pass waits 50 s for its notice, not the quarter of an hour of its
  // progress window.
  EXPECT_LT(out.tookMs, 5 * 60 * 1000);
}

TEST_F(SmartImportDesktopTest, ADeleteThatFailsTwiceSaysPartOfTheRangeMayBeDeleted) {
  SimServerBehaviour behaviour;
  behaviour.deletingMs = test::kForever;  // each attempt gives up after its Finish
  const Outcome out = Run(behaviour);
  EXPECT_FALSE(out.result.ok);
  EXPECT_EQ(out.result.end, ImportEnd::DeleteFailed);
  EXPECT_EQ(out.deleteWizards, 2);
  EXPECT_TRUE(out.accepted.empty());
  ASSERT_EQ(out.told.messages.size(), 1u);
  const std::string& message = out.told.messages[0];
  for (const std::string& part :
       {std::string("failed twice for its data from 2001-03-02 to 2001-03-31"),
        std::string("part of that data may already be deleted"), std::string("nothing was imported"),
        settings_.output, std::string("run again over the same range")})
    EXPECT_NE(message.find(part), std::string::npos) << part << "\n in: " << message;
  EXPECT_TRUE(Has(out.told.log, message));
  EXPECT_TRUE(Has(Lines{out.result.status}, "part of its data from 2001-03-02 to 2001-03-31 may already be deleted"));
}

TEST_F(SmartImportDesktopTest, TheWholeStepEndsWithinItsBoundAndLongWaitsAreLogged) {
  // Every job takes just under its own wait of 10000 polls: each window
  // alone is waited for, but together they pass the step's bound.
  SimServerBehaviour behaviour;
  behaviour.deletingMs = 999 * 1000;
  behaviour.readingMs = 999 * 1000;
  behaviour.importingMs = 999 * 1000;
  const Outcome out = Run(behaviour);
  EXPECT_FALSE(out.result.ok);
  EXPECT_TRUE(out.deleted);
  EXPECT_LE(out.tookMs, automation::kSmartImportBoundMs + 60 * 1000);
  EXPECT_GE(out.tookMs, automation::kSmartImportBoundMs);
  EXPECT_TRUE(Has(out.told.details, "time bound of 60 minutes is spent"));
  // The 999 s of the deletion, told every 30 s.
  const Lines waits = Starting(out.told.log, "still waiting for \"Deleting data\" to close, ");
  EXPECT_EQ(waits.size(), 33u);
  if (!waits.empty()) {
    EXPECT_EQ(waits.front(), "30 s so far");
    EXPECT_EQ(waits.back(), "990 s so far");
  }
  // The loss is told as after any failed import.
  EXPECT_TRUE(Has(out.told.messages, "was deleted"));
}

TEST_F(SmartImportDesktopTest, NoGlobalServerRunningIsSaidButIsNoFailure) {
  TSimDesktop desktop;  // windows of other programs only
  desktop.Create("otherWizard", "#32770", "Import Data", test::kOtherProcess);
  auto global = automation::MakeDesktopGlobalServer(std::make_unique<TLentDesktop>(desktop), {});
  test::TCallLog calls;
  test::TFakeStages stages(calls);
  test::TFakeRangeDialog dialog(calls);
  TToldStatus told;
  SmartImportServices services{*global, dialog, [&desktop](int ms) { desktop.Sleep(ms); }, [](double d) { return d; }};
  std::vector<std::string> list;
  const RunResult result = Trd1Exec(settings_, told, stages, services, list);
  EXPECT_EQ(result.end, RunEnd::Normal);
  EXPECT_TRUE(result.importOk);  // exit status 0
  EXPECT_EQ(result.importStatus, "Smart import skipped: GlobalServer is not running.");
  EXPECT_EQ(told.log, (Lines{"Smart import skipped: GlobalServer is not running."}));
  EXPECT_TRUE(desktop.Log().empty());
}

}  // namespace
}  // namespace vz::app
