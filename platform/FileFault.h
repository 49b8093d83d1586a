#pragma once
// Fault injection for the crash and full-disk drills (tests/drills): a
// function that test code may install and that every write, flush and
// rename of the program's own files asks first, on the POSIX file layer
// (TSharedFile, FlushFileToDisk, RenameDurably, MoveFileOver) and in the
// archive writer's data writes (vuzuz/OmzFile.cpp). The function returns an
// errno value to fail the operation with (ENOSPC: a full disk) or 0 to let
// it run; it may also end the process there (SIGKILL: a crash).
//
// Nothing is installed unless a test installs it: the setter lives in its
// own file (FileFaultHook.cpp), which only the test executable links, and
// the shipped programs read no setting, variable or switch that could
// install one. Without a hook an operation costs one atomic load more.
#include <string>

namespace vz::platform {

enum class FileOperation {
  Create,  // a file created or truncated to nothing by an open
  Write,   // bytes written, or a file made longer
  Flush,   // data handed to the disk (sync)
  Rename,  // a file moved over its final name
};

using FileFaultHook = int (*)(FileOperation operation, const std::string& path);

// The error to fail this operation with: 0 (go on) when no hook is
// installed or the hook lets it run.
int InjectedFileFault(FileOperation operation, const std::string& path);

// Installs (or, with nullptr, removes) the hook; process-wide. Test code
// only: see above.
void SetFileFaultHookForTesting(FileFaultHook hook);

}  // namespace vz::platform
