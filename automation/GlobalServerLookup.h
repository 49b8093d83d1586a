#pragma once
// Finding GlobalServer's windows. A lookup walks the top-level windows, or
// every descendant of one window, and stops at the first that its callback
// accepts. The callbacks compare the class name and the text byte for byte
// (case-sensitive, read into 100-byte buffers, an empty read never matches),
// accept only windows of GlobalServer's process, and never the one window
// set aside in `SkipWindow`.
#include <cstdint>
#include <string>

#include "automation/Desktop.h"

namespace vz::automation {

// Set before each lookup; the next one overwrites it.
struct LookupState {
  std::string SearchClass;
  std::string SearchText;
  std::uint32_t ServerProcessId = 0;
  WindowHandle SkipWindow = 0;
};

// The callbacks: on a match they store the window in *found and return 0,
// which ends the enumeration; otherwise they return 1.
int EnumByClassProc(IDesktop& desktop, const LookupState& state, WindowHandle window, WindowHandle* found);
int EnumByTextProc(IDesktop& desktop, const LookupState& state, WindowHandle window, WindowHandle* found);
int EnumByClassTextProc(IDesktop& desktop, const LookupState& state, WindowHandle window, WindowHandle* found);

using EnumProc = int (*)(IDesktop&, const LookupState&, WindowHandle, WindowHandle*);

// Runs a callback over the top-level windows (inside == 0) or over every
// descendant of `inside`; the first match, or 0.
WindowHandle FindWindowWith(IDesktop& desktop, const LookupState& state, EnumProc proc, WindowHandle inside);

}  // namespace vz::automation
