#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <map>
#include <optional>

#include "LentDesktop.h"
#include "RunFakes.h"
#include "TestTaskQueue.h"
#include "app/record/ImportStateRun.h"
#include "app/run/RunSummary.h"
#include "automation/SimGlobalServer.h"
#include "app/window/ExitStatus.h"
#include "app/window/MainWindowModel.h"
#include "app/run/PathText.h"
#include "support/ScratchDir.h"
#include "vuzuz/ShowError.h"

namespace vz::app {
namespace {

constexpr double kNow = 45000.75;       // 18:00 on some day
constexpr double kNextStart = 44900;    // what the next-start-date search answers
constexpr double kOneMinute = 1.0 / 1440;

class TFakeView final : public IMainView {
public:
  test::TTaskQueue queue;
  std::vector<std::string> messages;
  std::vector<Control> focus;
  std::string step, detail, caption;
  std::vector<std::string> details;  // every detail shown, in order
  bool enabled = true, deleteEnabled = true;
  int closeRequests = 0;
  int statusShown = 0;
  std::vector<RunResult> ends;
  int pixelsPerInch = 96;
  std::optional<WindowPlacement> placement;  // what the window shows
  std::vector<WindowPlacement> applied;

  void Post(std::function<void()> task) override { queue.Post(std::move(task)); }
  void ShowSettings(const WindowSettings&) override {}
  void ShowStatus(const std::string& s, const std::string& d) override {
    step = s;
    detail = d;
    if (!d.empty()) details.push_back(d);
    ++statusShown;
  }
  bool ReadPlacement(WindowPlacement& p) const override {
    if (placement) p = *placement;
    return placement.has_value();
  }
  void ApplyPlacement(const WindowPlacement& p) override { applied.push_back(p); }
  int PixelsPerInch() const override { return pixelsPerInch; }
  void ShowButtonCaption(const std::string& c) override { caption = c; }
  void ShowControlsEnabled(bool e, bool d) override {
    enabled = e;
    deleteEnabled = d;
  }
  void FocusControl(Control c) override { focus.push_back(c); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskImportRange(double&, double&) override { return true; }
  void RequestClose() override { ++closeRequests; }
  void RunEnded(const RunResult& result) override { ends.push_back(result); }
};

// Lets a test hold a run inside a stage until it opens the gate.
class TGate {
public:
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    reached_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  void WaitReached() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return reached_; });
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  bool reached_ = false;
};

class MainWindowModelTest : public testing::Test {
protected:
  MainWindowModelTest() {
    msDir_ = scratch_.Path() / "ms";
    std::filesystem::create_directories(msDir_);
    test::WriteFileBytes(msDir_ / "Master", "");
    test::WriteFileBytes(msDir_ / "EMASTER", "");
    services_.makeStages = [this](const TRunSettings& settings, IRunStatus& status) {
      runSettings_ = settings;
      auto stages = std::make_unique<test::TFakeStages>(log_);
      stages->failAt = failAt_;
      stages->onStage = [this, &status](const std::string& stage) {
        status.SetStatus("working in " + stage);
        status.SetStatusDetail("1/2");
        if (stage == holdIn_) gate_.Wait();
        if (stage == complainIn_) {
          status.ShowMessage("Can't open data files.");
          ShowError("Insufficient disk space");
        }
      };
      return stages;
    };
    services_.makeGlobalServer = automation::MakeAbsentGlobalServer;
    services_.sleep = [this](int ms) { log_.Add("sleep " + std::to_string(ms)); };
    services_.deleteClock = [](double d) { return d; };
    services_.nextStartDate = [this](const std::string& dir, double today) {
      log_.Add("next-start " + dir);
      EXPECT_EQ(today, kNow);
      return kNextStart;
    };
    services_.now = [] { return kNow; };
    services_.defaultMsDir = [] { return std::string("registry-dir"); };
    services_.readStored = [this](platform::StoredValues& values) {
      values = stored_;
      return !stored_.empty();
    };
    services_.writeStored = [this](const platform::StoredValues& values) {
      written_.push_back(values);
      return true;
    };
  }

  TMainWindowModel& Model() {
    if (!model_) model_ = std::make_unique<TMainWindowModel>(view_, services_);
    return *model_;
  }
  // Settings that pass validation.
  void UseValidSettings() {
    auto& s = Model().MutableSettings().run;
    s.format = 0;
    s.msDir = msDir_.string();
    s.output = (scratch_.Path() / "out").string();
    s.from = 44000;
    s.to = 44100;
  }
  bool WaitForEnd(size_t ends = 1) {
    return view_.queue.DrainUntil([&] { return view_.ends.size() >= ends; });
  }
  void TearDown() override {
    gate_.Open();
    if (model_) {
      if (const auto thread = model_->Trd1().LastThread()) thread->WaitFor();
    }
  }

  test::TScratchDir scratch_;
  std::filesystem::path msDir_;
  test::TCallLog log_;
  TFakeView view_;
  MainWindowServices services_;
  platform::StoredValues stored_;
  std::vector<platform::StoredValues> written_;
  std::string failAt_;
  std::string holdIn_;
  std::string complainIn_;  // the stage that shows a message and an error
  TGate gate_;
  TRunSettings runSettings_;
  std::unique_ptr<TMainWindowModel> model_;
};

struct ValidationCase {
  const char* name;
  std::function<void(TRunSettings&, const std::filesystem::path& scratch)> change;
  std::string message;  // empty: passes
  Control focus;
  std::string reason = "";  // ends the message's second line, after the folder
};

TEST_F(MainWindowModelTest, ValidationReportsTheFirstFailingCheck) {
  const ValidationCase cases[] = {
      {"valid", [](TRunSettings&, const std::filesystem::path&) {}, "", Control::Format},
      {"format", [](TRunSettings& s, const std::filesystem::path&) { s.format = 1; }, "Invalid option.",
       Control::Format},
      {"no EMASTER is valid",
       [](TRunSettings&, const std::filesystem::path& p) { std::filesystem::remove(p / "ms" / "EMASTER"); }, "",
       Control::Format},
      {"no MASTER",
       [](TRunSettings& s, const std::filesystem::path& p) {
         s.msDir = (p / "emaster-only").string();
         std::filesystem::create_directories(p / "emaster-only");
         test::WriteFileBytes(p / "emaster-only" / "EMASTER", "x");
         s.to = 0;  // later checks are not reached
       },
       "Invalid MetaStock directory.", Control::MsDir,
       "emaster-only" + std::string(1, kDirSeparator) + ": no MASTER file"},
      {"masters are directories",
       [](TRunSettings& s, const std::filesystem::path& p) {
         s.msDir = (p / "fake").string();
         std::filesystem::create_directories(p / "fake" / "MASTER");
         std::filesystem::create_directories(p / "fake" / "EMASTER");
       },
       "Invalid MetaStock directory.", Control::MsDir,
       "fake" + std::string(1, kDirSeparator) + ": no MASTER file"},
      {"output blocked by a file",
       [](TRunSettings& s, const std::filesystem::path& p) {
         test::WriteFileBytes(p / "file", "x");
         s.output = (p / "file" / "sub").string();
       },
       "Can't create output directory.", Control::Output, "sub" + std::string(1, kDirSeparator) + ": "},
      {"from after to", [](TRunSettings& s, const std::filesystem::path&) { s.from = s.to + kOneMinute; },
       "'From' date must be less then 'to' date.", Control::From},
      {"from equals to", [](TRunSettings& s, const std::filesystem::path&) { s.from = s.to; }, "", Control::Format},
      {"empty output", [](TRunSettings& s, const std::filesystem::path&) { s.output.clear(); }, "", Control::Format},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFileBytes(msDir_ / "EMASTER", "");
    view_.messages.clear();
    view_.focus.clear();
    UseValidSettings();
    c.change(Model().MutableSettings().run, scratch_.Path());
    const bool valid = Model().ValidateSettings();
    EXPECT_EQ(valid, c.message.empty());
    if (valid) {
      EXPECT_TRUE(view_.messages.empty());
      const auto& s = Model().Settings().run;
      EXPECT_EQ(s.msDir.back(), kDirSeparator);
      EXPECT_TRUE(s.output.empty() || std::filesystem::is_directory(s.output));
    } else {
      // The system's text, then on its own line the folder and what is wrong.
      ASSERT_EQ(view_.messages.size(), 1u);
      const std::string& shown = view_.messages[0];
      const size_t lineEnd = shown.find('\n');
      EXPECT_EQ(shown.substr(0, lineEnd), c.message);
      if (!c.reason.empty()) {
        ASSERT_NE(lineEnd, std::string::npos) << shown;
        EXPECT_NE(shown.find(c.reason, lineEnd), std::string::npos) << shown;
      }
      EXPECT_EQ(view_.focus, std::vector<Control>{c.focus});
    }
  }
}

// A scheduled start (/g /x) whose settings are refused waits for nobody: the
// refusal goes to the status bar, and the window closes with exit status 2.
// With /g alone a person is there: the box shows and the window stays.
TEST_F(MainWindowModelTest, RefusedScheduledStartShowsNoBoxAndClosesUnderSlashX) {
  struct Refusal {
    const char* name;
    std::function<void(TRunSettings&)> change;
    std::string firstLine;
  };
  test::WriteFileBytes(scratch_.Path() / "file", "x");
  const Refusal refusals[] = {
      {"format", [](TRunSettings& s) { s.format = 1; }, "Invalid option."},
      {"MetaStock directory", [&](TRunSettings& s) { s.msDir = (scratch_.Path() / "unmapped").string(); },
       "Invalid MetaStock directory."},
      {"output", [&](TRunSettings& s) { s.output = (scratch_.Path() / "file" / "sub").string(); },
       "Can't create output directory."},
      {"dates", [](TRunSettings& s) { s.from = kNow + 10; }, "'From' date must be less then 'to' date."},
  };
  for (const Refusal& refusal : refusals) {
    for (const bool closesByItself : {true, false}) {
      SCOPED_TRACE(std::string(refusal.name) + (closesByItself ? " /g /x" : " /g"));
      TFakeView view;
      TMainWindowModel model(view, services_);
      auto& s = model.MutableSettings().run;
      s.msDir = msDir_.string();
      s.output = (scratch_.Path() / "out").string();
      refusal.change(s);
      model.FormActivate(closesByItself ? std::vector<std::string>{"/g", "/x"} : std::vector<std::string>{"/g"});
      EXPECT_FALSE(model.Trd1().LastThread());
      EXPECT_EQ(model.UnstartedExitStatus(), kExitInvalidSettings);
      if (closesByItself) {
        EXPECT_TRUE(view.messages.empty());
        EXPECT_TRUE(view.step.starts_with(refusal.firstLine)) << view.step;
        EXPECT_EQ(view.step.find('\n'), std::string::npos) << view.step;
        EXPECT_EQ(view.closeRequests, 1);
      } else {
        ASSERT_EQ(view.messages.size(), 1u);
        EXPECT_TRUE(view.messages[0].starts_with(refusal.firstLine)) << view.messages[0];
        EXPECT_EQ(view.closeRequests, 0);
      }
    }
  }
}

// Under /x a message the window itself has (not a run's) goes the same way.
TEST_F(MainWindowModelTest, WindowMessagesFollowTheSameRule) {
  Model().Tell("The run log cannot be opened:\n/x/runs.log");
  EXPECT_EQ(view_.messages, std::vector<std::string>{"The run log cannot be opened:\n/x/runs.log"});
  Model().ParseCommandLine({"/x"});
  Model().Tell("The run log cannot be opened:\n/x/runs.log");
  EXPECT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.step, "The run log cannot be opened: /x/runs.log");
}

TEST_F(MainWindowModelTest, RestoresStoredSettingsInOrderAndSavesThemOnce) {
  stored_ = {{"EdtMsDir_Text", "  \t"},  // trims to empty: the registry default applies
             {"EdtOutput_Text", " /data/out \r\n"},
             {"EdtSelected_Checked", "True"},
             {"EdtCreate_Checked", "maybe"},  // cannot be applied: stays
             {"EdtImport_Checked", "False"},
             {"EdtDelete_Checked", "false"}};
  Model().RestoreSettings();
  const auto& s = Model().Settings();
  EXPECT_EQ(s.run.msDir, "registry-dir");
  EXPECT_EQ(s.run.output, "/data/out");
  EXPECT_EQ(s.run.from, kNextStart);  // the restored output moved the From date
  EXPECT_TRUE(s.run.selected);
  EXPECT_TRUE(s.run.create);
  EXPECT_FALSE(s.run.import);
  EXPECT_FALSE(s.deleteEnabled);  // follows "Smart import"
  EXPECT_FALSE(s.run.deleteData);

  Model().FormCloseQuery();
  Model().FormCloseQuery();
  ASSERT_EQ(written_.size(), 1u);
  EXPECT_EQ(written_[0], (platform::StoredValues{{"FormVersion", "0"},
                                                 {"EdtMsDir_Text", "registry-dir"},
                                                 {"EdtOutput_Text", "/data/out"},
                                                 {"EdtSelected_Checked", "True"},
                                                 {"EdtCreate_Checked", "True"},
                                                 {"EdtImport_Checked", "False"},
                                                 {"EdtDelete_Checked", "False"},
                                                 {"EdtDelete_Enabled", "False"}}));
}

TEST_F(MainWindowModelTest, PlacementIsRestoredOnlyUnderTheSamePixelsPerInchAndSavedAfterFormVersion) {
  const platform::StoredValues placement = {{"Flags", "0"},
                                            {"ShowCmd", "1"},
                                            {"PixelsPerInch", "120"},
                                            {"MinMaxPos", "-1,-1,-8,-8"},
                                            {"NormPos", "300,200,718,492"}};
  stored_ = placement;
  view_.pixelsPerInch = 96;
  Model().RestoreSettings();
  EXPECT_TRUE(view_.applied.empty());

  TMainWindowModel same(view_, services_);
  view_.pixelsPerInch = 120;
  same.RestoreSettings();
  ASSERT_EQ(view_.applied.size(), 1u);
  EXPECT_EQ(view_.applied[0].left, 300);
  EXPECT_EQ(view_.applied[0].bottom, 492);
  EXPECT_EQ(view_.applied[0].maxX, -8);

  // A malformed value leaves the whole placement out.
  for (const char* bad : {"300,200,718", "300,200,718,492,1", "a,200,718,492", "300,200,100,492", ""}) {
    SCOPED_TRACE(bad);
    stored_ = placement;
    stored_.back().second = bad;
    TMainWindowModel model(view_, services_);
    model.RestoreSettings();
    EXPECT_EQ(view_.applied.size(), 1u);
  }

  view_.placement = view_.applied[0];
  same.SaveSettings();
  ASSERT_EQ(written_.size(), 1u);
  platform::StoredValues head(written_[0].begin(), written_[0].begin() + 6);
  platform::StoredValues expected{{"FormVersion", "0"}};
  expected.insert(expected.end(), placement.begin(), placement.end());
  EXPECT_EQ(head, expected);
  EXPECT_EQ(written_[0][6].first, "EdtMsDir_Text");
}

TEST_F(MainWindowModelTest, RunStatusUpdatesMergeIntoTheLatestTexts) {
  services_.makeStages = [this](const TRunSettings&, IRunStatus& status) {
    auto stages = std::make_unique<test::TFakeStages>(log_);
    stages->onStage = [&status](const std::string& stage) {
      if (stage != "analyse") return;
      for (int i = 0; i < 5000; ++i) status.SetStatusDetail(std::to_string(i));
      status.SetStatus("step two");
      status.SetStatusDetail("last");
      status.SetStatus("step three");
    };
    return stages;
  };
  UseValidSettings();
  Model().MutableSettings().run.import = false;
  Model().BtnStartClick();
  Model().Trd1().LastThread()->WaitFor();
  // One task carries all of it: the queue does not grow with the updates.
  EXPECT_LE(view_.queue.Pending(), 3u);
  view_.statusShown = 0;
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(view_.step, "Export complete.");
  EXPECT_LE(view_.statusShown, 2);  // the merged texts, then the end
}

TEST_F(MainWindowModelTest, StoredDeleteEnabledHasTheLastWord) {
  stored_ = {{"EdtImport_Checked", "False"}, {"EdtDelete_Enabled", "True"}};
  Model().RestoreSettings();
  EXPECT_FALSE(Model().Settings().run.import);
  EXPECT_TRUE(Model().Settings().deleteEnabled);
}

TEST_F(MainWindowModelTest, NothingIsSavedUnlessRestoredFirst) {
  Model().FormCloseQuery();
  EXPECT_TRUE(written_.empty());
}

TEST_F(MainWindowModelTest, FirstActivationSetsToAndReadsTheCommandLineOnce) {
  Model().RestoreSettings();
  EXPECT_EQ(Model().Settings().run.from, kNow);  // no stored output: the moment of start
  Model().FormActivate({"/s", "/t:20230101"});
  EXPECT_TRUE(Model().Settings().run.selected);
  EXPECT_EQ(Model().Settings().run.to, 44927);  // 2023-01-01 from the command line
  Model().MutableSettings().run.selected = false;
  Model().FormActivate({"/s"});
  EXPECT_FALSE(Model().Settings().run.selected);
  EXPECT_EQ(Model().Settings().run.to, 44927);

  TMainWindowModel second(view_, services_);
  second.FormActivate({});
  EXPECT_DOUBLE_EQ(second.Settings().run.to, 45000 + 1 - kOneMinute);  // today 23:59
  EXPECT_FALSE(second.Trd1().Active());
}

TEST_F(MainWindowModelTest, ImportClickDrivesDeleteEnabled) {
  Model().SetImportChecked(false);
  EXPECT_FALSE(Model().Settings().deleteEnabled);
  EXPECT_FALSE(view_.deleteEnabled);
  Model().MutableSettings().deleteEnabled = false;
  Model().SetImportChecked(true);
  EXPECT_TRUE(Model().Settings().deleteEnabled);
}

TEST_F(MainWindowModelTest, NormalRunWithAutoCloseEndsAndAsksToClose) {
  UseValidSettings();
  Model().FormActivate({"/g", "/x", "/i:n"});
  EXPECT_TRUE(Model().Trd1().Active());
  EXPECT_EQ(view_.caption, "Stop");
  EXPECT_FALSE(view_.enabled);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(view_.ends[0].end, RunEnd::Normal);
  EXPECT_EQ(view_.caption, "&Start");
  EXPECT_TRUE(view_.enabled);
  EXPECT_TRUE(view_.deleteEnabled);  // enabled after a run whatever "Smart import" says
  EXPECT_EQ(view_.step, "Export complete.");
  EXPECT_EQ(view_.detail, "");
  EXPECT_EQ(view_.closeRequests, 1);
  EXPECT_EQ(log_.Entries(), (std::vector<std::string>{"analyse", "collect", "export", "close-ms"}));
  // The run worked on the settings as validated.
  EXPECT_EQ(runSettings_.msDir, WithDirSeparator(msDir_.string()));
  EXPECT_TRUE(runSettings_.autoStart);
}

// A GlobalServer whose import tells one step and fails.
class TStepTellingServer final : public automation::IGlobalServer {
public:
  explicit TStepTellingServer(automation::StepLog log) : log_(std::move(log)) {}
  bool FindMainWindow() override { return true; }
  std::string CheckImport() override { return {}; }
  automation::DeleteOutcome Delete(double, double) override { return automation::DeleteOutcome::Deleted; }
  automation::ImportOutcome Import(const std::vector<std::string>&) override {
    log_("Import: no Browse button");
    return automation::ImportOutcome::Failed;
  }

private:
  automation::StepLog log_;
};

TEST_F(MainWindowModelTest, GlobalServerStepsShowInTheStatusDetail) {
  services_.makeGlobalServer = [](automation::StepLog log) {
    return std::make_unique<TStepTellingServer>(std::move(log));
  };
  UseValidSettings();
  Model().FormActivate({"/g", "/i"});
  ASSERT_TRUE(WaitForEnd());
  EXPECT_FALSE(view_.ends[0].importOk);
  // After the delete, the final status says what GlobalServer lost.
  EXPECT_TRUE(view_.step.starts_with("Export complete, but import failed. GlobalServer's data from ")) << view_.step;
  ASSERT_FALSE(view_.details.empty());
  EXPECT_EQ(view_.details.back(), "Import: no Browse button");
}

TEST_F(MainWindowModelTest, FailedStageKeepsItsStatusAndDoesNotClose) {
  UseValidSettings();
  failAt_ = "collect";
  Model().FormActivate({"/g"});
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(view_.ends[0].end, RunEnd::Failed);
  EXPECT_EQ(view_.step, "working in collect");
  EXPECT_EQ(view_.detail, "1/2");
  EXPECT_EQ(view_.caption, "&Start");
  EXPECT_TRUE(view_.enabled);
  EXPECT_EQ(view_.closeRequests, 0);
  ASSERT_TRUE(view_.queue.DrainUntil([&] { return !Model().Trd1().Active(); }));
}

// A scheduled run must end by itself: under /x a failed stage shows no box
// that would wait for a person; its messages go to the status bar, and the
// window closes with the stage's exit status.
TEST_F(MainWindowModelTest, FailedStageUnderSlashXShowsNoBoxAndClosesWithStatusThree) {
  TErrorRecorder errors;
  UseValidSettings();
  failAt_ = "collect";
  complainIn_ = "collect";
  Model().FormActivate({"/g", "/x"});
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(view_.ends[0].end, RunEnd::Failed);
  EXPECT_EQ(ExitStatusOf(view_.ends[0]), kExitStageFailed);
  EXPECT_EQ(view_.closeRequests, 1);
  EXPECT_TRUE(view_.messages.empty());
  EXPECT_TRUE(errors.Messages().empty());
  EXPECT_EQ(view_.step, "Insufficient disk space");
  ASSERT_TRUE(view_.queue.DrainUntil([&] { return !Model().Trd1().Active(); }));

  // Without /x the same run shows both as boxes and stays open.
  view_.messages.clear();
  complainIn_ = "collect";
  Model().MutableSettings().run.autoClose = false;
  Model().BtnStartClick();
  ASSERT_TRUE(view_.queue.DrainUntil([&] { return view_.ends.size() == 2; }));
  EXPECT_EQ(view_.messages, (std::vector<std::string>{"Can't open data files."}));
  EXPECT_EQ(errors.Messages(), (std::vector<std::string>{"Insufficient disk space"}));
  EXPECT_EQ(view_.closeRequests, 1);
  ASSERT_TRUE(view_.queue.DrainUntil([&] { return !Model().Trd1().Active(); }));
}

TEST_F(MainWindowModelTest, StopEnablesAtOnceAndTheRunEndsTerminated) {
  UseValidSettings();
  holdIn_ = "collect";
  Model().FormActivate({"/g", "/x"});
  gate_.WaitReached();
  Model().BtnStartClick();  // the button reads "Stop"
  EXPECT_TRUE(view_.enabled);
  EXPECT_FALSE(Model().Trd1().Active());
  EXPECT_EQ(view_.caption, "Stop");
  gate_.Open();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(view_.ends[0].end, RunEnd::Stopped);
  EXPECT_EQ(view_.step, "Terminated.");
  EXPECT_EQ(view_.caption, "&Start");
  EXPECT_EQ(view_.closeRequests, 0);
  EXPECT_EQ(log_.Entries(), (std::vector<std::string>{"analyse", "collect", "close-ms"}));
}

TEST_F(MainWindowModelTest, ButtonStartsAgainOnlyAfterTheStoppedRunHasEnded) {
  UseValidSettings();
  Model().MutableSettings().run.import = false;
  holdIn_ = "analyse";
  Model().BtnStartClick();
  gate_.WaitReached();
  Model().BtnStartClick();  // stop
  Model().BtnStartClick();  // still reads "Stop": nothing new starts
  EXPECT_EQ(Model().Trd1().LastThread()->Generation(), 1u);
  EXPECT_FALSE(Model().Trd1().Active());
  gate_.Open();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(view_.step, "Terminated.");
  Model().BtnStartClick();
  EXPECT_EQ(Model().Trd1().LastThread()->Generation(), 2u);
  ASSERT_TRUE(WaitForEnd(2));
  EXPECT_EQ(view_.ends[1].end, RunEnd::Normal);
  EXPECT_EQ(view_.step, "Export complete.");
}

TEST_F(MainWindowModelTest, CloseDuringARunStopsWaitsAndSaves) {
  Model().RestoreSettings();
  UseValidSettings();
  holdIn_ = "analyse";
  Model().BtnStartClick();
  gate_.WaitReached();
  Model().FormCloseQuery();
  EXPECT_FALSE(Model().Trd1().Active());
  EXPECT_EQ(written_.size(), 1u);
  const auto entries = log_.Entries();
  EXPECT_NE(std::find(entries.begin(), entries.end(), "sleep 1000"), entries.end());
  gate_.Open();
  Model().Trd1().LastThread()->WaitFor();
  model_.reset();  // posted tasks of the gone window are dropped
  view_.queue.DrainUntil([&] { return view_.queue.Pending() == 0; }, std::chrono::milliseconds(300));
  EXPECT_TRUE(view_.ends.empty());
}

// Nights through the window's model against GlobalServer on the simulated
// desktop, driven by the real wizard drivers: the days GlobalServer has not
// received stay recorded in the output folder until an import brings them,
// and the next From starts at the first of them.
class ImportStateNightsTest : public MainWindowModelTest {
protected:
  static constexpr double kMarch2_2001 = 36952;
  static constexpr double kMarch3_2001 = 36953;

  ImportStateNightsTest() {
    out_ = scratch_.Path() / "out";
    std::filesystem::create_directories(out_ / "2001_03");
    for (const char* name : {"d0103.omz", "2001_03/i010302.omz", "2001_03/i010303.omz"})
      test::WriteFileBytes(out_ / name, "archive");
    services_.nextStartDate = ContinuingStartDate;
    services_.now = [this] { return now_; };
    services_.defaultRunLog = [this] { return (scratch_.Path() / "runs.log").string(); };
    services_.makeGlobalServer = [this](automation::StepLog log) {
      return automation::MakeDesktopGlobalServer(std::make_unique<test::TLentDesktop>(*desktop_), std::move(log));
    };
  }

  // One night over 2 and 3 March 2001, From as given; no GlobalServer runs
  // without a behaviour.
  RunResult Night(std::optional<test::SimServerBehaviour> behaviour, double from = kMarch2_2001,
                  bool import = true) {
    desktop_ = std::make_unique<test::TSimDesktop>();
    if (behaviour) server_ = std::make_unique<test::TSimGlobalServer>(*desktop_, *behaviour);
    UseValidSettings();
    auto& s = Model().MutableSettings().run;
    s.output = out_.string();
    s.from = from;
    s.to = kMarch3_2001 + 1 - kOneMinute;
    s.import = import;
    s.deleteData = true;
    s.autoStart = true;
    const size_t ends = view_.ends.size();
    now_ += 1;  // each night a day later
    runTime_ = FormatRangeEnd(now_);
    Model().BtnStartClick();
    EXPECT_TRUE(WaitForEnd(ends + 1));
    Model().Trd1().LastThread()->WaitFor();
    return view_.ends.back();
  }
  // The file's range lines.
  std::vector<std::string> Recorded() const {
    std::vector<std::string> lines;
    const std::filesystem::path file = out_ / kImportStateFileName;
    if (!std::filesystem::exists(file)) return lines;
    std::string text = test::ReadFileBytes(file);
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && line[0] != '#') lines.push_back(line);
      start = end + 1;
    }
    return lines;
  }
  std::string RunLog() const { return test::ReadFileBytes(scratch_.Path() / "runs.log"); }
  // A range line of the last night.
  std::string Line(const std::string& why, const std::string& days = "2001-03-02 to 2001-03-03") const {
    return days + " (run of " + runTime_ + "): " + why;
  }

  double now_ = kNow;
  std::string runTime_;
  std::filesystem::path out_;
  std::unique_ptr<test::TSimDesktop> desktop_;
  std::unique_ptr<test::TSimGlobalServer> server_;
};

struct NightCase {
  const char* name;
  std::optional<test::SimServerBehaviour> behaviour;
  int exitStatus;
  std::string recorded;  // the reason the days stay for; "" none stay
  std::string told;      // in the final status
};

TEST_F(ImportStateNightsTest, EachEndLeavesTheDaysGlobalServerLacksRecordedAndAFullImportClearsThem) {
  test::SimServerBehaviour refuses, noNotice, deleteStuck;
  refuses.refusedFile = 0;
  noNotice.notice = false;
  deleteStuck.deletingMs = test::kForever;
  const NightCase cases[] = {
      {"imported", test::SimServerBehaviour{}, kExitComplete, "", "Export complete."},
      {"import failed", refuses, kExitImportFailed, kWhyImportFailed, "was deleted; 3 archives not imported"},
      {"GlobalServer not running", std::nullopt, kExitComplete, kWhyNotRunning, kSmartImportNotRunning},
      {"import not confirmed, counted as imported", noNotice, kExitComplete, "",
       "did not confirm the import; the archives are taken as imported"},
      {"delete failed twice", deleteStuck, kExitImportFailed, kWhyDeleteFailed,
       "part of its data from 2001-03-02 to 2001-03-03 may already be deleted"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(out_ / kImportStateFileName);
    const RunResult result = Night(c.behaviour);
    EXPECT_EQ(ExitStatusOf(result), c.exitStatus);
    EXPECT_NE(view_.step.find(c.told), std::string::npos) << view_.step;
    EXPECT_EQ(Recorded(), c.recorded.empty() ? std::vector<std::string>{} : std::vector<std::string>{Line(c.recorded)});
  }
}

TEST_F(ImportStateNightsTest, TheNextNightContinuesFromTheFirstDayNotImportedAndBringsIt) {
  test::SimServerBehaviour refuses;
  refuses.refusedFile = 0;
  Night(refuses);
  const std::string firstNight = runTime_;
  ASSERT_EQ(Recorded(), std::vector<std::string>{Line(kWhyImportFailed)});

  // The From field follows the folder: the newest day archive is of 3 March,
  // but GlobalServer lacks 2 March.
  Model().EdtOutputChange();
  EXPECT_EQ(Model().Settings().run.from, kMarch2_2001);

  // A night that starts later warns, with the switch that brings the days,
  // and leaves them recorded.
  Night(test::SimServerBehaviour{}, kMarch3_2001);
  const std::string warning = "GlobalServer still lacks the archives from 2001-03-02 to 2001-03-03 (run of " +
                              firstNight + ", import failed), before this run's range; /f:20010302 would bring them.";
  EXPECT_NE(view_.step.find(warning), std::string::npos) << view_.step;
  EXPECT_NE(RunLog().find("Note: " + warning), std::string::npos);
  // The day this night imported is no longer lacking; the other keeps its
  // night and reason.
  EXPECT_EQ(Recorded(), std::vector<std::string>{"2001-03-02 to 2001-03-02 (run of " + firstNight +
                                                 "): " + kWhyImportFailed});

  // Continuing from it brings everything, says why, and clears the record.
  Model().EdtOutputChange();
  Night(test::SimServerBehaviour{}, Model().Settings().run.from);
  EXPECT_EQ(view_.step, "Export complete.");
  EXPECT_NE(RunLog().find("Continuing from 2001-03-02: GlobalServer has not received the archives from 2001-03-02 "
                          "to 2001-03-02 (run of " + firstNight + ", import failed)."),
            std::string::npos);
  EXPECT_TRUE(Recorded().empty());
  EXPECT_FALSE(std::filesystem::exists(out_ / kImportStateFileName));
  Model().EdtOutputChange();
  EXPECT_EQ(Model().Settings().run.from, kMarch3_2001);
}

TEST_F(ImportStateNightsTest, TheDaysAreRecordedBeforeTheRunWritesAndSmartImportOffLeavesTheFile) {
  holdIn_ = "analyse";
  desktop_ = std::make_unique<test::TSimDesktop>();
  server_ = std::make_unique<test::TSimGlobalServer>(*desktop_, test::SimServerBehaviour{});
  UseValidSettings();
  auto& s = Model().MutableSettings().run;
  s.output = out_.string();
  s.from = kMarch2_2001;
  s.to = kMarch3_2001 + 0.5;
  s.autoStart = true;
  runTime_ = FormatRangeEnd(now_);
  Model().BtnStartClick();
  gate_.WaitReached();
  // A run killed here leaves its days recorded.
  EXPECT_EQ(Recorded(), std::vector<std::string>{Line(kWhyRunUnfinished)});
  gate_.Open();
  ASSERT_TRUE(WaitForEnd());
  Model().Trd1().LastThread()->WaitFor();
  EXPECT_TRUE(Recorded().empty());
  holdIn_.clear();

  const std::string kept = "# by hand\n2001-02-01 to 2001-02-02 (run of someone): whatever\ngarbage line\n";
  test::WriteFileBytes(out_ / kImportStateFileName, kept);
  Night(test::SimServerBehaviour{}, kMarch2_2001, /*import=*/false);
  EXPECT_EQ(test::ReadFileBytes(out_ / kImportStateFileName), kept);
  // The damaged line is named, not a reason to stop.
  EXPECT_NE(RunLog().find("Note: 1 line of "), std::string::npos);
  EXPECT_EQ(view_.ends.back().end, RunEnd::Normal);
}

}  // namespace
}  // namespace vz::app
