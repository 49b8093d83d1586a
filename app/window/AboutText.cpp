#include "app/window/AboutText.h"

namespace vz::app {

std::string AboutText(const std::string& version, const std::string& runLogPath) {
  std::string text = "Vuzuz archive creator\nVersion " + version + "\n\n";
  if (runLogPath.empty()) return text + "Runs keep no log: /l: was given without a file.";
  return text + "Run log:\n" + runLogPath;
}

}  // namespace vz::app
