#pragma once
// GlobalServer as the drivers meet it, on the simulated desktop: its main
// window with the filter, the keyboard menu paths, the import and delete
// wizards with their pages and buttons, the file dialog, the progress
// windows and the closing notice. Each behaviour can be broken on purpose.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "SimDesktop.h"
#include "SimServerStore.h"

namespace vz::test {

constexpr std::uint32_t kServerProcess = 4242;
constexpr std::uint32_t kOtherProcess = 777;

struct SimServerBehaviour {
  bool russian = false;  // the file dialog and the wizard buttons bear Russian captions
  // Import wizard.
  bool importWizard = true;
  std::int64_t pageDelayMs = 0;  // the first page shows this long after the wizard
  bool browseButton = true;
  bool fileDialog = true;
  bool fileNameField = true;
  bool openButton = true;
  int emptyReadBacks = 0;  // reads of the file name that come back empty; -1 always
  int refusedFile = -1;    // the entry answered with a second "Open" window
  bool nextButton = true;
  std::int64_t readingMs = 300;  // "Reading available symbols" shows this long; -1 never
  bool showGroup = true;
  bool portfolioRadio = true;
  bool allSymbolsRadio = true;
  bool finishButton = true;
  std::int64_t importingMs = 2000;  // "Importing Server 4.0 Format"; -1 never
  bool notice = true;
  // Delete wizard.
  bool filterLabel = true;
  bool filterCombo = true;
  bool dropDownList = true;
  bool deleteWizard = true;
  int deleteWizardFailures = 0;  // openings of the menu path that show no wizard first
  bool deletePage = true;
  int dateFields = 4;                  // fields the page has
  std::int64_t timeFieldsDelayMs = 0;  // the two time fields show this late
  std::int64_t deletingMs = 1000;      // "Deleting data"; -1 never
  bool deleteNotice = true;            // the closing notice after a deletion
  bool closeAfterDelete = false;       // GlobalServer quits once it has deleted
  // The data it holds: the delete wizard empties it over the range typed,
  // the import wizard fills it from the archives accepted, each once its
  // progress window closes. None: the wizards change nothing.
  TSimServerStore* store = nullptr;
  // Told "deleted" or "imported" once the store has changed (a test may end
  // the program there).
  std::function<void(const std::string& what)> storeChanged;
};

// A progress window that never closes.
constexpr std::int64_t kForever = std::int64_t{1} << 50;

class TSimGlobalServer {
public:
  TSimGlobalServer(TSimDesktop& desktop, SimServerBehaviour behaviour);

  WindowHandle MainWindow() const { return main_; }
  WindowHandle Combo() const { return combo_; }
  bool Minimised() const;
  // The file names the file dialog accepted, in order.
  const std::vector<std::string>& Imported() const { return imported_; }
  // Archives the store could not take, with the reason.
  const std::vector<std::string>& StoreRefusals() const { return storeRefusals_; }
  bool ImportFinished() const { return importFinished_; }
  bool DeleteFinished() const { return deleteFinished_; }
  bool SelectedAll() const { return selectedAll_; }
  // What each of the delete wizard's four fields received: digits, ">" for
  // a Right arrow.
  std::vector<std::string> TypedFields() const;
  int ComboSelection() const { return comboSelection_; }

private:
  void OnMessage(const SimMessage& message);
  void OnMenuKey(const SimMessage& message);
  void OpenImportWizard();
  void OpenDeleteWizard();
  void OpenFileDialog();
  void AcceptFile();
  void TurnImportPage();
  void StoreDeletion();
  void StoreImport();
  void ShowProgress(const std::string& name, const std::string& title, std::int64_t ms, bool& finished);
  const char* Caption(const char* english, const char* russian) const { return behaviour_.russian ? russian : english; }

  TSimDesktop& desktop_;
  SimServerBehaviour behaviour_;
  WindowHandle main_ = 0;
  WindowHandle combo_ = 0;
  WindowHandle wizard_ = 0;
  WindowHandle page_ = 0;
  WindowHandle dialog_ = 0;
  WindowHandle field_ = 0;
  std::vector<WindowHandle> dateFields_;
  std::vector<std::string> typed_;
  std::string menuPath_;
  int importPage_ = 0;
  size_t wizardFirstFile_ = 0;  // the first of imported_ the open import wizard took
  int deleteOpenings_ = 0;
  int readBacks_ = 0;
  int comboSelection_ = -1;
  bool selectedAll_ = false;
  bool readingFinished_ = false;
  bool importFinished_ = false;
  bool deleteFinished_ = false;
  std::vector<std::string> imported_;
  std::vector<std::string> storeRefusals_;
};

}  // namespace vz::test
