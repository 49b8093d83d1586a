#include "app/window/MainWindowModel.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "app/window/CommandLine.h"
#include "app/window/DirectoryChecks.h"
#include "app/window/LocalNow.h"
#include "app/window/ProductionGlobalServer.h"
#include "app/record/ImportStateRun.h"
#include "app/record/LoggedRun.h"
#include "app/run/PathText.h"
#include "app/run/ProgramVersion.h"
#include "app/record/RunLog.h"
#include "app/record/RunLogPath.h"
#include "app/record/RunRecorder.h"
#include "app/run/RunSummary.h"
#include "app/window/ExitStatus.h"
#include "platform/FileSystem.h"
#include "vuzuz/ShowError.h"

namespace vz::app {

namespace fs = std::filesystem;

// Carries calls from a run's worker thread to the view's thread, and lets
// them reach the model only while it exists: the model disconnects the link
// when it is destroyed, on the view's thread, where the posted tasks run too.
class TViewLink : public std::enable_shared_from_this<TViewLink> {
public:
  TViewLink(IMainView& view, TMainWindowModel& model) : view_(&view), model_(&model) {}

  // False when the window is gone and the task was dropped.
  bool Post(std::function<void(TMainWindowModel&)> task) {
    std::lock_guard lock(mutex_);
    if (!view_) return false;
    auto self = shared_from_this();
    view_->Post([self, task = std::move(task)] {
      TMainWindowModel* model = nullptr;
      {
        std::lock_guard inner(self->mutex_);
        model = self->model_;
      }
      if (model) task(*model);
    });
    return true;
  }

  // Runs `call` on the view's thread and waits for it; false when the window
  // is gone (or went before answering).
  bool Call(const std::function<bool(TMainWindowModel&)>& call) {
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> result = answer->get_future();
    const bool posted = Post([answer, call](TMainWindowModel& model) {
      bool value = false;
      try {
        value = call(model);
      } catch (...) {
      }
      answer->set_value(value);
    });
    if (!posted) return false;
    try {
      return result.get();
    } catch (const std::future_error&) {
      return false;  // the task was dropped unanswered
    }
  }

  void Disconnect() {
    std::lock_guard lock(mutex_);
    view_ = nullptr;
    model_ = nullptr;
  }

private:
  std::mutex mutex_;
  IMainView* view_;
  TMainWindowModel* model_;
};

namespace {

constexpr double kOneMinute = 1.0 / 1440.0;
constexpr int kCloseWaitMs = 1000;

// What a run's stages see of the window, from the worker thread.
class TRunStatusLink final : public IRunStatus {
public:
  TRunStatusLink(std::shared_ptr<TViewLink> link, TEasyThreadThread& thread, TRunRecorder& recorder,
                 bool autoClose)
      : link_(std::move(link)), thread_(thread), recorder_(recorder), autoClose_(autoClose) {}

  void SetStatus(const std::string& text) override {
    recorder_.Step(text);
    Forward(false, text);
  }
  void SetStatusDetail(const std::string& text) override {
    recorder_.Detail(text);
    Forward(true, text);
  }
  void LogLine(const std::string& text) override { recorder_.Line(text); }
  void SetProgress(RunCounter counter, int64_t done, int64_t total) override {
    const std::uint64_t generation = thread_.Generation();
    link_->Post([=](TMainWindowModel& model) { model.RunProgress(generation, counter, done, total); });
  }
  void ShowMessage(const std::string& given) override {
    recorder_.Message(given);
    // A log that cannot be written is told once, with the first message.
    std::string text = given;
    if (const std::string notice = recorder_.TakeNoLogNotice(); !notice.empty()) text += "\n" + notice;
    // Held back from a box under /x: the run's log has it already.
    if (HoldsBoxes()) {
      ShowInStatusBar(text);
      return;
    }
    link_->Call([text](TMainWindowModel& model) {
      model.View().ShowMessage(text);
      return true;
    });
  }
  bool StopRequested() const override { return thread_.Terminated(); }
  bool MessagesWaitForUser() const override {
    return link_->Call([](TMainWindowModel& model) { return model.View().MessagesWaitForUser(); });
  }

  bool HoldsBoxes() const { return app::HoldsBoxes(autoClose_, MessagesWaitForUser()); }
  // A message held back from a box, shown as the step instead.
  void ShowInStatusBar(const std::string& text) { Forward(false, StatusLineOf(text)); }

private:
  // The panels' texts not yet shown. Updates merge here: one task is
  // posted while none is pending, and it shows the latest texts, so a run
  // reporting faster than the window draws queues one task, not one each.
  struct PendingStatus {
    std::mutex mutex;
    std::optional<std::string> step;
    std::optional<std::string> detail;
    bool posted = false;
  };
  void Forward(bool detail, const std::string& text);

  std::shared_ptr<TViewLink> link_;
  TEasyThreadThread& thread_;
  TRunRecorder& recorder_;
  bool autoClose_;
  std::shared_ptr<PendingStatus> pending_ = std::make_shared<PendingStatus>();
};

// The range dialog shown on the view's thread while the run waits.
class TRangeDialogLink final : public automation::IImportRangeDialog {
public:
  explicit TRangeDialogLink(std::shared_ptr<TViewLink> link) : link_(std::move(link)) {}
  bool Ask(double& from, double& to) override {
    double chosenFrom = from;
    double chosenTo = to;
    const bool ok = link_->Call([&](TMainWindowModel& model) {
      return model.View().AskImportRange(chosenFrom, chosenTo);
    });
    if (ok) {
      from = chosenFrom;
      to = chosenTo;
    }
    return ok;
  }

private:
  std::shared_ptr<TViewLink> link_;
};

std::string TrimStored(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

bool ReadStoredBool(const std::string& text, bool& value) {
  const std::string lowered = LowerAscii(TrimStored(text));
  if (lowered == "true") value = true;
  else if (lowered == "false") value = false;
  else return false;
  return true;
}

const char* BoolText(bool value) { return value ? "True" : "False"; }

// The final status of a normal end (below).
std::string FinalStatus(const RunResult& result);

}  // namespace

struct TMainWindowModel::RunContext {
  TRunSettings settings;
  MainWindowServices services;
  std::string runLog;  // "" for none
};

namespace {

// The run's last lines: its final status as the window shows it (a failed
// stage keeps its last step) and the exit status a scheduled run ends with.
void RecordEnd(const RunResult& result, const TRunSettings& settings, TRunRecorder& recorder, IRunStatus& status) {
  std::string finalStatus;
  switch (result.end) {
    case RunEnd::Normal: finalStatus = FinalStatus(result); break;
    case RunEnd::Stopped: finalStatus = "Terminated."; break;
    case RunEnd::Failed:
      finalStatus = recorder.LastStep();
      if (!recorder.LastDetail().empty()) finalStatus += " (" + recorder.LastDetail() + ")";
      break;
  }
  recorder.Ended(finalStatus, ExitStatusOf(result));
  // No message came to carry it: the notice has one of its own, unless
  // nobody would be there to dismiss it.
  const std::string notice = recorder.TakeNoLogNotice();
  if (!notice.empty() && !HoldsBoxes(settings.autoClose, status.MessagesWaitForUser())) status.ShowMessage(notice);
}

}  // namespace

void TRunStatusLink::Forward(bool detail, const std::string& text) {
  {
    std::lock_guard lock(pending_->mutex);
    if (!detail) pending_->step = text;
    pending_->detail = detail ? text : std::string();
    if (pending_->posted) return;
    pending_->posted = true;
  }
  const std::uint64_t generation = thread_.Generation();
  link_->Post([generation, pending = pending_](TMainWindowModel& model) {
    std::optional<std::string> step;
    std::optional<std::string> detailText;
    {
      std::lock_guard lock(pending->mutex);
      step.swap(pending->step);
      detailText.swap(pending->detail);
      pending->posted = false;
    }
    model.RunStatus(generation, step, detailText);
  });
}

MainWindowServices ProductionServices() {
  MainWindowServices services;
  services.makeStages = MakeConversionStages;
  services.makeGlobalServer = MakeProductionGlobalServer;
  services.sleep = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  services.deleteClock = DeleteWizardClock;
  services.nextStartDate = ContinuingStartDate;
  services.now = NowValue;
  services.defaultMsDir = [] {
    return platform::ReadRegString(platform::RegRoot::CurrentUser, kDefaultMsDirKey, kDefaultMsDirValue);
  };
  services.readStored = [](platform::StoredValues& values) {
    return platform::ReadStoredValues(kStoredSettingsKey, values);
  };
  services.writeStored = [](const platform::StoredValues& values) {
    return platform::WriteStoredValues(kStoredSettingsKey, values);
  };
  services.defaultRunLog = DefaultRunLogPath;
  return services;
}

TMainWindowModel::TMainWindowModel(IMainView& view, MainWindowServices services)
    : view_(view),
      services_(std::move(services)),
      link_(std::make_shared<TViewLink>(view, *this)),
      trd1_([link = link_](std::function<void()> task) {
        link->Post([task = std::move(task)](TMainWindowModel&) { task(); });
      }) {
  const double now = services_.now();
  settings_.run.from = now;
  settings_.run.to = now;
  trd1_.Priority = platform::ThreadPriority::Lowest;
  trd1_.ThreadBegin = [this](TWorkerThread&) { Trd1ThreadBegin(); };
  trd1_.ThreadEnd = [this](TWorkerThread&) { Trd1ThreadEnd(); };
}

TMainWindowModel::~TMainWindowModel() { link_->Disconnect(); }

void TMainWindowModel::RestoreSettings() {
  platform::StoredValues values;
  if (services_.readStored && services_.readStored(values)) {
    WindowPlacement placement;
    if (ReadPlacementValues(values, placement) && placement.pixelsPerInch == view_.PixelsPerInch())
      view_.ApplyPlacement(placement);
    auto find = [&](const char* name, std::string& value) {
      for (const auto& entry : values) {
        if (LowerAscii(entry.first) != LowerAscii(name)) continue;
        value = entry.second;
        return true;
      }
      return false;
    };
    std::string text;
    bool flag = false;
    if (find("EdtMsDir_Text", text)) settings_.run.msDir = TrimStored(text);
    if (find("EdtOutput_Text", text)) SetOutputText(TrimStored(text));
    if (find("EdtSelected_Checked", text) && ReadStoredBool(text, flag)) settings_.run.selected = flag;
    if (find("EdtCreate_Checked", text) && ReadStoredBool(text, flag)) settings_.run.create = flag;
    if (find("EdtImport_Checked", text) && ReadStoredBool(text, flag)) SetImportChecked(flag);
    if (find("EdtDelete_Checked", text) && ReadStoredBool(text, flag)) settings_.run.deleteData = flag;
    if (find("EdtDelete_Enabled", text) && ReadStoredBool(text, flag)) settings_.deleteEnabled = flag;
  }
  restored_ = true;
  ApplyDefaultMsDir();
}

void TMainWindowModel::ApplyDefaultMsDir() {
  settings_.run.format = 0;
  if (settings_.run.msDir.empty() && services_.defaultMsDir) settings_.run.msDir = services_.defaultMsDir();
  view_.ShowSettings(settings_);
}

void TMainWindowModel::FormActivate(const std::vector<std::string>& args) {
  if (!firstActivation_) return;
  firstActivation_ = false;
  settings_.run.to = std::floor(services_.now()) + 1 - kOneMinute;
  ParseCommandLine(args);
  if (settings_.run.autoStart) BtnStartClick();
}

void TMainWindowModel::ParseCommandLine(const std::vector<std::string>& args) {
  CommandLineHooks hooks;
  hooks.defaultMsDir = services_.defaultMsDir;
  hooks.outputChanged = [this] { EdtOutputChange(); };
  app::ParseCommandLine(args, settings_, hooks);
  // A relative /l: file is taken from the folder the program started in:
  // the export changes the current folder during a run.
  if (settings_.runLogFile && !settings_.runLogFile->empty()) {
    std::error_code ec;
    const fs::path given = platform::PathFromUtf8(*settings_.runLogFile);
    if (given.is_relative()) {
      const fs::path absolute = fs::absolute(given, ec);
      if (!ec) settings_.runLogFile = platform::Utf8FromPath(absolute.lexically_normal());
    }
  }
  view_.ShowSettings(settings_);
}

void TMainWindowModel::FormCloseQuery() {
  if (trd1_.Active()) {
    trd1_.Stop();
    services_.sleep(kCloseWaitMs);
  }
  SaveSettings();
}

bool TMainWindowModel::SaveSettings() {
  if (!restored_ || saved_ || !services_.writeStored) return true;
  saved_ = true;
  const TRunSettings& run = settings_.run;
  platform::StoredValues values{{"FormVersion", "0"}};
  WindowPlacement placement;
  if (view_.ReadPlacement(placement)) AppendPlacementValues(placement, values);
  values.insert(values.end(), {{"EdtMsDir_Text", run.msDir},
                               {"EdtOutput_Text", run.output},
                               {"EdtSelected_Checked", BoolText(run.selected)},
                               {"EdtCreate_Checked", BoolText(run.create)},
                               {"EdtImport_Checked", BoolText(run.import)},
                               {"EdtDelete_Checked", BoolText(run.deleteData)},
                               {"EdtDelete_Enabled", BoolText(settings_.deleteEnabled)}});
  return services_.writeStored(values);
}

void TMainWindowModel::BtnStartClick() {
  if (buttonCaption_ == kCaptionStop) {
    trd1_.Stop();
    return;
  }
  if (ValidateSettings()) StartRun();
  else if (settings_.run.autoStart) EndUnstartedRun("Settings refused: ", refusal_, kExitInvalidSettings);
}

void TMainWindowModel::EndUnstartedRun(const std::string& why, const std::string& message, int exitStatus) {
  // A scheduled start that did not run leaves its record too, saying why.
  TRunLog log(RunLogPath(), services_.now);
  TRunRecorder recorder(log);
  recorder.Started(kProgramVersion, DescribeRunSettings(settings_.run, RunSummaryNotes{}));
  recorder.Line(why + message);
  recorder.Ended(message.substr(0, message.find('\n')), exitStatus);
  unstartedExit_ = exitStatus;
  // Nobody waits at a window that closes by itself: it closes now, with
  // the message in its status bar.
  if (settings_.run.autoClose) view_.RequestClose();
}

void TMainWindowModel::Tell(const std::string& text) {
  if (HoldsBoxes(settings_.run.autoClose, view_.MessagesWaitForUser())) SetStatus(StatusLineOf(text));
  else view_.ShowMessage(text);
}

bool TMainWindowModel::Fail(const std::string& message, Control control) {
  refusal_ = message;
  view_.ShowSettings(settings_);
  view_.FocusControl(control);
  Tell(message);
  return false;
}

bool TMainWindowModel::ValidateSettings() {
  TRunSettings& run = settings_.run;
  if (run.format != 0) return Fail("Invalid option.", Control::Format);
  run.msDir = WithDirSeparator(run.msDir);
  // Each message is followed by the reason on a line of its own.
  if (const std::string why = MsDirectoryProblem(run.msDir); !why.empty())
    return Fail("Invalid MetaStock directory.\n" + why, Control::MsDir);
  run.output = WithDirSeparator(run.output);
  if (!run.output.empty()) {
    if (const std::string why = CreateOutputProblem(run.output); !why.empty())
      return Fail("Can't create output directory.\n" + why, Control::Output);
  }
  if (run.from > run.to) return Fail("'From' date must be less then 'to' date.", Control::From);
  // A run that writes archives learns now, not after the whole read, that it
  // cannot; one that only imports leaves the folder alone.
  if (run.create) {
    if (const std::string why = WriteOutputProblem(run.output); !why.empty())
      return Fail("Can't write to output directory.\n" + why, Control::Output);
  }
  view_.ShowSettings(settings_);
  return true;
}

std::string TMainWindowModel::RunLogPath() const {
  if (settings_.runLogFile) return *settings_.runLogFile;
  return services_.defaultRunLog ? services_.defaultRunLog() : std::string();
}

void TMainWindowModel::StartRun() {
  auto context = std::make_shared<RunContext>(RunContext{settings_.run, services_, RunLogPath()});
  trd1_.Exec = [link = link_, context](TWorkerThread&, TEasyThreadThread& thread) {
    RunResult result;
    result.end = RunEnd::Failed;
    TRunLog log(context->runLog, context->services.now);
    TRunRecorder recorder(log);
    TRunStatusLink status(link, thread, recorder, context->settings.autoClose);
    // Error boxes the run shows (a full disk) are in its record too; under
    // /x they go to the status bar instead of a box that would wait.
    TErrorRoute errors([&recorder, &status](const std::string& text) {
      recorder.Error(text);
      if (!status.HoldsBoxes()) return false;
      status.ShowInStatusBar(text);
      return true;
    });
    // The days GlobalServer has not received yet, kept in the output folder.
    std::optional<TImportStateRun> importState;
    std::vector<std::string> notes;
    auto note = [&](const std::string& sentence) {
      if (sentence.empty()) return;
      recorder.Line("Note: " + sentence);
      notes.push_back(sentence);
    };
    try {
      importState.emplace(context->settings, FormatRangeEnd(context->services.now()));
      RunSummaryNotes summary;
      summary.importState = importState->SummaryLines();
      recorder.Started(kProgramVersion, DescribeRunSettings(context->settings, summary));
      for (const std::string& sentence : importState->Notes()) note(sentence);
      TRangeDialogLink dialog(link);
      // The wizards' steps show in the status detail.
      auto madeServer = context->services.makeGlobalServer(
          [&status](const std::string& step) { status.SetStatusDetail(step); });
      // Before anything is written or deleted: a run killed from here on
      // leaves its days recorded.
      if (context->settings.import && madeServer->OnThisSystem()) note(importState->RecordStart());
      auto madeStages = context->services.makeStages(context->settings, status);
      TLoggedStages stages(*madeStages, status, recorder);
      TLoggedGlobalServer server(*madeServer, recorder);
      SmartImportServices smart{server, dialog, context->services.sleep, context->services.deleteClock};
      std::vector<std::string> intradayImportList;
      result = Trd1Exec(context->settings, status, stages, smart, intradayImportList);
    } catch (...) {
      result.end = RunEnd::Failed;
    }
    try {
      if (importState) note(importState->RecordEnd(result));
    } catch (...) {
    }
    for (const std::string& sentence : notes)
      result.importStatus += (result.importStatus.empty() ? "" : " ") + sentence;
    try {
      RecordEnd(result, context->settings, recorder, status);
    } catch (...) {
    }
    const std::uint64_t generation = thread.Generation();
    link->Post([generation, result](TMainWindowModel& model) { model.RunEnd(generation, result); });
  };
  try {
    trd1_.Start();
  } catch (const std::exception& error) {
    Tell(error.what());
    if (settings_.run.autoStart) EndUnstartedRun("The run could not start: ", error.what(), kExitSetupFailed);
    return;
  }
  latestRun_ = trd1_.CurrentGeneration();
}

void TMainWindowModel::RunStatus(std::uint64_t generation, const std::optional<std::string>& step,
                                 const std::optional<std::string>& detail) {
  // A run that was stopped and followed by a newer one no longer reports.
  if (generation != latestRun_) return;
  if (step) statusStep_ = *step;
  if (detail) statusDetail_ = *detail;
  view_.ShowStatus(statusStep_, statusDetail_);
}

namespace {

// A failed import asks the user to act first (import again), so it takes
// precedence over data left out, which the run's note has already named.
// Smart import adds what it did not do.
std::string FinalStatus(const RunResult& result) {
  std::string text = "Export complete.";
  if (!result.importOk) text = "Export complete, but import failed.";
  else if (result.leftOut) text = kStatusLeftOut;
  return result.importStatus.empty() ? text : text + " " + result.importStatus;
}

}  // namespace

void TMainWindowModel::RunProgress(std::uint64_t generation, RunCounter counter, int64_t done, int64_t total) {
  if (generation != latestRun_) return;
  view_.ShowProgress(counter, done, total);
}

void TMainWindowModel::RunEnd(std::uint64_t generation, const RunResult& result) {
  if (generation != latestRun_) return;
  switch (result.end) {
    case RunEnd::Normal:
      trd1_.StopIfCurrent(generation);
      SetButtonCaption(kCaptionStart);
      EnableSettings();
      SetStatus(FinalStatus(result));
      break;
    case RunEnd::Stopped:
      SetButtonCaption(kCaptionStart);
      EnableSettings();
      SetStatus("Terminated.");
      break;
    case RunEnd::Failed:
      trd1_.StopIfCurrent(generation);
      SetButtonCaption(kCaptionStart);
      break;
  }
  view_.RunEnded(result);
  // A scheduled run (/x) ends by itself after a failed stage too, with the
  // stage's exit status: nobody is there to close the window. A stopped run
  // was stopped by somebody, who is there.
  if (result.end != RunEnd::Stopped && settings_.run.autoClose) view_.RequestClose();
}

void TMainWindowModel::SetOutputText(const std::string& text) {
  if (text == settings_.run.output) return;
  settings_.run.output = text;
  EdtOutputChange();
}

void TMainWindowModel::EdtOutputChange() {
  if (services_.nextStartDate) settings_.run.from = services_.nextStartDate(settings_.run.output, services_.now());
  view_.ShowSettings(settings_);
}

void TMainWindowModel::SetImportChecked(bool checked) {
  if (checked == settings_.run.import) return;
  settings_.run.import = checked;
  EdtImportClick();
}

void TMainWindowModel::EdtImportClick() {
  settings_.deleteEnabled = settings_.run.import;
  view_.ShowControlsEnabled(controlsEnabled_, settings_.deleteEnabled);
}

void TMainWindowModel::SetStatus(const std::string& text) {
  statusStep_ = text;
  statusDetail_.clear();
  view_.ShowStatus(statusStep_, statusDetail_);
}

void TMainWindowModel::SetStatusDetail(const std::string& text) {
  statusDetail_ = text;
  view_.ShowStatus(statusStep_, statusDetail_);
}

void TMainWindowModel::Trd1ThreadBegin() {
  SetButtonCaption(kCaptionStop);
  DisableSettings();
}

void TMainWindowModel::Trd1ThreadEnd() { EnableSettings(); }

void TMainWindowModel::DisableSettings() {
  controlsEnabled_ = false;
  settings_.deleteEnabled = false;
  view_.ShowControlsEnabled(false, false);
}

void TMainWindowModel::EnableSettings() {
  controlsEnabled_ = true;
  settings_.deleteEnabled = true;
  view_.ShowControlsEnabled(true, true);
}

void TMainWindowModel::SetButtonCaption(const std::string& caption) {
  buttonCaption_ = caption;
  view_.ShowButtonCaption(caption);
}

}  // namespace vz::app
