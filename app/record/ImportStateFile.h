#pragma once
// The file of days GlobalServer has not received (ImportState.h) in an
// output folder: read as untrusted input, written as the archives are
// (a temporary, flushed, renamed over the old file).
#include <string>

#include "app/record/ImportState.h"

namespace vz::app {

struct ImportStateFile {
  ImportState state;
  std::string path;     // as messages name it
  bool exists = false;
  // Why a file that is there could not be read ("" when it was read or is
  // absent). Such a file is never replaced: what it holds is not known.
  std::string problem;
};

// The file of `outputDir` ("" the current folder).
ImportStateFile ReadImportStateFile(const std::string& outputDir);

// Writes `state` into `outputDir`, or removes the file when it holds
// nothing; also removes temporaries a killed write left. "" when done, else
// why not.
std::string WriteImportStateFile(const std::string& outputDir, const ImportState& state);

}  // namespace vz::app
