#pragma once
// What the main window's behaviour needs of a view: the Windows window and
// the Linux console program are two such views, tests a third. All calls
// except Post are made on the view's own thread.
#include <functional>
#include <string>

#include "app/run/Trd1Exec.h"
#include "app/window/WindowPlacement.h"
#include "app/window/WindowSettings.h"

namespace vz::app {

enum class Control { Format, MsDir, Output, From, To, Start, Close, Selected, Delete, Create, Import };

class IMainView {
public:
  virtual ~IMainView() = default;
  // Queues a task for the view's thread, to run after the current one.
  // Callable from any thread.
  virtual void Post(std::function<void()> task) = 0;

  // The settings' values changed (restored, command line, validation).
  virtual void ShowSettings(const WindowSettings& settings) = 0;
  // Status panels 0 (the step) and 1 (the detail).
  virtual void ShowStatus(const std::string& step, const std::string& detail) = 0;
  // How far the run's current stage is: the console's count, the window's
  // progress bar.
  virtual void ShowProgress(RunCounter counter, int64_t done, int64_t total) {
    (void)counter;
    (void)done;
    (void)total;
  }
  virtual void ShowButtonCaption(const std::string& caption) = 0;
  // The setting controls' enabled state; "Delete data" has its own.
  virtual void ShowControlsEnabled(bool enabled, bool deleteEnabled) = 0;
  virtual void FocusControl(Control control) = 0;
  // A plain message box with an OK button; returns when it is dismissed.
  virtual void ShowMessage(const std::string& text) = 0;
  // False for a view whose messages are printed and need no answer.
  virtual bool MessagesWaitForUser() const { return true; }
  // The import range dialog, modal, filled with two dates; true on OK.
  virtual bool AskImportRange(double& from, double& to) = 0;
  // The window closes as if the user had closed it.
  virtual void RequestClose() = 0;
  // A run has ended in one of its three ways (after the window applied it).
  virtual void RunEnded(const RunResult& result) { (void)result; }

  // The window's placement for the stored settings; a view without a
  // window has none (false, 0).
  virtual bool ReadPlacement(WindowPlacement& placement) const {
    (void)placement;
    return false;
  }
  virtual void ApplyPlacement(const WindowPlacement& placement) { (void)placement; }
  // The screen's pixels per inch now; a placement stored under another is
  // not applied.
  virtual int PixelsPerInch() const { return 0; }
};

}  // namespace vz::app
