#pragma once
// Whether the program's error stream is an interactive terminal, so progress
// can be one line updated in place there and plain lines elsewhere.

namespace vz::platform {

bool StderrIsTerminal();

}  // namespace vz::platform
