#include "app/win/CheckImportMenu_win.h"

#include <atomic>
#include <memory>
#include <thread>

#include "app/check/ImportCheck.h"
#include "app/run/PathText.h"

namespace vz::app {

namespace {

// One check at a time; set on the window's thread, cleared when the report
// has been shown.
std::atomic<bool> checking{false};

}  // namespace

void AddCheckImportMenuItem(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (!menu) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kSysCommandCheckImport, L"Check Smart import...");
}

void StartImportCheck(TMainWindowModel& model, const MainWindowServices& services,
                      const std::function<void(std::function<void()>)>& post) {
  const auto thread = model.Trd1().LastThread();
  if (thread && !thread->Finished()) {
    model.Tell("A run is working: check Smart import when it has ended.");
    return;
  }
  if (checking.exchange(true)) return;
  TRunSettings settings = model.Settings().run;
  settings.output = WithDirSeparator(settings.output);
  // The range as a scheduled start takes it.
  settings.autoStart = true;
  model.SetStatus("Checking Smart import...");
  try {
    std::thread([settings, services, post, &model] {
      auto lines = std::make_shared<std::string>();
      try {
        auto server = services.makeGlobalServer({});
        CheckSmartImport(settings, *server, [&lines](const std::string& line) { *lines += line + "\n"; });
      } catch (const std::exception& error) {
        *lines += std::string("The check failed: ") + error.what() + "\n";
      }
      // The model is reached only through the window's queue, which drops
      // the task once the window has gone.
      post([lines, &model] {
        checking = false;
        model.SetStatus("");
        model.Tell(*lines);
      });
    }).detach();
  } catch (const std::system_error& error) {
    checking = false;
    model.SetStatus("");
    model.Tell(std::string("The check cannot start: ") + error.what());
  }
}

}  // namespace vz::app
