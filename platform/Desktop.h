#pragma once
// This machine's desktop for the GlobalServer drivers (Windows only: other
// systems have no GlobalServer windows to drive).
#include <memory>

#include "automation/Desktop.h"

namespace vz::platform {

std::unique_ptr<automation::IDesktop> MakeSystemDesktop();

}  // namespace vz::platform
