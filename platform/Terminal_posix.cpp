#include "platform/Terminal.h"

#include <unistd.h>

namespace vz::platform {

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace vz::platform
