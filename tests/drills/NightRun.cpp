#ifndef _WIN32
#include "drills/NightRun.h"

#include <cerrno>
#include <csignal>
#include <fstream>
#include <optional>
#include <sstream>

#include "app/TestTaskQueue.h"
#include "app/window/ExitStatus.h"
#include "app/window/MainWindowModel.h"
#include "app/LentDesktop.h"
#include "automation/SimGlobalServer.h"
#include "drills/DrillFixture.h"
#include "support/ChildProcess.h"

namespace vz::drill {

namespace fs = std::filesystem;

namespace {

// The window as a scheduled run meets it: boxes that would wait for a
// person (none may come), the run's end, the close it requests.
class TNightView final : public app::IMainView {
public:
  test::TTaskQueue queue;
  std::optional<app::RunResult> result;
  bool closeRequested = false;
  std::vector<std::string> boxes;

  void Post(std::function<void()> task) override { queue.Post(std::move(task)); }
  void ShowSettings(const app::WindowSettings&) override {}
  void ShowStatus(const std::string&, const std::string&) override {}
  void ShowButtonCaption(const std::string&) override {}
  void ShowControlsEnabled(bool, bool) override {}
  void FocusControl(app::Control) override {}
  void ShowMessage(const std::string& text) override { boxes.push_back(text); }
  bool AskImportRange(double&, double&) override { return false; }
  void RequestClose() override { closeRequested = true; }
  void RunEnded(const app::RunResult& ended) override { result = ended; }
};

test::SimServerBehaviour BehaviourFor(const TNightPlan& plan) {
  test::SimServerBehaviour behaviour;
  switch (plan.fault) {
    case NightFault::RefusedFile: behaviour.refusedFile = plan.arg; break;
    case NightFault::QuitsAfterDelete: behaviour.closeAfterDelete = true; break;
    case NightFault::DeleteFailsOnce: behaviour.deleteWizardFailures = 1; break;
    case NightFault::DeleteFailsTwice: behaviour.deleteWizardFailures = 2; break;
    case NightFault::NoNotices:
      behaviour.notice = false;
      behaviour.deleteNotice = false;
      break;
    case NightFault::NoImportWizard: behaviour.importWizard = false; break;
    case NightFault::DeleteNeverEnds: behaviour.deletingMs = test::kForever; break;
    case NightFault::ImportNeverEnds: behaviour.importingMs = test::kForever; break;
    default: break;
  }
  return behaviour;
}

// The night in this process: the window's model started as the scheduled
// command starts the Windows program, its exit status as that program ends.
int NightInThisProcess(const TNightPaths& paths, double now, const TNightPlan& plan, std::vector<std::string>& refusals) {
  test::TSimDesktop desktop;
  test::TSimServerStore store(paths.Store());
  test::SimServerBehaviour behaviour = BehaviourFor(plan);
  behaviour.store = &store;
  if (plan.fault == NightFault::KilledInGlobalServer)
    behaviour.storeChanged = [left = plan.arg](const std::string&) mutable {
      if (--left == 0) std::raise(SIGKILL);
    };
  std::optional<test::TSimGlobalServer> server;
  if (plan.fault != NightFault::NotRunning) server.emplace(desktop, behaviour);

  app::MainWindowServices services = app::ProductionServices();
  services.makeGlobalServer = [&desktop](automation::StepLog log) {
    return automation::MakeDesktopGlobalServer(std::make_unique<test::TLentDesktop>(desktop), std::move(log));
  };
  services.sleep = [&desktop](int ms) { desktop.Sleep(ms); };
  services.deleteClock = [](double value) { return value; };
  services.now = [now] { return now; };
  services.defaultMsDir = [] { return std::string(); };
  services.readStored = nullptr;
  services.writeStored = nullptr;
  services.defaultRunLog = [] { return std::string(); };

  TNightView view;
  int status = app::kExitInvalidSettings;
  {
    app::TMainWindowModel model(view, services);
    model.RestoreSettings();
    // The window runs its conversion at the lowest priority, which on Linux
    // is SCHED_IDLE: on a machine busy with builds the sixty runs would wait
    // for idle moments, minutes in all. What is tested does not depend on it.
    model.Trd1().Priority = platform::ThreadPriority::Normal;
    model.FormActivate({"/m:" + paths.Ms().string(), "/o:" + paths.Out().string(), "/i", "/d",
                        "/l:" + paths.Log().string(), "/g", "/x"});
    if (model.Trd1().LastThread()) {
      view.queue.DrainUntil([&] { return view.closeRequested; }, std::chrono::minutes(2));
      model.FormCloseQuery();
      if (const auto thread = model.Trd1().LastThread()) thread->WaitFor();
      view.queue.DrainUntil([] { return false; }, std::chrono::milliseconds(0));
      if (view.result) status = app::ExitStatusOf(*view.result);
    }
  }
  if (server) refusals = server->StoreRefusals();
  // A scheduled run shows no box: nobody is there to close it.
  for (const std::string& box : view.boxes) refusals.push_back("box shown: " + box);
  return status;
}

// The night with its file faults, its report written at its end.
int NightWithReport(const TNightPaths& paths, double now, const TNightPlan& plan) {
  if (plan.fault == NightFault::KilledAtFileOperation)
    InstallFaultPlan({paths.Work().string(), plan.arg, 0, true});
  else if (plan.fault == NightFault::DiskFull)
    InstallFaultPlan({paths.Out().string(), plan.arg, ENOSPC, false, true});
  else
    InstallFaultPlan({paths.Work().string(), 0});
  std::vector<std::string> refusals;
  const int status = NightInThisProcess(paths, now, plan, refusals);
  ClearFaultPlan();

  std::ostringstream report;
  report << "failed " << FailedOperation() << '\n';
  if (plan.fault != NightFault::DiskFull) {
    const std::vector<std::string> operations = CountedOperationList();
    long output = 0;
    const std::string out = paths.Out().string() + "/";
    for (const std::string& operation : operations)
      if (operation.find(out) != std::string::npos) ++output;
    report << "operations " << operations.size() << ' ' << output << '\n';
  }
  for (const std::string& refusal : refusals) report << "refused " << refusal << '\n';
  std::ofstream(paths.Report()) << report.str();
  return status;
}

bool Killed(NightFault fault) {
  return fault == NightFault::KilledAtFileOperation || fault == NightFault::KilledInGlobalServer;
}

// args: root, now, fault name, its argument.
VZ_TEST_CHILD(month_of_nights_night) {
  if (args.size() != 4) return 120;
  const std::optional<NightFault> fault = NightFaultNamed(args[2]);
  if (!fault) return 121;
  return NightWithReport(TNightPaths{args[0]}, std::stod(args[1]), {*fault, std::stoi(args[3])});
}

}  // namespace

int RunNight(const TNightPaths& paths, double now, const TNightPlan& plan) {
  std::error_code ec;
  fs::remove(paths.Report(), ec);
  // Only a night to be killed needs a process of its own: starting one
  // each night would cost more than the nights (seconds in the sanitizer
  // build). The others leave nothing behind in this one: GlobalServer's
  // data is read from its file each night, the fault hook is removed.
  if (!Killed(plan.fault)) return NightWithReport(paths, now, plan);
  char nowText[32];
  std::snprintf(nowText, sizeof nowText, "%.10f", now);
  return test::RunChild("month_of_nights_night",
                        {paths.root.string(), nowText, NightFaultName(plan.fault), std::to_string(plan.arg)});
}

TNightReport ReadNightReport(const TNightPaths& paths) {
  TNightReport report;
  std::ifstream in(paths.Report());
  std::string line;
  while (std::getline(in, line)) {
    report.present = true;
    if (line.starts_with("failed ")) report.failedOperation = line.substr(7);
    if (line.starts_with("refused ")) report.refusals.push_back(line.substr(8));
    if (line.starts_with("operations ")) std::istringstream(line.substr(11)) >> report.fileOperations >> report.outputOperations;
  }
  return report;
}

}  // namespace vz::drill
#endif
