#pragma once
// What goes wrong on a night of the month of nights: one fault or none,
// drawn from a seed, and the exit status the scheduled run must end with
// after it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vz::drill {

enum class NightFault {
  None,
  RefusedFile,          // GlobalServer's file dialog refuses the archive at `arg` (0-based, over both passes)
  QuitsAfterDelete,     // GlobalServer quits once it has deleted the range
  NotRunning,           // no GlobalServer on the desktop
  DeleteFailsOnce,      // the first delete wizard does not open, the second does
  DeleteFailsTwice,     // neither does
  NoNotices,            // no closing notice after a deletion or an import
  NoImportWizard,       // the import wizard does not open
  DeleteNeverEnds,      // the delete's progress window never closes
  ImportNeverEnds,      // the import's progress window never closes
  KilledAtFileOperation,  // the run is killed before its `arg`-th file operation (1-based)
  KilledInGlobalServer,   // killed once GlobalServer's data changed for the `arg`-th time (1-based)
  DiskFull,             // the output folder's disk is full from its `arg`-th file operation on
};

struct TNightPlan {
  NightFault fault = NightFault::None;
  int arg = 0;
};

// "refused file 1", "killed at file operation 12", "none".
std::string NightFaultText(const TNightPlan& plan);
// The fault's name as NightFaultText begins it, and back; nullopt for a
// name that is none of them.
std::string NightFaultName(NightFault fault);
std::optional<NightFault> NightFaultNamed(const std::string& name);

// The exit status the night must end with; nullopt for a killed night,
// which has none.
std::optional<int> ExpectedNightStatus(NightFault fault);

// A schedule of `nights` nights: each fault kind (None aside) on `each` of
// them, at places and with arguments drawn from `seed`; the last night is
// quiet, so that the month ends with the faults' days mended. The arguments
// are drawn below the bounds given: the file operations of the quietest
// night (for a kill), those of its output folder (for the full disk).
struct TNightBounds {
  int fileOperations = 1;
  int outputOperations = 1;
};
std::vector<TNightPlan> DrawNightSchedule(std::uint32_t seed, int nights, int each, const TNightBounds& bounds);

}  // namespace vz::drill
