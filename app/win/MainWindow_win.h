#pragma once
// TTarvoWnd: the program's main window as a plain Win32 window. It shows the
// window model (TMainWindowModel) and forwards the user's actions to it;
// tasks from a run's worker thread arrive through one queue and one posted
// wake-up message.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/win/DateFieldFit_win.h"
#include "app/win/StatusBarPanels_win.h"
#include "app/win/TaskbarProgress_win.h"
#include "app/window/DateField.h"
#include "app/window/MainWindowModel.h"
#include "app/window/RunProgressBar.h"
#include "app/window/WindowTaskQueue.h"

namespace vz::app {

class TTarvoWnd final : public IMainView {
public:
  // `args` are the program's arguments, read at the first activation.
  TTarvoWnd(HINSTANCE instance, std::vector<std::string> args, MainWindowServices services);
  ~TTarvoWnd() override;
  TTarvoWnd(const TTarvoWnd&) = delete;
  TTarvoWnd& operator=(const TTarvoWnd&) = delete;

  // Creates the window and its controls, hidden, centred on the screen.
  bool Create();
  // First show: the stored settings are restored (placement included),
  // then the window is shown and activated.
  void Show(int showCommand);
  HWND Handle() const { return hwnd_; }
  // After the message loop: lets the window model go and says how the
  // program ends (the last run's exit status; that of a /g start that did
  // not run).
  int Finish();

  // The modal error box of ShowError, from any thread; it waits until the
  // box is dismissed, or returns at once once the window has gone.
  static void ShowErrorFrom(const std::shared_ptr<TWindowTaskQueue>& queue, HWND window, const std::string& text);
  const std::shared_ptr<TWindowTaskQueue>& Queue() const { return queue_; }

  // IMainView
  void Post(std::function<void()> task) override;
  void ShowSettings(const WindowSettings& settings) override;
  void ShowStatus(const std::string& step, const std::string& detail) override;
  void ShowProgress(RunCounter counter, int64_t done, int64_t total) override;
  void ShowButtonCaption(const std::string& caption) override;
  void ShowControlsEnabled(bool enabled, bool deleteEnabled) override;
  void FocusControl(Control control) override;
  void ShowMessage(const std::string& text) override;
  bool AskImportRange(double& from, double& to) override;
  void RequestClose() override;
  void RunEnded(const RunResult& result) override;
  bool ReadPlacement(WindowPlacement& placement) const override;
  void ApplyPlacement(const WindowPlacement& placement) override;
  int PixelsPerInch() const override { return dpi_; }

private:
  // A date-time field: its value, whether the user typed since the value
  // was last set, and the user's formats as they stood at its creation.
  struct DateEdit {
    HWND edit = nullptr;
    double value = 0;
    bool typed = false;
    std::wstring datePattern;
    std::wstring timePattern;
    DateTimeFormat format;
  };

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void OnCreate();
  void OnPaint();
  void OnCommand(int id, int code, HWND control);
  void OnActivate(WPARAM wParam);
  void OnFirstActivation();
  void OnClose();
  void OnTimer();
  void OnDestroy();
  void DrainTasks();

  int Scale(int designPixels) const;
  HWND CreateControl(int index);
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  HWND ControlOf(Control control) const;
  DateEdit* DateEditOf(int id);

  void UpdateEdit(DateEdit& field, double value);
  // Reads the text back as leaving the field does; false when it was no
  // date-time (the value is then 1970-01-01 and the focus goes back).
  bool LeaveDateEdit(DateEdit& field);
  void StoreDateValue(const DateEdit& field);
  void BrowseFolder(int fieldId);
  void SetTextIfChanged(HWND control, const std::string& text);
  // The run log: named in the status detail's tooltip, opened by a
  // double-click on the status bar.
  void CreateRunLogTip();
  void ShowRunLogTip();
  void OpenRunLog();
  // The run's progress in the status bar and on the taskbar button.
  void ShowRunProgress();
  // "About Vuzuz archive creator..." in the window's system menu.
  void AddAboutMenuItem();
  bool OnSysCommand(WPARAM command);  // false: the system's own command
  void ShowAbout();

  HINSTANCE instance_;
  std::vector<std::string> args_;
  MainWindowServices services_;
  std::shared_ptr<TWindowTaskQueue> queue_ = std::make_shared<TWindowTaskQueue>();
  std::unique_ptr<TMainWindowModel> model_;
  HWND hwnd_ = nullptr;
  HWND statusBar_ = nullptr;
  HWND runLogTip_ = nullptr;
  std::wstring runLogTipText_;
  TStatusBarPanels statusPanels_;
  TRunProgressBar runProgress_;
  TTaskbarProgress taskbar_;
  HFONT font_ = nullptr;
  int dpi_ = 96;
  DateEdit from_;
  DateEdit to_;
  TDateFieldFit dateFit_;  // the fields' whole text, in any locale
  bool updating_ = false;  // the window itself is changing control texts
  bool activated_ = false;
  bool closing_ = false;   // close asked while a run winds down
  bool abandoned_ = false; // closed again while waiting: the run is left
  std::optional<RunResult> lastResult_;
};

}  // namespace vz::app
