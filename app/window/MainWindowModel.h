#pragma once
// The main window's behaviour without a toolkit: the settings with their
// stored copy, the command line, validation, the Start/Stop action, the
// status panels, the button caption and the controls' enabled state, the
// worker thread that carries a run, and closing. A view (IMainView) shows it
// and forwards the user's actions; everything here runs on the view's
// thread, and a run's calls from its worker thread are posted there.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/run/ConversionStages.h"
#include "app/window/Easythrd.h"
#include "app/window/MainView.h"
#include "app/run/Trd1Exec.h"
#include "app/window/WindowSettings.h"
#include "automation/GlobalServer.h"
#include "platform/SettingsStore.h"

namespace vz::app {

inline constexpr char kStoredSettingsKey[] = "Software\\Velmora\\Pendra 3.0\\Archive\\TTarvoWnd";
inline constexpr char kDefaultMsDirKey[] = "\\SOFTWARE\\Velmora\\Pendra 3.0";
inline constexpr char kDefaultMsDirValue[] = "MSPath";
// The final status of a run whose export left some data out (the run's note
// names it).
inline constexpr char kStatusLeftOut[] = "Export complete, but some data was left out.";
inline constexpr char kCaptionStart[] = "&Start";
inline constexpr char kCaptionStop[] = "Stop";

// What the window uses of the world; the defaults are the real ones.
struct MainWindowServices {
  StagesFactory makeStages;
  // GlobalServer, telling each step of its wizards to `log`.
  std::function<std::unique_ptr<automation::IGlobalServer>(automation::StepLog log)> makeGlobalServer;
  std::function<void(int milliseconds)> sleep;
  std::function<double(double)> deleteClock;
  std::function<double(const std::string& outputDir, double today)> nextStartDate;
  std::function<double()> now;
  std::function<std::string()> defaultMsDir;
  std::function<bool(platform::StoredValues&)> readStored;
  std::function<bool(const platform::StoredValues&)> writeStored;
  // The run log when /l: does not name one; "" for none.
  std::function<std::string()> defaultRunLog;
};

MainWindowServices ProductionServices();

class TViewLink;

class TMainWindowModel {
public:
  TMainWindowModel(IMainView& view, MainWindowServices services);
  // A run still working afterwards no longer reaches the window.
  ~TMainWindowModel();
  TMainWindowModel(const TMainWindowModel&) = delete;
  TMainWindowModel& operator=(const TMainWindowModel&) = delete;

  // Start-up: the stored settings (then ApplyDefaultMsDir), and the first
  // activation (To := today 23:59, the command line, /g starts a run).
  void RestoreSettings();
  void ApplyDefaultMsDir();
  void FormActivate(const std::vector<std::string>& args);
  void ParseCommandLine(const std::vector<std::string>& args);

  // Closing: stops a run and waits 1000 ms, then saves the settings once
  // (only if they were restored). SaveSettings is false when the store could
  // not be written.
  void FormCloseQuery();
  bool SaveSettings();

  // The controls.
  void BtnStartClick();
  bool ValidateSettings();
  void SetOutputText(const std::string& text);  // runs EdtOutputChange on a change
  void EdtOutputChange();
  void SetImportChecked(bool checked);  // runs EdtImportClick on a change
  void EdtImportClick();
  const WindowSettings& Settings() const { return settings_; }
  // The file each run appends its record to: /l:'s, else the default; ""
  // when runs keep no log.
  std::string RunLogPath() const;
  // Direct access for the other controls (format, directory, dates, boxes).
  WindowSettings& MutableSettings() { return settings_; }

  // A message for the user: a box, or under /x the status bar (the rule of
  // HoldsBoxes). Every box the window shows goes through here.
  void Tell(const std::string& text);

  // The status protocol.
  void SetStatus(const std::string& text);
  void SetStatusDetail(const std::string& text);
  const std::string& StatusStep() const { return statusStep_; }
  const std::string& StatusDetail() const { return statusDetail_; }
  const std::string& ButtonCaption() const { return buttonCaption_; }
  bool ControlsEnabled() const { return controlsEnabled_; }

  TWorkerThread& Trd1() { return trd1_; }
  // The exit status of a /g start that did not run (settings refused: 2,
  // its thread would not start: 1); none when it ran.
  std::optional<int> UnstartedExitStatus() const { return unstartedExit_; }
  IMainView& View() { return view_; }

  // What a run posts to the view's thread: its latest status texts (a step
  // or detail left out stays) and its end. Both are dropped for a run that
  // a newer one has replaced.
  void RunStatus(std::uint64_t generation, const std::optional<std::string>& step,
                 const std::optional<std::string>& detail);
  void RunProgress(std::uint64_t generation, RunCounter counter, int64_t done, int64_t total);
  void RunEnd(std::uint64_t generation, const RunResult& result);

private:
  struct RunContext;

  void Trd1ThreadBegin();
  void Trd1ThreadEnd();
  void DisableSettings();
  void EnableSettings();
  void SetButtonCaption(const std::string& caption);
  void StartRun();
  bool Fail(const std::string& message, Control control);
  // A /g start that did not run: its record, then the close under /x.
  void EndUnstartedRun(const std::string& why, const std::string& message, int exitStatus);

  IMainView& view_;
  MainWindowServices services_;
  std::shared_ptr<TViewLink> link_;
  WindowSettings settings_;
  std::string statusStep_;
  std::string statusDetail_;
  std::string buttonCaption_ = kCaptionStart;
  bool controlsEnabled_ = true;
  bool firstActivation_ = true;
  bool restored_ = false;
  bool saved_ = false;
  std::uint64_t latestRun_ = 0;
  std::string refusal_;  // the last validation message
  std::optional<int> unstartedExit_;
  TWorkerThread trd1_;
};

}  // namespace vz::app
