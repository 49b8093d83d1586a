#include "app/check/ImportCheck.h"

#include <cmath>
#include <vector>

#include "app/run/DayText.h"
#include "app/run/ImportLists.h"

namespace vz::app {

namespace {

std::string Count(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Tells one step and keeps the first failure for the verdict.
class TCheckSteps {
public:
  explicit TCheckSteps(const CheckLineFn& tell) : tell_(tell) {}
  void Ok(const std::string& text) { Tell("[ok]     " + text); }
  void Skipped(const std::string& text) { Tell("[--]     " + text); }
  void Failed(const std::string& text) {
    if (firstFailure_.empty()) firstFailure_ = text;
    Tell("[FAILED] " + text);
  }
  bool AllOk() const { return firstFailure_.empty(); }
  const std::string& FirstFailure() const { return firstFailure_; }
  void Tell(const std::string& line) const {
    if (tell_) tell_(line);
  }

private:
  const CheckLineFn& tell_;
  std::string firstFailure_;
};

// The archives a /g run over the range would import, as far as they are
// already in the output folder.
void CheckArchives(const TRunSettings& settings, TCheckSteps& steps) {
  const double from = std::trunc(settings.from);
  const double to = std::trunc(settings.to);
  std::vector<std::string> intraday;
  BuildImportList(settings.output, intraday, to, from);
  // The monthly archives follow the window's range, as in a run.
  const std::vector<std::string> daily = BuildDailyImportList(settings.output, settings.from, settings.to);
  const std::string where = settings.output.empty() ? std::string("the current folder") : settings.output;
  const std::string range = "from " + IsoDayText(from) + " to " + IsoDayText(to);
  std::string why;
  if (settings.importDaily) why = UnreadableArchive(daily);
  if (why.empty() && settings.importIntraday) why = UnreadableArchive(intraday);
  if (!why.empty()) {
    steps.Failed("Archives " + range + " in " + where + ": " + why);
    return;
  }
  if (daily.empty() && intraday.empty()) {
    steps.Ok("Archives " + range + " in " + where + ": none yet (a run writes them before it imports)");
    return;
  }
  steps.Ok("Archives " + range + " in " + where + ": " + Count(daily.size(), "monthly archive", "monthly archives") +
           " and " + Count(intraday.size(), "day archive", "day archives") + ", all readable");
}

}  // namespace

bool CheckSmartImport(const TRunSettings& settings, automation::IGlobalServer& server, const CheckLineFn& tell) {
  TCheckSteps steps(tell);
  if (settings.import) steps.Ok("Smart import is on in the settings");
  else steps.Failed("Smart import is off in the settings (/i:y turns it on)");

  server.BeginStep([&steps](const std::string& line) { steps.Tell("         " + line); },
                   automation::kSmartImportBoundMs);
  const bool running = server.FindMainWindow();
  if (running) steps.Ok("GlobalServer is running");
  else steps.Failed("GlobalServer is not running (start it, logged on as the user the task runs as)");

  CheckArchives(settings, steps);

  if (running) {
    if (const std::string why = server.CheckImport(); why.empty())
      steps.Ok("Import wizard: opened from GlobalServer's menu and cancelled");
    else steps.Failed("Import wizard: " + why);
    if (!settings.deleteData) {
      steps.Skipped("Delete wizard: not used (\"Delete data\" is off)");
    } else if (const std::string why = server.CheckDelete(); why.empty()) {
      steps.Ok("Delete wizard: opened from GlobalServer's menu and cancelled");
    } else {
      steps.Failed("Delete wizard: " + why);
    }
  } else {
    steps.Skipped("Import and delete wizards: not tried without GlobalServer");
  }

  if (steps.AllOk()) steps.Tell("A scheduled run could import. Nothing was changed in GlobalServer.");
  else steps.Tell("A scheduled run could not import: " + steps.FirstFailure() + ".");
  return steps.AllOk();
}

}  // namespace vz::app
