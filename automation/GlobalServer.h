#pragma once
// What the conversion run needs of a running GlobalServer: whether its main
// window exists, its "Delete Data" wizard over a date-time range and its
// "Import Data" wizard over a list of archive paths; and the dialog that asks
// the user for the import range. The run uses them from its worker thread
// and blocks while they work.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vz::automation {

class IDesktop;

// Told each step of a wizard dialogue (window found, keys sent, how a wait
// ended), so that a user whose import fails can see where.
using StepLog = std::function<void(const std::string& step)>;

// How a delete ended. A deletion whose progress window closed as it should
// but whose closing notice never came is taken as done: GlobalServer did the
// work and only failed to say so, and a second delete would find nothing.
enum class DeleteOutcome { Deleted, NotRunning, Unconfirmed, Failed };

// How an import ended, by the same rule: an import whose progress window
// closed as it should but whose closing notice never came is taken as done
// (Unconfirmed), and the run says so. NotRunning: no GlobalServer to import
// into, nothing was sent.
enum class ImportOutcome { Imported, NotRunning, Unconfirmed, Failed };

// The whole Smart import step (the import check, the delete and both import
// passes) ends within this bound: every wait of the wizards stops once it is
// spent. It leaves room for three long jobs (the deletion and the two
// imports) to use their whole wait of 10000 polls (about 17 minutes) each.
// The range dialog, which waits for a person, is not counted.
inline constexpr std::int64_t kSmartImportBoundMs = 60 * 60 * 1000;
// A wait that goes on is told to the run's log this often.
inline constexpr std::int64_t kWaitNoteIntervalMs = 30 * 1000;

class IGlobalServer {
public:
  virtual ~IGlobalServer() = default;
  // True when a top-level window of class "VuzuzResearchGlobalServer" exists.
  virtual bool FindMainWindow() = 0;
  // False where this system has no GlobalServer windows at all (so its not
  // running is nothing to tell).
  virtual bool OnThisSystem() const { return true; }
  // A Smart import step begins: its waits end once `boundMs` has passed from
  // now, and a wait that goes on is told to `note` (a line for the run's log)
  // every kWaitNoteIntervalMs.
  virtual void BeginStep(StepLog note, std::int64_t boundMs) {
    (void)note;
    (void)boundMs;
  }
  // Before anything is deleted: whether the import can run. Opens the import
  // wizard from GlobalServer's menu, finds its first page and cancels it.
  // Empty when all answered; otherwise what did not, for the user.
  virtual std::string CheckImport() = 0;
  // Whether the delete wizard answers: opened from GlobalServer's menu, its
  // first page found with its fields and buttons, and cancelled; nothing is
  // typed or deleted. Empty when all answered; otherwise what did not. A
  // GlobalServer that cannot tell says so.
  virtual std::string CheckDelete() { return "this GlobalServer cannot check its delete wizard"; }
  // GlobalServerDelete.
  virtual DeleteOutcome Delete(double from, double to) = 0;
  // GlobalServerImport: Imported on success and for an empty list.
  virtual ImportOutcome Import(const std::vector<std::string>& files) = 0;
};

// The import range dialog: shown modally with the two dates filled in; true
// when it closed with OK, the dates then holding what the user chose.
class IImportRangeDialog {
public:
  virtual ~IImportRangeDialog() = default;
  virtual bool Ask(double& from, double& to) = 0;
};

// A GlobalServer that is never running: no main window is ever found, and
// the wizards succeed without doing anything, as they do in that case. It
// has no steps to tell; the log is taken so that it can stand wherever a
// GlobalServer is made with one.
std::unique_ptr<IGlobalServer> MakeAbsentGlobalServer(StepLog log = {});

// The GlobalServer running on `desktop`, driven through its wizards.
std::unique_ptr<IGlobalServer> MakeDesktopGlobalServer(std::unique_ptr<IDesktop> desktop, StepLog log);

}  // namespace vz::automation
