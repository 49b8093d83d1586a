#include "app/window/ProductionGlobalServer.h"

namespace vz::app {

std::unique_ptr<automation::IGlobalServer> MakeProductionGlobalServer(automation::StepLog log) {
  return automation::MakeAbsentGlobalServer(std::move(log));
}

}  // namespace vz::app
