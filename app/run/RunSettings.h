#pragma once
// The settings a run works with: the window's setting controls (validated,
// directories ending with the path separator) and the command-line run flags.
// The run takes a copy when it starts, so the window may change its controls
// afterwards without the run noticing.
#include <cstdint>
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
  // The memory the run may keep its bars in (switch /b:, in MiB); 0: the
  // default, a quarter of the physical memory, at most 2 GiB.
  int64_t memoryBudgetMiB = 0;
  // An exact budget in bytes that overrides the MiB (no floor): lets tests
  // split small directories into windows. 0: none.
  int64_t memoryBudgetBytes = 0;
};

}  // namespace vz::app
