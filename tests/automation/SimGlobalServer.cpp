#include "SimGlobalServer.h"

#include <algorithm>
#include <cstdio>

#include "automation/GlobalServerWindows.h"
#include "vuzuz/Dates.h"

namespace vz::test {

namespace gs = automation::gs;

namespace {
constexpr char kDialogClass[] = "#32770";
}  // namespace

TSimGlobalServer::TSimGlobalServer(TSimDesktop& desktop, SimServerBehaviour behaviour)
    : desktop_(desktop), behaviour_(behaviour) {
  // Windows of another program bearing the very captions the drivers look
  // for: the process filter must pass them over.
  desktop_.Create("otherOpen", kDialogClass, gs::kFileDialogTitle, kOtherProcess);
  desktop_.Create("otherNotice", kDialogClass, gs::kNoticeTitle, kOtherProcess);
  desktop_.Create("otherWizard", kDialogClass, gs::kImportWizardTitle, kOtherProcess);

  main_ = desktop_.Create("main", gs::kMainWindowClass, "Vuzuz Research GlobalServer", kServerProcess);
  const WindowHandle toolbar = desktop_.Create("toolbar", "ToolbarWindow32", "", kServerProcess, main_);
  if (behaviour_.filterLabel)
    desktop_.Create("filterLabel", gs::kStaticClass, gs::kFilterLabel, kServerProcess, toolbar);
  if (behaviour_.filterCombo) combo_ = desktop_.Create("combo", gs::kComboBoxClass, "All", kServerProcess, toolbar);
  if (behaviour_.dropDownList) desktop_.Create("dropDown", gs::kComboListClass, "", kServerProcess);

  desktop_.onMessage = [this](const SimMessage& message) { OnMessage(message); };
  desktop_.readBack = [this](WindowHandle window) -> std::string {
    const bool empty = behaviour_.emptyReadBacks < 0 || readBacks_ < behaviour_.emptyReadBacks;
    if (window == field_) ++readBacks_;
    return window == field_ && empty ? std::string() : desktop_.Window(window).text;
  };
}

bool TSimGlobalServer::Minimised() const { return desktop_.Window(main_).minimised; }

std::vector<std::string> TSimGlobalServer::TypedFields() const { return typed_; }

void TSimGlobalServer::OnMessage(const SimMessage& message) {
  const SimWindow& to = desktop_.Window(message.to);
  if (to.process != kServerProcess) return;
  if (message.message == gs::kWmClose) {
    desktop_.Destroy(message.to);
    return;
  }
  if (message.to == main_) {
    if (message.message == gs::kWmSysCommand) desktop_.Window(main_).minimised = message.wParam == gs::kScMinimize;
    OnMenuKey(message);
    return;
  }
  if (message.to == combo_) {
    if (message.message == gs::kCbSetCurSel) comboSelection_ = static_cast<int>(message.wParam);
    return;
  }
  const auto field = std::find(dateFields_.begin(), dateFields_.end(), message.to);
  if (field != dateFields_.end() && message.message == gs::kWmKeyDown) {
    std::string& typed = typed_[field - dateFields_.begin()];
    if (message.wParam == gs::kVkRight)
      typed += '>';
    else
      typed += static_cast<char>(message.wParam);
    return;
  }
  if (message.message != gs::kWmCommand) return;
  if (message.to == page_ && message.wParam == gs::kCmdBrowse && behaviour_.fileDialog) OpenFileDialog();
  if (message.to == dialog_ && message.wParam == gs::kIdOk) AcceptFile();
  if (message.to == wizard_ && message.wParam == gs::kCmdNext) TurnImportPage();
  if (message.to == wizard_ && message.wParam == gs::kCmdFinish) {
    const bool deleting = desktop_.Window(wizard_).text == gs::kDeleteWizardTitle;
    if (deleting)
      ShowProgress("deleting", gs::kDeletingTitle, behaviour_.deletingMs, deleteFinished_);
    else
      ShowProgress("importing", gs::kImportingTitle, behaviour_.importingMs, importFinished_);
  }
}

void TSimGlobalServer::OnMenuKey(const SimMessage& message) {
  if (message.message == gs::kWmSysKeyDown && message.wParam != gs::kVkAlt) {
    menuPath_ = std::string(1, static_cast<char>(message.wParam));
    return;
  }
  if (message.message != gs::kWmKeyDown) return;
  menuPath_ += static_cast<char>(message.wParam);
  if (menuPath_ == "FIV") OpenImportWizard();
  if (menuPath_ == "EA") selectedAll_ = true;
  if (menuPath_ == "FD") OpenDeleteWizard();
}

void TSimGlobalServer::OpenImportWizard() {
  if (!behaviour_.importWizard) return;
  importPage_ = 0;
  wizardFirstFile_ = imported_.size();
  wizard_ = desktop_.Create("wizard", kDialogClass, gs::kImportWizardTitle, kServerProcess);
  auto makePage = [this] {
    page_ = desktop_.Create("page", kDialogClass, gs::kImportPageText, kServerProcess, wizard_);
    if (behaviour_.browseButton) desktop_.Create("browse", gs::kButtonClass, gs::kBrowseButton, kServerProcess, page_);
  };
  if (behaviour_.pageDelayMs > 0)
    desktop_.After(behaviour_.pageDelayMs, makePage);
  else
    makePage();
  if (behaviour_.nextButton)
    desktop_.Create("next", gs::kButtonClass, Caption(gs::kNextButton, gs::kNextButtonRu), kServerProcess, wizard_);
  if (behaviour_.finishButton)
    desktop_.Create("finish", gs::kButtonClass, Caption(gs::kFinishButton, gs::kFinishButtonRu), kServerProcess,
                    wizard_);
}

void TSimGlobalServer::OpenFileDialog() {
  dialog_ =
      desktop_.Create("dialog", kDialogClass, Caption(gs::kFileDialogTitle, gs::kFileDialogTitleRu), kServerProcess);
  // The file name field sits inside a combo box, as in the system's dialog.
  const WindowHandle nameCombo = desktop_.Create("nameCombo", "ComboBoxEx32", "", kServerProcess, dialog_);
  if (behaviour_.fileNameField) field_ = desktop_.Create("field", gs::kEditClass, "", kServerProcess, nameCombo);
  if (behaviour_.openButton)
    desktop_.Create("open", gs::kButtonClass, Caption(gs::kOpenButton, gs::kOpenButtonRu), kServerProcess, dialog_);
  desktop_.Create("cancel", gs::kButtonClass, "Cancel", kServerProcess, dialog_);
}

void TSimGlobalServer::AcceptFile() {
  const std::string file = field_ != 0 ? desktop_.Window(field_).text : std::string();
  if (static_cast<int>(imported_.size()) == behaviour_.refusedFile) {
    desktop_.Create("complaint", kDialogClass, Caption(gs::kFileDialogTitle, gs::kFileDialogTitleRu), kServerProcess);
    return;
  }
  imported_.push_back(file);
  desktop_.Destroy(dialog_);
}

void TSimGlobalServer::TurnImportPage() {
  if (desktop_.Window(wizard_).text != gs::kImportWizardTitle || ++importPage_ != 1) return;
  desktop_.Destroy(page_);
  ShowProgress("reading", gs::kReadingSymbolsTitle, behaviour_.readingMs, readingFinished_);
  const WindowHandle symbols = desktop_.Create("symbols", kDialogClass, "", kServerProcess, wizard_);
  if (behaviour_.showGroup) desktop_.Create("show", gs::kButtonClass, gs::kShowGroup, kServerProcess, symbols);
  if (behaviour_.portfolioRadio)
    desktop_.Create("portfolio", gs::kButtonClass, gs::kPortfolioRadio, kServerProcess, symbols);
  desktop_.Create("selected", gs::kButtonClass, gs::kPortfolioSelectedRadio, kServerProcess, symbols);
  if (behaviour_.allSymbolsRadio)
    desktop_.Create("all", gs::kButtonClass, gs::kAllSymbolsRadio, kServerProcess, symbols);
}

void TSimGlobalServer::ShowProgress(const std::string& name, const std::string& title, std::int64_t ms,
                                    bool& finished) {
  const bool closesWizard = title != gs::kReadingSymbolsTitle;
  const bool deleting = title == gs::kDeletingTitle;
  auto end = [this, closesWizard, deleting, &finished] {
    finished = true;
    if (!closesWizard) return;
    if (deleting)
      StoreDeletion();
    else
      StoreImport();
    desktop_.Destroy(wizard_);
    if (deleting && behaviour_.closeAfterDelete) {
      desktop_.Destroy(main_);
      return;
    }
    if (behaviour_.notice && (!deleting || behaviour_.deleteNotice))
      desktop_.Create("notice", kDialogClass, gs::kNoticeTitle, kServerProcess);
  };
  if (ms < 0) {
    end();
    return;
  }
  const WindowHandle progress = desktop_.Create(name, kDialogClass, title, kServerProcess);
  desktop_.After(ms, [this, progress, end] {
    desktop_.Destroy(progress);
    end();
  });
}

namespace {

// A date as the delete wizard's date field received it: "MM>DD>YYYY".
bool TypedDay(const std::string& typed, std::int64_t& day) {
  int month = 0, dayOfMonth = 0, year = 0;
  char end = 0;
  double date = 0;
  if (std::sscanf(typed.c_str(), "%2d>%2d>%4d%c", &month, &dayOfMonth, &year, &end) != 3 ||
      !TryEncodeDate(year, month, dayOfMonth, date))
    return false;
  day = DayNumber(date);
  return true;
}

}  // namespace

// GlobalServer deletes whole days, from the first date field's day to the
// second's (the time fields narrow the first and the last day; Smart import
// gives whole days).
void TSimGlobalServer::StoreDeletion() {
  if (!behaviour_.store) return;
  std::int64_t first = 0, last = 0;
  if (typed_.size() < 2 || !TypedDay(typed_[0], first) || !TypedDay(typed_[1], last)) {
    storeRefusals_.push_back("delete range not understood: " + (typed_.empty() ? std::string() : typed_[0]));
    return;
  }
  behaviour_.store->DeleteDays(first, last);
  if (behaviour_.storeChanged) behaviour_.storeChanged("deleted");
}

// The daily pass names its archives without ".omz", as GlobalServer's file
// dialog adds it.
void TSimGlobalServer::StoreImport() {
  if (!behaviour_.store) return;
  for (size_t i = wizardFirstFile_; i < imported_.size(); ++i) {
    std::string file = imported_[i];
    if (!file.ends_with(".omz")) file += ".omz";
    std::string why;
    if (!behaviour_.store->Import(file, why)) storeRefusals_.push_back(file + ": " + why);
  }
  if (behaviour_.storeChanged) behaviour_.storeChanged("imported");
}

void TSimGlobalServer::OpenDeleteWizard() {
  if (!behaviour_.deleteWizard || ++deleteOpenings_ <= behaviour_.deleteWizardFailures) return;
  wizard_ = desktop_.Create("wizard", kDialogClass, gs::kDeleteWizardTitle, kServerProcess);
  if (behaviour_.deletePage) {
    page_ = desktop_.Create("page", kDialogClass, gs::kDeletePageText, kServerProcess, wizard_);
    desktop_.Create("rangeLabel", gs::kStaticClass, "Range:", kServerProcess, page_);
    const char* names[] = {"startDate", "endDate", "startTime", "endTime"};
    typed_.assign(4, "");
    dateFields_.assign(4, 0);
    auto makeFields = [this, names](int first, int last) {
      for (int i = first; i < last && i < behaviour_.dateFields; ++i)
        dateFields_[i] = desktop_.Create(names[i], "SysDateTimePick32", "", kServerProcess, page_, true);
    };
    if (behaviour_.timeFieldsDelayMs > 0) {
      makeFields(0, 2);
      desktop_.After(behaviour_.timeFieldsDelayMs, [makeFields] { makeFields(2, 4); });
    } else {
      makeFields(0, 4);
    }
  }
  if (behaviour_.nextButton)
    desktop_.Create("next", gs::kButtonClass, Caption(gs::kNextButton, gs::kNextButtonRu), kServerProcess, wizard_);
  if (behaviour_.finishButton)
    desktop_.Create("finish", gs::kButtonClass, Caption(gs::kFinishButton, gs::kFinishButtonRu), kServerProcess,
                    wizard_);
}

}  // namespace vz::test
