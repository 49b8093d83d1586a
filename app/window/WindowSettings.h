#pragma once
// The window's setting controls: the values a run works with, plus the
// enabled state of "Delete data", which follows "Smart import" and is stored.
#include <optional>
#include <string>

#include "app/run/RunSettings.h"

namespace vz::app {

struct WindowSettings {
  TRunSettings run;
  bool deleteEnabled = true;  // EdtDelete.Enabled
  // The run log from /l:: unset for the default file, "" for none.
  std::optional<std::string> runLogFile;
};

}  // namespace vz::app
