#include "app/run/PathText.h"

namespace vz::app {

std::string WithDirSeparator(const std::string& dir) {
  if (dir.empty() || dir.back() == kDirSeparator) return dir;
  return dir + kDirSeparator;
}

std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace vz::app
