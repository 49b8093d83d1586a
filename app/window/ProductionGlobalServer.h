#pragma once
// The GlobalServer a real run drives: on Windows the one on this desktop;
// elsewhere there are no GlobalServer windows, so it is never running and
// Smart import is skipped.
#include <memory>

#include "automation/GlobalServer.h"

namespace vz::app {

std::unique_ptr<automation::IGlobalServer> MakeProductionGlobalServer(automation::StepLog log);

}  // namespace vz::app
