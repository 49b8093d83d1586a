#include "app/console/ConsoleProgram.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "app/console/CheckImportCommand.h"
#include "app/console/ConsoleHelp.h"
#include "app/console/ConsoleSwitches.h"
#include "app/console/ConsoleView.h"
#include "app/record/ImportStateRun.h"
#include "app/console/SampleDir.h"
#include "app/run/RunSummary.h"
#include "app/run/PathText.h"
#include "app/run/ProgramVersion.h"
#include "platform/ConsoleSignal.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/SettingsStore.h"
#include "platform/Terminal.h"
#include "vuzuz/Dates.h"
#include "vuzuz/ShowError.h"

#include "app/console/InspectArchive.h"
#include "app/console/InspectMetastock.h"
#include "app/verify/VerifyCommand.h"

namespace vz::app {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

// Where the defaults are kept, for the messages of --set-defaults.
std::string StoreLocation() {
#ifdef _WIN32
  return " in the registry (HKEY_CURRENT_USER\\" + std::string(kStoredSettingsKey) + ")";
#else
  return " in " + platform::SettingsFilePath();
#endif
}

std::string DateSwitchText(double day) {
  const DateTimeParts date = DecodeDateTime(std::trunc(day));
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", date.year, date.month, date.day);
  return text;
}

// A command's status, made a failure when its output could not be written
// (a full disk, a closed pipe): a script must not take a cut list for a
// whole one.
int CheckedOutput(int status, std::ostream& out, std::ostream& err) {
  // A write that failed earlier left its errno; a failing flush sets its own.
  if (out) {
    errno = 0;
    out.flush();
  }
  if (out) return status;
  const int why = errno;
  err << "error: cannot write the output" << (why ? ": " + std::generic_category().message(why) : std::string())
      << '\n';
  return status == kExitComplete ? kExitSetupFailed : status;
}

// The inspection commands: --list, --bars, --unzip, --dump, --verify. Returns -1 when
// `args` is not one of them.
int RunInspection(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::string& command = args[0];
  auto usage = [&](const char* text) {
    err << "usage: vuzuz-archive-creator " << text << '\n';
    return kExitSetupFailed;
  };
  if (command == "--list") {
    if (args.size() != 2) return usage("--list DIR");
    return CheckedOutput(RunListCommand(args[1], out, err), out, err);
  }
  if (command == "--bars") {
    if (args.size() != 3) return usage("--bars DIR SYMBOL");
    return CheckedOutput(RunBarsCommand(args[1], args[2], out, err), out, err);
  }
  if (command == "--unzip") {
    std::vector<std::string> operands;
    bool force = false;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--force") force = true;
      else operands.push_back(args[i]);
    }
    if (operands.size() != 2) return usage("--unzip ARCHIVE DIR [--force]");
    return CheckedOutput(RunUnzipCommand(operands[0], operands[1], force, out, err), out, err);
  }
  if (command == "--dump") {
    if (args.size() != 2) return usage("--dump ARCHIVE");
    return CheckedOutput(RunDumpCommand(args[1], out, err), out, err);
  }
  if (command == "--verify")
    return CheckedOutput(RunVerifyCommand({args.begin() + 1, args.end()}, out, err), out, err);
  return -1;
}

// Restores the ShowError sink it replaced when the program ends.
class TErrorSinkScope {
public:
  explicit TErrorSinkScope(TConsoleView& view)
      : previous_(SetErrorSink([&view](const std::string& text) { view.ShowErrorLine(text); })) {}
  ~TErrorSinkScope() { SetErrorSink(previous_); }
  TErrorSinkScope(const TErrorSinkScope&) = delete;
  TErrorSinkScope& operator=(const TErrorSinkScope&) = delete;

private:
  ErrorSink previous_;
};

// Runs the window's behaviour with the console view until the run ends. The
// stored settings are read but never written: switches apply to this run
// only.
int RunConversion(const std::vector<std::string>& givenSwitches, bool sample, ConsoleProgramOptions& options,
                  TConsoleView& view) {
  MainWindowServices services = options.services;
  services.writeStored = nullptr;
  TMainWindowModel model(view, services);
  if (sample) model.ApplyDefaultMsDir();  // the sample does not read the stored settings
  else model.RestoreSettings();
  const std::vector<std::string> switches = WithAbsolutePaths(givenSwitches);
  RunSummaryNotes notes;
  notes.fromReplaced = FromReplacedByOutput(switches, model.Settings());
  notes.smartImportAvailable = options.smartImportAvailable;
  // The program starts the run itself, once the settings are printed.
  std::vector<std::string> args = WithoutStartSwitch(switches);
  args.push_back("/x");
  model.FormActivate(args);
  // Started as with /g: Smart import takes the window's range.
  model.MutableSettings().run.autoStart = true;
  notes.importState = TImportStateRun(model.Settings().run, std::string()).SummaryLines();
  view.ShowText(DescribeRunSettings(model.Settings().run, notes));
  const std::string runLog = model.RunLogPath();
  view.ShowLine("Run log:             " + (runLog.empty() ? std::string("(none)") : runLog));
  model.BtnStartClick();
  if (!model.Trd1().LastThread()) return kExitInvalidSettings;

  bool stopSent = false;
  while (!view.Result()) {
    view.Drain(kPollInterval);
    if (!stopSent && options.stopRequested && options.stopRequested() && model.ButtonCaption() == kCaptionStop) {
      view.ShowLine("Stopping at the next check...");
      model.BtnStartClick();
      stopSent = true;
    }
  }
  // Let the finished run's thread leave before the window goes.
  if (const auto thread = model.Trd1().LastThread()) thread->WaitFor();
  view.Drain(std::chrono::milliseconds(0));

  const RunResult result = *view.Result();
  // The final status is on screen already; a failed stage's is its last step.
  if (result.end == RunEnd::Failed) view.ShowLine("Failed: " + model.StatusStep());
  else view.EndProgress();
  if (result.end == RunEnd::Normal && result.importOk && model.Settings().run.create)
    view.ShowLine("Archives are in " + (model.Settings().run.output.empty() ? std::string(".") : model.Settings().run.output));
  return ExitStatusOf(result);
}

// --set-defaults: the switches applied to the stored defaults, which are
// written back and printed; nothing runs.
int RunSetDefaults(const std::vector<std::string>& givenSwitches, ConsoleProgramOptions& options, std::ostream& out,
                   std::ostream& err) {
  for (const std::string& arg : givenSwitches) {
    const char letter = arg.size() >= 2 ? LowerAscii(arg.substr(1, 1))[0] : 0;
    if (letter == 'f' || letter == 't' || letter == 'g' || letter == 'x' || letter == 'l') {
      err << "error: " << arg << ": not stored (it applies to one run only)\n";
      return kExitSetupFailed;
    }
  }
  TConsoleView view(err, false);
  TMainWindowModel model(view, options.services);
  model.RestoreSettings();
  if (!givenSwitches.empty()) {
    model.ParseCommandLine(WithAbsolutePaths(givenSwitches));
    if (!model.SaveSettings()) {
      err << "error: cannot store the defaults" << StoreLocation() << '\n';
      return kExitSetupFailed;
    }
    out << "Stored defaults" << StoreLocation() << ":\n";
  } else {
    out << "Defaults" << StoreLocation() << ":\n";
  }
  out << DescribeDefaults(model.Settings().run);
  return CheckedOutput(kExitComplete, out, err);
}

}  // namespace

int RunConsoleProgram(const std::vector<std::string>& args, ConsoleProgramOptions options) {
  std::ostream& out = options.out ? *options.out : std::cout;
  std::ostream& err = options.err ? *options.err : std::cerr;
  // --sample says what no arguments mean: convert the bundled sample.
  const bool sample = args.empty() || (args.size() == 1 && args[0] == "--sample");
  if (!sample) {
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "/?") {
      out << kConsoleHelp;
      return CheckedOutput(kExitComplete, out, err);
    }
    if (first == "--version") {
      out << "vuzuz-archive-creator " << kProgramVersion << '\n';
      return CheckedOutput(kExitComplete, out, err);
    }
    if (const int status = RunInspection(args, out, err); status >= 0) return status;
    const bool setDefaults = first == "--set-defaults";
    const bool checkImport = first == "--check-import";
    if (first.rfind("--", 0) == 0 && !setDefaults && !checkImport) {
      err << "error: unknown option " << first << " (see --help)\n";
      return kExitSetupFailed;
    }
    const std::vector<std::string> switches(args.begin() + (setDefaults || checkImport ? 1 : 0), args.end());
    if (const std::string refused = RefusedSwitch(switches); !refused.empty()) {
      err << "error: " << refused << " (see --help)\n";
      return kExitSetupFailed;
    }
    if (setDefaults) return RunSetDefaults(switches, options, out, err);
    if (checkImport) return CheckedOutput(RunCheckImportCommand(switches, options, out), out, err);
  }

  TConsoleView view(err, options.errIsTerminal);
  TErrorSinkScope sinkScope(view);
  if (!sample) return RunConversion(args, false, options, view);

  if (!options.writeSample) {
    err << "error: this build has no sample directory; see --help\n";
    return kExitSetupFailed;
  }
  namespace fs = std::filesystem;
  // UTF-8 texts: on Windows a narrow fs::path would read them in the ANSI
  // code page, and a program in a Cyrillic folder could not write its sample.
  const fs::path base = platform::PathFromUtf8(options.sampleDir);
  const fs::path msDir = base / "metastock";
  const fs::path outDir = base / "output";
  std::error_code ec;
  if (!fs::exists(msDir / "EMASTER", ec)) {
    const std::string error = options.writeSample(platform::Utf8FromPath(msDir));
    if (!error.empty()) {
      view.ShowErrorLine("cannot write the sample directory " + platform::Utf8FromPath(msDir) + ": " + error);
      return kExitSetupFailed;
    }
    view.ShowLine("Wrote the sample MetaStock directory " + platform::Utf8FromPath(msDir));
  }
  view.ShowLine("Converting " + platform::Utf8FromPath(msDir) + " into " + platform::Utf8FromPath(outDir));
  double firstDay = 0;
  double lastDay = 0;
  if (options.sampleRange) options.sampleRange(firstDay, lastDay);
  std::vector<std::string> switches{"/m:" + platform::Utf8FromPath(msDir), "/o:" + platform::Utf8FromPath(outDir)};
  if (firstDay > 0) switches.push_back("/f:" + DateSwitchText(firstDay));
  // The To date is today 23:59; a clock set before the sample's end moves it.
  if (std::floor(options.services.now()) <= lastDay) switches.push_back("/t:" + DateSwitchText(lastDay + 1));
  return RunConversion(switches, true, options, view);
}

ConsoleProgramOptions DefaultConsoleOptions() {
  ConsoleProgramOptions options;
  options.errIsTerminal = platform::StderrIsTerminal();
  options.sampleDir =
      DefaultSampleDir(platform::Utf8FromPath(platform::PathFromUtf8(platform::SelfExecutablePath()).parent_path()));
  platform::InstallConsoleStopHandler();
  options.stopRequested = [] { return platform::ConsoleStopRequested(); };
  return options;
}

}  // namespace vz::app
