#pragma once
// The window's setting controls: the values a run works with, plus the
// enabled state of "Delete data", which follows "Smart import" and is stored.
#include "app/run/RunSettings.h"

namespace vz::app {

struct WindowSettings {
  TRunSettings run;
  bool deleteEnabled = true;  // EdtDelete.Enabled
};

}  // namespace vz::app
