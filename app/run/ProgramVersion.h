#pragma once
// The program's version, printed by --version and kept in the run log.

namespace vz::app {

inline constexpr char kProgramVersion[] = "1.0.0";

}  // namespace vz::app
