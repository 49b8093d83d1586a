#pragma once
// The settings a run works with: the window's setting controls (validated,
// directories ending with the path separator) and the command-line run flags.
// The run takes a copy when it starts, so the window may change its controls
// afterwards without the run noticing.
#include <string>

namespace vz::app {

struct TRunSettings {
  int format = 0;            // EdtFormat
  std::string msDir;         // EdtMsDir
  std::string output;        // EdtOutput
  double from = 0;           // EdtFrom, date-time
  double to = 0;             // EdtTo, date-time
  bool selected = false;     // EdtSelected: only the securities of the selection list
  bool create = true;        // EdtCreate: run the three conversion stages
  bool import = true;        // EdtImport: Smart import
  bool deleteData = true;    // EdtDelete (ticked state)
  bool autoStart = false;    // run flags, set only by the command line
  bool autoClose = false;
  bool importDaily = true;
  bool importIntraday = true;
};

}  // namespace vz::app
