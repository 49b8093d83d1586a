#include <string>

#include "automation/GlobalServerSteps.h"
#include "automation/GlobalServerWindows.h"
#include "automation/GlobalServerWizards.h"

namespace vz::automation {

namespace {

// Adds one archive through the wizard's file dialog. False when the dialog
// did not take it; what was opened for it is closed then, the wizard too.
bool AddFile(TWizardSteps& steps, WindowHandle wizard, WindowHandle page, WindowHandle browse, const std::string& file,
             bool first) {
  IDesktop& desktop = steps.Desktop();
  steps.PostCommand(page, gs::kCmdBrowse, browse);
  const WindowHandle dialog = steps.WaitFor(
      gs::kFileDialogPolls, [&] { return steps.TopLevelByText(gs::kFileDialogTitle, gs::kFileDialogTitleRu); },
      "the file dialog");
  if (dialog == 0) {
    steps.Log("Import: no file dialog");
    steps.Close(wizard);
    return false;
  }
  const WindowHandle field =
      steps.WaitFor(gs::kFileDialogPolls, [&] { return steps.InsideByClass(dialog, gs::kEditClass); });
  if (field == 0) {
    steps.Log("Import: no file name field");
    steps.Close(dialog);
    steps.Close(wizard);
    return false;
  }
  // The file dialog of a freshly opened wizard takes a while to settle.
  if (first) steps.Sleep(gs::kFirstFilePauseMs);

  // The field may ignore the text while the dialog is still busy: type it
  // again until something reads back, but not forever.
  bool typed = false;
  for (int attempt = 0; attempt < gs::kReadBackTries && !typed; ++attempt) {
    desktop.SendSetText(field, file);
    steps.Send(field, gs::kEmSetModify, 1, 0);
    steps.Sleep(gs::kStepPauseMs);
    typed = !desktop.SendGetText(field, gs::kReadBackBufferSize).empty();
    steps.Sleep(gs::kStepPauseMs);
  }
  if (!typed) {
    steps.Log("Import: the file name field stays empty");
    steps.Close(dialog);
    steps.Close(wizard);
    return false;
  }

  const WindowHandle open = steps.WaitPresent(
      gs::kControlPolls, [&] { return steps.Inside(dialog, gs::kButtonClass, gs::kOpenButton, gs::kOpenButtonRu); });
  if (open == 0) {
    steps.Log("Import: no Open button");
    steps.Close(dialog);
    steps.Close(wizard);
    return false;
  }
  steps.PostCommand(dialog, gs::kIdOk, open);

  // A second window titled like the dialog is its complaint about the file.
  steps.State().SkipWindow = dialog;
  steps.Sleep(gs::kSecondOpenPauseMs);
  const WindowHandle complaint = steps.TopLevelByText(gs::kFileDialogTitle, gs::kFileDialogTitleRu);
  steps.State().SkipWindow = 0;
  if (complaint != 0) {
    steps.Log("Import: GlobalServer refused " + file);
    steps.Close(complaint);
    steps.Close(dialog);
    steps.Close(wizard);
    return false;
  }
  steps.Sleep(gs::kStepPauseMs);
  return true;
}

// Clears the two portfolio choices and picks "All Symbols".
bool ChooseAllSymbols(TWizardSteps& steps, WindowHandle wizard) {
  for (const char* radio : {gs::kPortfolioRadio, gs::kPortfolioSelectedRadio}) {
    const WindowHandle button = steps.Inside(wizard, gs::kButtonClass, radio);
    if (button == 0) {
      steps.Log(std::string("Import: no \"") + radio + "\"");
      return false;
    }
    steps.Post(button, gs::kBmSetCheck, gs::kBstUnchecked, 0);
  }
  const WindowHandle all = steps.Inside(wizard, gs::kButtonClass, gs::kAllSymbolsRadio);
  // A post to no window would land in this thread's own queue.
  const WindowHandle group = all != 0 ? steps.Desktop().Parent(all) : 0;
  if (group == 0) {
    steps.Log("Import: no \"All Symbols\"");
    return false;
  }
  steps.PostCommand(group, gs::kCmdAllSymbols, all);
  steps.Sleep(gs::kStepPauseMs);
  return true;
}

// The import wizard, opened from GlobalServer's menu, with its first page
// and the page's Browse button; `why` says what did not answer.
struct OpenedWizard {
  WindowHandle wizard = 0;
  WindowHandle page = 0;
  WindowHandle browse = 0;
  std::string why;
};

OpenedWizard OpenImportWizard(TWizardSteps& steps, WindowHandle mainWindow) {
  OpenedWizard opened;
  steps.BringForward(mainWindow);
  steps.PostMenuPath(mainWindow, gs::kFileMenu, gs::kImportItem);
  steps.Post(mainWindow, gs::kWmKeyDown, static_cast<MessageWParam>(gs::kImportVuzuzItem), gs::kImportVuzuzDown);
  steps.Post(mainWindow, gs::kWmKeyUp, static_cast<MessageWParam>(gs::kImportVuzuzItem), gs::kImportVuzuzUp);
  steps.Log("Import: menu keys sent");

  opened.wizard = steps.WaitFor(
      gs::kWizardPolls, [&] { return steps.TopLevelByText(gs::kImportWizardTitle); }, "the import wizard");
  if (opened.wizard == 0) {
    opened.why = "the import wizard did not open from GlobalServer's menu";
    return opened;
  }
  opened.page =
      steps.WaitPresent(gs::kControlPolls, [&] { return steps.InsideByText(opened.wizard, gs::kImportPageText); });
  if (opened.page == 0) {
    opened.why = "the import wizard showed no first page";
    return opened;
  }
  opened.browse = steps.WaitPresent(
      gs::kControlPolls, [&] { return steps.Inside(opened.page, gs::kButtonClass, gs::kBrowseButton); });
  if (opened.browse == 0) opened.why = "the import wizard's first page has no Browse button";
  return opened;
}

ImportOutcome RunImportWizard(TWizardSteps& steps, WindowHandle mainWindow, const std::vector<std::string>& files) {
  constexpr ImportOutcome kFailed = ImportOutcome::Failed;
  const OpenedWizard opened = OpenImportWizard(steps, mainWindow);
  const WindowHandle wizard = opened.wizard;
  const WindowHandle page = opened.page;
  const WindowHandle browse = opened.browse;
  if (wizard == 0) {
    steps.Log("Import: the wizard did not open");
    return kFailed;
  }
  auto abandon = [&](const std::string& why) {
    steps.Log("Import: " + why + "; closing the wizard");
    steps.Close(wizard);
    return kFailed;
  };
  if (page == 0) return abandon("no wizard page");
  if (browse == 0) return abandon("no Browse button");

  for (size_t i = 0; i < files.size(); ++i) {
    steps.Log("Import: file " + std::to_string(i + 1) + " of " + std::to_string(files.size()));
    if (!AddFile(steps, wizard, page, browse, files[i], i == 0)) return kFailed;
  }

  const WindowHandle next = steps.Inside(wizard, gs::kButtonClass, gs::kNextButton, gs::kNextButtonRu);
  if (next == 0) return abandon("no Next button");
  steps.PostCommand(wizard, gs::kCmdNext, next);
  if (!steps.WaitForProgress(gs::kReadingSymbolsTitle)) return abandon("reading symbols never ended");

  const WindowHandle show =
      steps.WaitFor(gs::kSymbolChoicePolls, [&] { return steps.Inside(wizard, gs::kButtonClass, gs::kShowGroup); });
  if (show == 0) return abandon("no symbol choice");
  if (!ChooseAllSymbols(steps, wizard)) return abandon("symbol choice incomplete");

  steps.PostCommand(wizard, gs::kCmdNext, next);
  steps.Sleep(gs::kStepPauseMs);
  steps.PostCommand(wizard, gs::kCmdNext, next);
  steps.Sleep(gs::kStepPauseMs);
  const WindowHandle finish = steps.Inside(wizard, gs::kButtonClass, gs::kFinishButton, gs::kFinishButtonRu);
  if (finish == 0) return abandon("no Finish button");
  steps.PostCommand(wizard, gs::kCmdFinish, finish);
  steps.Log("Import: finished the wizard");
  if (!steps.WaitForProgress(gs::kImportingTitle)) return abandon("the import never ended");

  // The progress window closed as it should: the import has run, whether
  // or not GlobalServer says so.
  const WindowHandle notice = steps.WaitFor(
      gs::kImportNoticePolls, [&] { return steps.TopLevelByText(gs::kNoticeTitle); }, "GlobalServer's notice");
  if (notice == 0) {
    steps.Log("Import: GlobalServer never confirmed");
    return ImportOutcome::Unconfirmed;
  }
  steps.Close(notice);
  steps.Send(mainWindow, gs::kWmSysCommand, gs::kScMinimize, 0);
  steps.Log("Import: done");
  return ImportOutcome::Imported;
}

}  // namespace

std::string GlobalServerCheckImport(IDesktop& desktop, const StepLog& log, const TStepBound* bound) {
  TWizardSteps steps(desktop, log, bound);
  steps.State().SkipWindow = 0;
  const WindowHandle mainWindow = steps.FindMainWindow();
  if (mainWindow == 0) return "GlobalServer is not running";
  steps.Log("Check: opening the import wizard");
  const OpenedWizard opened = OpenImportWizard(steps, mainWindow);
  if (opened.wizard == 0) return opened.why;
  // Cancelled as the drivers abandon a wizard; the import opens it afresh.
  steps.Close(opened.wizard);
  const WindowHandle stays = steps.WaitForClose(
      gs::kWizardPolls, [&] { return steps.TopLevelByText(gs::kImportWizardTitle); }, "the import wizard to close");
  if (!opened.why.empty()) return opened.why;
  if (stays != 0) return "the import wizard did not close when cancelled";
  steps.Log("Check: the import wizard answers");
  return {};
}

ImportOutcome GlobalServerImport(IDesktop& desktop, const std::vector<std::string>& files, const StepLog& log,
                                 const TStepBound* bound) {
  if (files.empty()) return ImportOutcome::Imported;
  TWizardSteps steps(desktop, log, bound);
  steps.State().SkipWindow = 0;
  const WindowHandle mainWindow = steps.FindMainWindow();
  if (mainWindow == 0) {
    steps.Log("Import: GlobalServer is not running");
    return ImportOutcome::NotRunning;
  }
  steps.Log("Import: GlobalServer found");
  return RunImportWizard(steps, mainWindow, files);
}

}  // namespace vz::automation
