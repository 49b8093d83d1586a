#include "app/console/ConsoleProgram.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/console/ConsoleView.h"
#include "app/run/PathText.h"
#include "platform/ConsoleSignal.h"
#include "platform/Process.h"
#include "platform/Terminal.h"
#include "vuzuz/Dates.h"
#include "vuzuz/ShowError.h"

#include "app/console/InspectArchive.h"
#include "app/console/InspectMetastock.h"

namespace vz::app {

namespace {

constexpr char kVersion[] = "1.0.0";
constexpr auto kPollInterval = std::chrono::milliseconds(100);

constexpr char kHelp[] =
    "Usage: vuzuz-archive-creator [switches]\n"
    "\n"
    "Converts the price data of a MetaStock directory into Vuzuz GlobalServer\n"
    "archives: one dYYMM.omz per month of daily bars in the output directory and\n"
    "one YYYY_MM/iYYMMDD.omz per day of intraday ticks. The stored settings are\n"
    "restored, the switches applied, and the run starts at once. Switches begin\n"
    "with \"/\" or \"-\"; letters and values are not case-sensitive (paths are).\n"
    "\n"
    "  /m:DIR     MetaStock directory (the one holding MASTER and EMASTER)\n"
    "  /m         the default MetaStock directory (stored \"MSPath\")\n"
    "  /o:DIR     output directory; the From date then follows the newest day\n"
    "             archive found there (three months back when there is none)\n"
    "  /f:DATE    From date, YYYYMMDD (or YYMMDD, read as 20YY); after /o: to stand\n"
    "  /t:DATE    To date, YYYYMMDD (or YYMMDD); default today 23:59\n"
    "  /a[:V]     \"Create archives\" on (V = y, t, +) or off (V = n, f, -)\n"
    "  /s[:V]     \"Process selected securities\" (the IMASTER selection list)\n"
    "  /i[:V]     \"Smart import\" into a running GlobalServer; /i:d imports only\n"
    "             the daily archives, /i:i only the intraday ones\n"
    "  /d[:V]     \"Delete data\" in GlobalServer for the range before importing\n"
    "  /g         start at once (always so here)\n"
    "  /x         end when the run ends (always so here)\n"
    "\n"
    "  --help     this text\n"
    "  --version  the program's version\n"
    "  --list DIR           the securities of a MetaStock directory\n"
    "  --bars DIR SYMBOL    the bars of one security; SYMBOL may be its data file\n"
    "                       (F12.DAT, F300.MWD) when several share a symbol\n"
    "  --unzip ARCHIVE DIR  unpack an .omz archive into a directory\n"
    "  --dump ARCHIVE       the contents of an .omz archive\n"
    "\n"
    "With no arguments at all it converts the bundled sample MetaStock directory\n"
    "(written next to the program on first use) and says where the archives went.\n"
    "\n"
    "Example:\n"
    "  vuzuz-archive-creator /m:/data/metastock/ /o:/data/archives/ /f:20261001 /i:n\n"
    "\n"
    "Exit status: 0 export complete, 1 usage or set-up error, 2 settings refused,\n"
    "3 a conversion stage failed, 4 export complete but import failed,\n"
    "130 stopped (Ctrl+C).\n";

std::string DateSwitchText(double day) {
  const DateTimeParts date = DecodeDateTime(std::trunc(day));
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", date.year, date.month, date.day);
  return text;
}

// The inspection commands: --list, --bars, --unzip, --dump. Returns -1 when
// `args` is not one of them.
int RunInspection(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::string& command = args[0];
  auto usage = [&](const char* text) {
    err << "usage: vuzuz-archive-creator " << text << '\n';
    return kExitSetupFailed;
  };
  if (command == "--list") {
    if (args.size() != 2) return usage("--list DIR");
    return RunListCommand(args[1], out, err);
  }
  if (command == "--bars") {
    if (args.size() != 3) return usage("--bars DIR SYMBOL");
    return RunBarsCommand(args[1], args[2], out, err);
  }
  if (command == "--unzip") {
    if (args.size() != 3) return usage("--unzip ARCHIVE DIR");
    return RunUnzipCommand(args[1], args[2], out, err);
  }
  if (command == "--dump") {
    if (args.size() != 2) return usage("--dump ARCHIVE");
    return RunDumpCommand(args[1], out, err);
  }
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

int ExitStatus(const RunResult& result) {
  switch (result.end) {
    case RunEnd::Normal:
      // The same precedence as the final status: a failed import first.
      if (!result.importOk) return kExitImportFailed;
      return result.leftOut ? kExitLeftOut : kExitComplete;
    case RunEnd::Stopped:
      return kExitTerminated;
    case RunEnd::Failed:
      break;
  }
  return kExitStageFailed;
}

// Runs the window's behaviour with the console view until the run ends.
int RunConversion(const std::vector<std::string>& switches, bool sample, ConsoleProgramOptions& options,
                  TConsoleView& view) {
  TMainWindowModel model(view, options.services);
  if (sample) model.ApplyDefaultMsDir();  // the sample neither reads nor writes the stored settings
  else model.RestoreSettings();
  std::vector<std::string> args = switches;
  args.push_back("/g");
  args.push_back("/x");
  model.FormActivate(args);
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
  model.FormCloseQuery();

  const RunResult result = *view.Result();
  // The final status is on screen already; a failed stage's is its last step.
  if (result.end == RunEnd::Failed) view.ShowLine("Failed: " + model.StatusStep());
  else view.EndProgress();
  if (result.end == RunEnd::Normal && result.importOk)
    view.ShowLine("Archives are in " + (model.Settings().run.output.empty() ? std::string(".") : model.Settings().run.output));
  return ExitStatus(result);
}

}  // namespace

int RunConsoleProgram(const std::vector<std::string>& args, ConsoleProgramOptions options) {
  std::ostream& out = options.out ? *options.out : std::cout;
  std::ostream& err = options.err ? *options.err : std::cerr;
  if (!args.empty()) {
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "/?") {
      out << kHelp;
      return kExitComplete;
    }
    if (first == "--version") {
      out << "vuzuz-archive-creator " << kVersion << '\n';
      return kExitComplete;
    }
    if (const int status = RunInspection(args, out, err); status >= 0) return status;
    if (first.rfind("--", 0) == 0) {
      err << "error: unknown option " << first << " (see --help)\n";
      return kExitSetupFailed;
    }
  }

  TConsoleView view(err, options.errIsTerminal);
  TErrorSinkScope sinkScope(view);
  if (!args.empty()) return RunConversion(args, false, options, view);

  if (!options.writeSample) {
    err << "error: this build has no sample directory; see --help\n";
    return kExitSetupFailed;
  }
  namespace fs = std::filesystem;
  const fs::path base = fs::path(options.programDir) / "sample";
  const fs::path msDir = base / "metastock";
  const fs::path outDir = base / "output";
  std::error_code ec;
  if (!fs::exists(msDir / "EMASTER", ec)) {
    const std::string error = options.writeSample(msDir.string());
    if (!error.empty()) {
      view.ShowErrorLine("cannot write the sample directory " + msDir.string() + ": " + error);
      return kExitSetupFailed;
    }
    view.ShowLine("Wrote the sample MetaStock directory " + msDir.string());
  }
  view.ShowLine("Converting " + msDir.string() + " into " + outDir.string());
  double firstDay = 0;
  double lastDay = 0;
  if (options.sampleRange) options.sampleRange(firstDay, lastDay);
  std::vector<std::string> switches{"/m:" + msDir.string(), "/o:" + outDir.string()};
  if (firstDay > 0) switches.push_back("/f:" + DateSwitchText(firstDay));
  // The To date is today 23:59; a clock set before the sample's end moves it.
  if (std::floor(options.services.now()) <= lastDay) switches.push_back("/t:" + DateSwitchText(lastDay + 1));
  return RunConversion(switches, true, options, view);
}

ConsoleProgramOptions DefaultConsoleOptions() {
  ConsoleProgramOptions options;
  options.errIsTerminal = platform::StderrIsTerminal();
  options.programDir = std::filesystem::path(platform::SelfExecutablePath()).parent_path().string();
  platform::InstallConsoleStopHandler();
  options.stopRequested = [] { return platform::ConsoleStopRequested(); };
  return options;
}

}  // namespace vz::app
