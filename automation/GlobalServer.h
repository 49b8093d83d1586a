#pragma once
// What the conversion run needs of a running GlobalServer: whether its main
// window exists, its "Delete Data" wizard over a date-time range and its
// "Import Data" wizard over a list of archive paths; and the dialog that asks
// the user for the import range. The run uses them from its worker thread
// and blocks while they work.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vz::automation {

class IDesktop;

// Told each step of a wizard dialogue (window found, keys sent, how a wait
// ended), so that a user whose import fails can see where.
using StepLog = std::function<void(const std::string& step)>;

class IGlobalServer {
public:
  virtual ~IGlobalServer() = default;
  // True when a top-level window of class "VuzuzResearchGlobalServer" exists.
  virtual bool FindMainWindow() = 0;
  // GlobalServerDelete: true on success, also when no GlobalServer runs.
  virtual bool Delete(double from, double to) = 0;
  // GlobalServerImport: true on success, for an empty list, and when no
  // GlobalServer runs.
  virtual bool Import(const std::vector<std::string>& files) = 0;
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
