#include "app/window/ProductionGlobalServer.h"
#include "platform/Desktop.h"

namespace vz::app {

std::unique_ptr<automation::IGlobalServer> MakeProductionGlobalServer(automation::StepLog log) {
  return automation::MakeDesktopGlobalServer(platform::MakeSystemDesktop(), std::move(log));
}

}  // namespace vz::app
