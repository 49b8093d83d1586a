#ifndef _WIN32
#include "drills/NightFaults.h"

#include <random>

#include "app/window/ExitStatus.h"

namespace vz::drill {

namespace {

constexpr NightFault kFaults[] = {
    NightFault::RefusedFile,        NightFault::QuitsAfterDelete, NightFault::NotRunning,
    NightFault::DeleteFailsOnce,    NightFault::DeleteFailsTwice, NightFault::NoNotices,
    NightFault::NoImportWizard,     NightFault::DeleteNeverEnds,  NightFault::ImportNeverEnds,
    NightFault::KilledAtFileOperation, NightFault::KilledInGlobalServer,
    NightFault::DiskFull,
};

}  // namespace

std::string NightFaultName(NightFault fault) {
  switch (fault) {
    case NightFault::None: return "none";
    case NightFault::RefusedFile: return "refused file";
    case NightFault::QuitsAfterDelete: return "quits after the delete";
    case NightFault::NotRunning: return "not running";
    case NightFault::DeleteFailsOnce: return "delete fails once";
    case NightFault::DeleteFailsTwice: return "delete fails twice";
    case NightFault::NoNotices: return "no notices";
    case NightFault::NoImportWizard: return "no import wizard";
    case NightFault::DeleteNeverEnds: return "delete never ends";
    case NightFault::ImportNeverEnds: return "import never ends";
    case NightFault::KilledAtFileOperation: return "killed at file operation";
    case NightFault::KilledInGlobalServer: return "killed at GlobalServer change";
    case NightFault::DiskFull: return "disk full at output operation";
  }
  return "?";
}

std::optional<NightFault> NightFaultNamed(const std::string& name) {
  if (name == NightFaultName(NightFault::None)) return NightFault::None;
  for (const NightFault fault : kFaults)
    if (name == NightFaultName(fault)) return fault;
  return std::nullopt;
}

std::string NightFaultText(const TNightPlan& plan) {
  switch (plan.fault) {
    case NightFault::RefusedFile:
    case NightFault::KilledAtFileOperation:
    case NightFault::KilledInGlobalServer:
    case NightFault::DiskFull:
      return NightFaultName(plan.fault) + " " + std::to_string(plan.arg);
    default:
      return NightFaultName(plan.fault);
  }
}

std::optional<int> ExpectedNightStatus(NightFault fault) {
  switch (fault) {
    case NightFault::None:
    case NightFault::NotRunning:       // converted for a later import: no failure
    case NightFault::DeleteFailsOnce:  // the second attempt deleted
    case NightFault::NoNotices:        // deleted and imported, not confirmed
      return app::kExitComplete;
    case NightFault::RefusedFile:
    case NightFault::QuitsAfterDelete:
    case NightFault::DeleteFailsTwice:
    case NightFault::NoImportWizard:
    case NightFault::DeleteNeverEnds:  // a failed delete: nothing imported
    case NightFault::ImportNeverEnds:
      return app::kExitImportFailed;
    case NightFault::DiskFull:
      return app::kExitStageFailed;
    case NightFault::KilledAtFileOperation:
    case NightFault::KilledInGlobalServer:
      return std::nullopt;
  }
  return std::nullopt;
}

std::vector<TNightPlan> DrawNightSchedule(std::uint32_t seed, int nights, int each, const TNightBounds& bounds) {
  // mt19937's numbers are the same everywhere; the draws below use them
  // directly rather than the library's distributions, which are not.
  std::mt19937 random(seed);
  auto below = [&random](int n) { return static_cast<int>(random() % static_cast<std::uint32_t>(n)); };
  std::vector<TNightPlan> schedule(static_cast<size_t>(nights));
  std::vector<TNightPlan> faults;
  for (const NightFault fault : kFaults)
    for (int i = 0; i < each; ++i) faults.push_back({fault, 0});
  // Places: a shuffle of the nights before the last.
  std::vector<int> places;
  for (int night = 0; night + 1 < nights; ++night) places.push_back(night);
  for (size_t i = places.size(); i > 1; --i) std::swap(places[i - 1], places[static_cast<size_t>(below(static_cast<int>(i)))]);
  for (size_t i = 0; i < faults.size() && i < places.size(); ++i) {
    TNightPlan& plan = faults[i];
    switch (plan.fault) {
      case NightFault::RefusedFile: plan.arg = below(2); break;  // a monthly archive or the first of the next
      case NightFault::KilledAtFileOperation: plan.arg = 1 + below(bounds.fileOperations); break;
      case NightFault::KilledInGlobalServer: plan.arg = 1 + below(3); break;  // the delete, either import
      case NightFault::DiskFull: plan.arg = 1 + below(bounds.outputOperations); break;
      default: break;
    }
    schedule[static_cast<size_t>(places[i])] = plan;
  }
  return schedule;
}

}  // namespace vz::drill
#endif
