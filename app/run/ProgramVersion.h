#pragma once
// The program's version, printed by --version, kept in the run log and shown
// by the window: CMake's project(VERSION), followed by the commit id when
// built from a git checkout ("1.0.0 (a1b2c3d)"). The build writes the text
// (cmake/WriteProgramVersion.cmake).
#include "app/run/ProgramVersionText.h"

namespace vz::app {

inline constexpr char kProgramVersion[] = VZ_PROGRAM_VERSION_TEXT;

}  // namespace vz::app
