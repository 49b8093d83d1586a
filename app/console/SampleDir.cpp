#include "app/console/SampleDir.h"

#include "platform/AppendFile.h"

namespace vz::app {

namespace {

constexpr char kDataFolder[] = "vuzuz-archive-creator";

bool Installed(const std::string& programDir) {
  for (const char* system : {"/usr", "/opt", "/bin"}) {
    const std::string prefix = system;
    if (programDir == prefix || programDir.rfind(prefix + "/", 0) == 0) return true;
  }
  return false;
}

std::string WithoutTrailingSlashes(std::string text) {
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace

std::string PosixSampleDir(const std::string& programDir, const std::string& xdgDataHome, const std::string& home) {
  const std::string beside = WithoutTrailingSlashes(programDir) + "/sample";
  if (!Installed(programDir)) return beside;
  // A relative $XDG_DATA_HOME is to be ignored, as the run log's folder does.
  if (!xdgDataHome.empty() && xdgDataHome[0] == '/')
    return WithoutTrailingSlashes(xdgDataHome) + "/" + kDataFolder + "/sample";
  if (!home.empty() && home[0] == '/')
    return WithoutTrailingSlashes(home) + "/.local/share/" + kDataFolder + "/sample";
  return beside;  // no data folder to use: writing next to the program fails with its reason
}

std::string DefaultSampleDir(const std::string& programDir) {
#ifdef _WIN32
  return programDir + "\\sample";
#else
  return PosixSampleDir(programDir, platform::EnvironmentText("XDG_DATA_HOME"), platform::EnvironmentText("HOME"));
#endif
}

}  // namespace vz::app
