// The run log: where it lives, its lines, its bound, two writers at once, a
// log that cannot be written, /l:, and the record a run leaves (through the
// window's model with stand-in stages and GlobalServer, and through the
// console program over a generated MetaStock directory).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <sstream>
#include <thread>

#include "RunFakes.h"
#include "TestTaskQueue.h"
#include "app/console/ConsoleProgram.h"
#include "app/run/PathText.h"
#include "app/run/ProgramVersion.h"
#include "app/record/RunLog.h"
#include "app/record/RunLogPath.h"
#include "app/record/RunRecorder.h"
#include "app/window/CommandLine.h"
#include "app/window/MainWindowModel.h"
#include "platform/FileSystem.h"
#include "support/ScratchDir.h"
#include "tools/msgen/MsGen.h"
#include "vuzuz/ShowError.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;

constexpr double kNow = 46000.5;  // 2025-12-09 12:00:00

std::vector<std::string> FileLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::istringstream in(test::ReadFileBytes(path));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

size_t Count(const std::vector<std::string>& lines, const std::string& part) {
  return static_cast<size_t>(
      std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

// A path as the settings hold it after the command line: on Windows the
// whole argument is lower-cased.
std::string AsGiven(const std::string& path) { return kCaseSensitiveFileNames ? path : LowerAscii(path); }

// The text after the stamp and the process id.
std::string Event(const std::string& line) {
  const size_t close = line.find("] ");
  return close == std::string::npos ? line : line.substr(close + 2);
}

std::vector<std::string> Events(const fs::path& path) {
  std::vector<std::string> out;
  for (const std::string& line : FileLines(path)) out.push_back(Event(line));
  return out;
}

TEST(RunLogPathTest, DefaultPlacesAndRotatedNames) {
  EXPECT_EQ(WindowsRunLogPath("C:\\Users\\ann\\AppData\\Local"),
            "C:\\Users\\ann\\AppData\\Local\\Vuzuz archive creator\\runs.log");
  EXPECT_EQ(WindowsRunLogPath("C:\\Users\\ann\\AppData\\Local\\"),
            "C:\\Users\\ann\\AppData\\Local\\Vuzuz archive creator\\runs.log");
  EXPECT_EQ(WindowsRunLogPath(""), "");

  struct PosixCase {
    const char* xdg;
    const char* home;
    const char* expected;
  };
  const PosixCase posix[] = {
      {"/var/state", "/home/ann", "/var/state/vuzuz-archive-creator/runs.log"},
      {"/var/state/", "/home/ann", "/var/state/vuzuz-archive-creator/runs.log"},
      {"", "/home/ann", "/home/ann/.local/state/vuzuz-archive-creator/runs.log"},
      {"relative/state", "/home/ann/", "/home/ann/.local/state/vuzuz-archive-creator/runs.log"},
      {"", "", ""},
      {"", "relative-home", ""},
  };
  for (const auto& c : posix) EXPECT_EQ(PosixRunLogPath(c.xdg, c.home), c.expected) << c.xdg << " | " << c.home;

  EXPECT_EQ(RotatedRunLogPath("/s/runs.log"), "/s/runs.1.log");
  EXPECT_EQ(RotatedRunLogPath("C:\\Local\\Vuzuz archive creator\\runs.log"),
            "C:\\Local\\Vuzuz archive creator\\runs.1.log");
  EXPECT_EQ(RotatedRunLogPath("/s.d/night"), "/s.d/night.1");
  EXPECT_EQ(RotatedRunLogPath("/s/.log"), "/s/.log.1");
}

TEST(RunLogTest, EachLineStampedOnePerLineOfText) {
  test::TScratchDir scratch;
  const fs::path path = scratch.Path() / "deep" / "er" / "runs.log";  // folders made as needed
  TRunLog log(path.string(), [] { return kNow; });
  log.Line("first");
  log.Line("two\nlines\twith a tab\r");
  EXPECT_TRUE(log.Writing());
  const std::vector<std::string> lines = FileLines(path);
  ASSERT_EQ(lines.size(), 3u);
  const std::string stamp = RunLogStamp(kNow);
  EXPECT_EQ(stamp, "2025-12-09 12:00:00");
  for (const std::string& line : lines) EXPECT_EQ(line.rfind(stamp + " [", 0), 0u) << line;
  EXPECT_EQ(Event(lines[0]), "first");
  EXPECT_EQ(Event(lines[1]), "two");
  EXPECT_EQ(Event(lines[2]), "lines with a tab ");
  // A time a hair before the next second rounds up, never to ":60".
  EXPECT_EQ(RunLogStamp(kNow + 59.9996 / 86400), "2025-12-09 12:01:00");
}

TEST(RunLogTest, RenamedWhenItPassesFourMebibytes) {
  test::TScratchDir scratch;
  const fs::path path = scratch.Path() / "runs.log";
  const fs::path old = scratch.Path() / "runs.1.log";
  test::WriteFileBytes(old, "an older rotated log\n");
  // Exactly at the bound: not passed yet, the line is appended.
  test::WriteFileBytes(path, std::string(kRunLogRotateBytes, 'x'));
  TRunLog(path.string(), [] { return kNow; }).Line("at the bound");
  EXPECT_EQ(test::ReadFileBytes(old), "an older rotated log\n");
  EXPECT_GT(fs::file_size(path), kRunLogRotateBytes);
  // Past it: the whole file becomes runs.1.log (the older one replaced) and
  // the line begins a new log.
  const std::uintmax_t full = fs::file_size(path);
  TRunLog(path.string(), [] { return kNow; }).Line("after the bound");
  EXPECT_EQ(fs::file_size(old), full);
  ASSERT_EQ(Events(path), std::vector<std::string>{"after the bound"});
}

TEST(RunLogTest, TwoWritersAtOnceEachWriteWholeLines) {
  test::TScratchDir scratch;
  const fs::path path = scratch.Path() / "runs.log";
  constexpr int kLines = 1500;
  const std::string padA(300, 'a');
  const std::string padB(300, 'b');
  auto writer = [&](const std::string& pad) {
    TRunLog log(path.string(), [] { return kNow; });
    for (int i = 0; i < kLines; ++i) log.Line(pad + " " + std::to_string(i));
  };
  std::thread a(writer, padA);
  std::thread b(writer, padB);
  a.join();
  b.join();
  int seenA = 0;
  int seenB = 0;
  for (const std::string& event : Events(path)) {
    const bool isA = event.rfind(padA + " ", 0) == 0;
    const bool isB = event.rfind(padB + " ", 0) == 0;
    ASSERT_TRUE(isA || isB) << event.substr(0, 80);
    const std::string number = event.substr(301);
    ASSERT_FALSE(number.empty());
    ASSERT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << number;
    (isA ? seenA : seenB)++;
  }
  EXPECT_EQ(seenA, kLines);
  EXPECT_EQ(seenB, kLines);
}

TEST(RunLogTest, UnwritableLogKeepsItsReasonAndStopsTrying) {
  test::TScratchDir scratch;
  test::WriteFileBytes(scratch.Path() / "file", "not a folder");
  // A folder cannot be made inside a file, whoever runs the test.
  TRunLog log((scratch.Path() / "file" / "runs.log").string(), [] { return kNow; });
  log.Line("lost");
  EXPECT_FALSE(log.Writing());
  EXPECT_NE(log.Problem().find("cannot create the folder"), std::string::npos) << log.Problem();
  TRunRecorder recorder(log);
  const std::string notice = recorder.TakeNoLogNotice();
  EXPECT_NE(notice.find("keeps no run log"), std::string::npos);
  EXPECT_EQ(recorder.TakeNoLogNotice(), "");  // said once

  TRunLog none("", [] { return kNow; });  // /l: without a file
  none.Line("nowhere");
  EXPECT_FALSE(none.Writing());
  EXPECT_EQ(none.Problem(), "");
  TRunRecorder quiet(none);
  EXPECT_EQ(quiet.TakeNoLogNotice(), "");
}

TEST(RunLogSwitchTest, LogSwitchTable) {
  struct Case {
    std::vector<std::string> args;
    std::optional<std::string> expected;
    bool refused;
  };
  const std::string upper = "/L:/Logs/Night.LOG";
  const Case cases[] = {
      {{}, std::nullopt, false},
      {{"/l:/logs/night.log"}, "/logs/night.log", false},
      {{"-l:\"/logs/a b.log\""}, "/logs/a b.log", false},
      {{"/l:"}, "", false},
      {{"/l:/logs/x.log", "/l"}, std::nullopt, false},  // /l alone: the default again
      {{"/l:/logs/x.log", "/lx"}, "/logs/x.log", true},
      {{upper}, kCaseSensitiveFileNames ? "/Logs/Night.LOG" : "/logs/night.log", false},
  };
  for (const Case& c : cases) {
    WindowSettings settings;
    ParseCommandLine(c.args, settings, {});
    EXPECT_EQ(settings.runLogFile, c.expected) << (c.args.empty() ? "" : c.args[0]);
    bool refused = false;
    for (const auto& arg : c.args) refused = refused || !SwitchProblem(arg).empty();
    EXPECT_EQ(refused, c.refused) << (c.args.empty() ? "" : c.args.back());
  }
}

// --- The record of a run through the window's model ------------------------

class TLogView final : public IMainView {
public:
  test::TTaskQueue queue;
  std::vector<std::string> messages;
  std::vector<RunResult> ends;
  void Post(std::function<void()> task) override { queue.Post(std::move(task)); }
  void ShowSettings(const WindowSettings&) override {}
  void ShowStatus(const std::string&, const std::string&) override {}
  void ShowButtonCaption(const std::string&) override {}
  void ShowControlsEnabled(bool, bool) override {}
  void FocusControl(Control) override {}
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskImportRange(double&, double&) override { return true; }
  void RequestClose() override {}
  void RunEnded(const RunResult& result) override { ends.push_back(result); }
};

// A GlobalServer whose wizards tell their steps, and whose second import
// fails.
class TSteppingServer final : public automation::IGlobalServer {
public:
  explicit TSteppingServer(automation::StepLog log) : log_(std::move(log)) {}
  bool FindMainWindow() override { return true; }
  std::string CheckImport() override { return {}; }
  automation::DeleteOutcome Delete(double, double) override {
    log_("Delete: wizard finished");
    return automation::DeleteOutcome::Deleted;
  }
  automation::ImportOutcome Import(const std::vector<std::string>& files) override {
    log_("Import: " + (files.empty() ? std::string("nothing") : files.front()));
    return ++imports_ < 2 ? automation::ImportOutcome::Imported : automation::ImportOutcome::Failed;
  }

private:
  automation::StepLog log_;
  int imports_ = 0;
};

class RunLogModelTest : public testing::Test {
protected:
  RunLogModelTest() {
    fs::create_directories(msDir_);
    test::WriteFileBytes(msDir_ / "MASTER", "");
    test::WriteFileBytes(msDir_ / "EMASTER", "");
    fs::create_directories(out_);
    services_.makeStages = [this](const TRunSettings&, IRunStatus& status) {
      auto stages = std::make_unique<test::TFakeStages>(calls_);
      stages->failAt = failAt_;
      stages->onStage = [this, &status, raw = stages.get()](const std::string& stage) {
        status.SetStatus("working in " + stage);
        status.SetStatusDetail("3/7");
        status.LogLine("a line for the log from " + stage);
        if (stage == failAt_) ShowError("The disk is full.\nSecond line.");
        if (stage == holdIn_) {
          reached_.set_value();
          release_.get_future().wait();
        }
        if (stage == "export") {
          raw->notes = "Bars out of time order, sorted: \"ACME\"\nLeft out, the files cannot hold it: i261102";
          raw->leftOut = true;
          status.ShowMessage(raw->notes);
        }
      };
      return stages;
    };
    services_.makeGlobalServer = [](automation::StepLog log) -> std::unique_ptr<automation::IGlobalServer> {
      return std::make_unique<TSteppingServer>(std::move(log));
    };
    services_.sleep = [](int) {};
    services_.deleteClock = [](double d) { return d; };
    services_.nextStartDate = [](const std::string&, double today) { return today; };
    services_.now = [] { return kNow; };
    services_.defaultMsDir = [] { return std::string(); };
    services_.defaultRunLog = [this] { return log_.string(); };
  }

  // One run with /g /x and the given switches; the exit status.
  int Run(std::vector<std::string> args) {
    TMainWindowModel model(view_, services_);
    auto& run = model.MutableSettings().run;
    run.msDir = msDir_.string();
    run.output = out_.string();
    run.from = 46000;
    run.to = 46001;
    args.push_back("/g");
    args.push_back("/x");
    model.FormActivate(args);
    EXPECT_TRUE(view_.queue.DrainUntil([&] { return view_.ends.size() == 1; }));
    if (const auto thread = model.Trd1().LastThread()) thread->WaitFor();
    return view_.ends.empty() ? -1 : ExitStatusOf(view_.ends.back());
  }

  test::TScratchDir scratch_;
  fs::path msDir_ = scratch_.Path() / "ms";
  fs::path out_ = scratch_.Path() / "out";
  fs::path log_ = scratch_.Path() / "state" / "runs.log";
  test::TCallLog calls_;
  TLogView view_;
  MainWindowServices services_;
  std::string failAt_;
  std::string holdIn_;  // the stage waits there until released
  std::promise<void> reached_;
  std::promise<void> release_;
};

TEST_F(RunLogModelTest, RecordHoldsSettingsStagesNotesImportStepsAndExitStatus) {
  ASSERT_EQ(Run({}), kExitImportFailed);
  const std::vector<std::string> events = Events(log_);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().rfind(kRunLogStartMark, 0), 0u) << events.front();
  EXPECT_EQ(events.back(), std::string(kRunLogEndMark) + ", exit status 4");
  EXPECT_EQ(Count(events, "MetaStock directory: " + msDir_.string()), 1u);
  EXPECT_EQ(Count(events, "Create archives: on"), 1u);
  for (const char* stage : {"Analysis: done in ", "Collection: done in ", "Export: done in "})
    EXPECT_EQ(Count(events, stage), 1u) << stage;
  EXPECT_EQ(Count(events, "a line for the log from collect"), 1u);
  // The note is written once, as notes, although the stage showed it too.
  EXPECT_EQ(Count(events, "Note: Bars out of time order, sorted: \"ACME\""), 1u);
  EXPECT_EQ(Count(events, "Note: Left out, the files cannot hold it: i261102"), 1u);
  EXPECT_EQ(Count(events, "Message: "), 0u);
  // The stages' own progress is not in it; Smart import's steps are.
  EXPECT_EQ(Count(events, "working in"), 0u);
  EXPECT_EQ(Count(events, "Smart import in progress..."), 1u);
  EXPECT_EQ(Count(events, "Delete skipped"), 1u);  // data was left out
  EXPECT_EQ(Count(events, "Import: nothing"), 2u);
  EXPECT_EQ(Count(events, "GlobalServer's import of"), 0u);
  EXPECT_EQ(Count(events, "Final status: Export complete, but import failed."), 1u);
}

TEST_F(RunLogModelTest, FailedStageNamesWhereItStoppedAndRunsAppend) {
  TErrorRecorder shown;
  failAt_ = "collect";
  ASSERT_EQ(Run({}), kExitStageFailed);
  const std::vector<std::string> events = Events(log_);
  EXPECT_EQ(Count(events, "Collection: failed after "), 1u);
  EXPECT_EQ(Count(events, "at: working in collect (3/7)"), 1u);
  EXPECT_EQ(Count(events, "Export: "), 0u);
  // The error box of the failing stage, both its lines.
  EXPECT_EQ(Count(events, "Error: The disk is full."), 1u);
  EXPECT_EQ(Count(events, "Error: Second line."), 1u);
  EXPECT_EQ(Count(events, "Final status: working in collect (3/7)"), 1u);
  EXPECT_EQ(events.back(), std::string(kRunLogEndMark) + ", exit status 3");

  // A second run appends its own record after the first.
  view_.ends.clear();
  failAt_.clear();
  Run({});
  const std::vector<std::string> both = Events(log_);
  EXPECT_EQ(Count(both, kRunLogStartMark), 2u);
  EXPECT_EQ(Count(both, kRunLogEndMark), 2u);
  EXPECT_EQ(both.back(), std::string(kRunLogEndMark) + ", exit status 4");
}

TEST_F(RunLogModelTest, StoppedRunEndsTerminatedWithExitStatus130) {
  holdIn_ = "collect";
  std::future<void> reached = reached_.get_future();
  TMainWindowModel model(view_, services_);
  // Released however the test ends (before the model goes), so the run's
  // thread always finishes.
  struct Release {
    std::promise<void>& promise;
    ~Release() {
      try {
        promise.set_value();
      } catch (const std::future_error&) {
      }
    }
  } release{release_};
  auto& run = model.MutableSettings().run;
  run.msDir = msDir_.string();
  run.output = out_.string();
  run.from = 46000;
  run.to = 46001;
  model.FormActivate({"/g", "/x"});
  ASSERT_EQ(reached.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  ASSERT_TRUE(view_.queue.DrainUntil([&] { return model.ButtonCaption() == kCaptionStop; }));
  model.BtnStartClick();  // "Stop"
  release_.set_value();
  ASSERT_TRUE(view_.queue.DrainUntil([&] { return view_.ends.size() == 1; }));
  if (const auto thread = model.Trd1().LastThread()) thread->WaitFor();
  const std::vector<std::string> events = Events(log_);
  EXPECT_EQ(Count(events, "Collection: stopped after "), 1u);
  EXPECT_EQ(Count(events, "Export: "), 0u);
  EXPECT_EQ(Count(events, "Final status: Terminated."), 1u);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), std::string(kRunLogEndMark) + ", exit status 130");
}

TEST_F(RunLogModelTest, LogSwitchPicksTheFileOrNone) {
  const fs::path chosen = scratch_.Path() / "chosen.log";
  Run({"/l:" + chosen.string()});
  EXPECT_FALSE(fs::exists(log_));
  EXPECT_EQ(Count(Events(chosen), kRunLogEndMark), 1u);

  view_.ends.clear();
  Run({"/l:"});
  EXPECT_FALSE(fs::exists(log_));
  EXPECT_EQ(Count(Events(chosen), kRunLogEndMark), 1u);
  for (const std::string& message : view_.messages)  // no log by choice: nothing to say
    EXPECT_EQ(message.find("run log"), std::string::npos) << message;
}

TEST_F(RunLogModelTest, UnwritableLogIsToldOnceWithTheNoteAndTheRunGoesOn) {
  test::WriteFileBytes(scratch_.Path() / "blocked", "a file where the log's folder would go");
  services_.defaultRunLog = [this] { return (scratch_.Path() / "blocked" / "runs.log").string(); };
  // Not closing by itself: the note is shown, and says it once.
  TMainWindowModel model(view_, services_);
  auto& run = model.MutableSettings().run;
  run.msDir = msDir_.string();
  run.output = out_.string();
  run.from = 46000;
  run.to = 46001;
  run.import = false;
  model.BtnStartClick();
  ASSERT_TRUE(view_.queue.DrainUntil([&] { return view_.ends.size() == 1; }));
  if (const auto thread = model.Trd1().LastThread()) thread->WaitFor();
  EXPECT_EQ(ExitStatusOf(view_.ends[0]), kExitLeftOut);
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_NE(view_.messages[0].find("Bars out of time order"), std::string::npos);
  EXPECT_NE(view_.messages[0].find("keeps no run log: cannot create the folder"), std::string::npos)
      << view_.messages[0];
}

TEST_F(RunLogModelTest, RefusedScheduledStartIsRecordedWithExitStatusTwo) {
  TMainWindowModel model(view_, services_);
  model.MutableSettings().run.msDir = (scratch_.Path() / "nowhere").string();
  model.MutableSettings().run.output = out_.string();
  model.FormActivate({"/g", "/x"});
  EXPECT_FALSE(model.Trd1().LastThread());
  const std::vector<std::string> events = Events(log_);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().rfind(kRunLogStartMark, 0), 0u);
  EXPECT_EQ(Count(events, "Settings refused: Invalid MetaStock directory."), 1u);
  EXPECT_EQ(Count(events, "Final status: Invalid MetaStock directory."), 1u);
  EXPECT_EQ(events.back(), std::string(kRunLogEndMark) + ", exit status 2");
}

// --- The console program over a generated directory -------------------------

class RunLogConsoleTest : public testing::Test {
protected:
  void SetUp() override {
    msgen::MsGenDirectory directory;
    msgen::MsGenSecurity security;
    security.symbol = "ACME";
    security.name = "BKG_u.L";  // "_" without a period: a note
    security.fieldMask = msgen::kMaskDohlcv;
    for (int32_t date : {20261102, 20261103, 20261130}) {
      msgen::MsGenBar bar;
      bar.date = date;
      bar.open = bar.low = 10;
      bar.high = bar.close = 11;
      bar.volume = 1000;
      security.bars.push_back(bar);
    }
    directory.securities.push_back(security);
    ASSERT_EQ(msgen::CheckDirectory(directory), "");
    fs::create_directories(msDir_);
    for (const auto& file : msgen::BuildMetastockFiles(directory)) ASSERT_TRUE(msgen::WriteMsGenFile(msDir_, file));
    options_.err = &err_;
    options_.out = &err_;
    options_.services.readStored = [](platform::StoredValues&) { return false; };
    options_.services.writeStored = [](const platform::StoredValues&) { return true; };
    options_.services.defaultMsDir = [] { return std::string(); };
  }
  int Run(const std::string& logSwitch) {
    return RunConsoleProgram(
        {"/m:" + msDir_.string(), "/o:" + out_.string(), "/f:20261101", "/t:20261201", "/i:n", logSwitch}, options_);
  }

  test::TScratchDir scratch_;
  fs::path msDir_ = scratch_.Path() / "ms";
  fs::path out_ = scratch_.Path() / "out";
  std::ostringstream err_;
  ConsoleProgramOptions options_;
};

TEST_F(RunLogConsoleTest, RealRunLeavesItsRecord) {
  const fs::path log = scratch_.Path() / "logs" / "night.log";
  ASSERT_EQ(Run("/l:" + log.string()), kExitComplete) << err_.str();
  EXPECT_NE(err_.str().find("Run log:             " + AsGiven(log.string())), std::string::npos) << err_.str();
  const std::vector<std::string> events = Events(log);
  ASSERT_GE(events.size(), 8u);
  EXPECT_EQ(events.front(), std::string(kRunLogStartMark) + " (vuzuz-archive-creator " + kProgramVersion + ")");
  EXPECT_EQ(Count(events, "Output directory:    " + AsGiven(WithDirSeparator(out_.string()))), 1u);
  EXPECT_EQ(Count(events, "Range:               2026-11-01 00:00 to 2026-12-01 00:00"), 1u);
  EXPECT_EQ(Count(events, "Export: done in "), 1u);
  EXPECT_EQ(Count(events, "Note: Invalid period text, names kept whole: "), 1u);
  EXPECT_EQ(Count(events, "Final status: Export complete."), 1u);
  EXPECT_EQ(events.back(), std::string(kRunLogEndMark) + ", exit status 0");
}

TEST_F(RunLogConsoleTest, UnwritableLogGivesOneNoteAndTheRunSucceeds) {
  test::WriteFileBytes(scratch_.Path() / "blocked", "x");
  ASSERT_EQ(Run("/l:" + (scratch_.Path() / "blocked" / "runs.log").string()), kExitComplete) << err_.str();
  EXPECT_TRUE(fs::is_regular_file(out_ / "d2611.omz"));
  const std::string text = err_.str();
  const size_t first = text.find("keeps no run log");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_EQ(text.find("keeps no run log", first + 1), std::string::npos) << text;
}

}  // namespace
}  // namespace vz::app
