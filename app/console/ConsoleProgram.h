#pragma once
// The command-line program: reads the stored settings, applies the switches
// to this run only (never storing them; --set-defaults stores defaults),
// prints the settings, runs at once and ends when the run ends. With no
// arguments, or --sample, it converts the bundled sample directory.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/window/ExitStatus.h"
#include "app/window/MainWindowModel.h"

namespace vz::app {

struct ConsoleProgramOptions {
  MainWindowServices services = ProductionServices();
  std::ostream* out = nullptr;  // --help, --version, inspection output
  std::ostream* err = nullptr;  // progress and errors
  bool errIsTerminal = false;
  // The folder that holds the sample's "metastock" and "output" folders
  // (app/console/SampleDir.h).
  std::string sampleDir;
  // Writes the sample MetaStock directory into a folder; empty when done,
  // else the reason. Unset: this build has no sample.
  std::function<std::string(const std::string& dir)> writeSample;
  // The sample's first and last trading days (dates at 00:00); asked only
  // when the sample is converted.
  std::function<void(double& firstDay, double& lastDay)> sampleRange;
  // Polled while the run works; true once the user asked to stop.
  std::function<bool()> stopRequested;
  // Smart import can find GlobalServer's windows: Windows only. Elsewhere
  // the program says once that it is skipped.
#ifdef _WIN32
  bool smartImportAvailable = true;
#else
  bool smartImportAvailable = false;
#endif
};

// `args` holds the arguments after the program name.
int RunConsoleProgram(const std::vector<std::string>& args, ConsoleProgramOptions options);

// The options of the real program (streams, terminal, Ctrl+C, sample).
ConsoleProgramOptions DefaultConsoleOptions();

}  // namespace vz::app
