#include "app/console/CheckImportCommand.h"

#include <sstream>

#include "app/check/ImportCheck.h"
#include "app/console/ConsoleSwitches.h"
#include "app/console/ConsoleView.h"
#include "app/run/DayText.h"
#include "app/run/PathText.h"

namespace vz::app {

int RunCheckImportCommand(const std::vector<std::string>& switches, const ConsoleProgramOptions& options,
                          std::ostream& out) {
  if (!options.smartImportAvailable) {
    out << "Smart import needs Windows: it drives GlobalServer's wizards through their windows. Run\n"
           "vuzuz-archive-creator.exe --check-import on the machine and as the user of the scheduled run.\n";
    return kExitImportFailed;
  }
  // The settings a scheduled start takes: stored, then the switches, with
  // To at today 23:59 and From following the output folder. Nothing is
  // stored and no run starts.
  MainWindowServices services = options.services;
  services.writeStored = nullptr;
  std::ostringstream unused;
  TConsoleView view(unused, false);
  TMainWindowModel model(view, services);
  model.RestoreSettings();
  model.FormActivate(WithoutStartSwitch(WithAbsolutePaths(switches)));
  TRunSettings settings = model.Settings().run;
  settings.output = WithDirSeparator(settings.output);
  settings.autoStart = true;

  out << "Checking Smart import for a scheduled run (nothing is changed in GlobalServer)\n";
  out << "Output directory: " << (settings.output.empty() ? std::string("(the current folder)") : settings.output)
      << "\nRange:            " << IsoDayText(settings.from) << " to " << IsoDayText(settings.to) << "\n";
  auto tell = [&out](const std::string& line) { out << line << '\n' << std::flush; };
  auto server = services.makeGlobalServer([&tell](const std::string& step) { tell("         " + step); });
  return CheckSmartImport(settings, *server, tell) ? kExitComplete : kExitImportFailed;
}

}  // namespace vz::app
