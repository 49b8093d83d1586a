#include "app/record/RunLogPath.h"

#include "platform/AppendFile.h"

namespace vz::app {

namespace {

// The folder without its trailing separators ("/" itself becomes "").
std::string WithoutTrailing(std::string text, const char* separators) {
  while (!text.empty() && std::string(separators).find(text.back()) != std::string::npos) text.pop_back();
  return text;
}

}  // namespace

std::string WindowsRunLogPath(const std::string& localAppData) {
  if (localAppData.empty()) return {};
  return WithoutTrailing(localAppData, "\\/") + "\\" + kRunLogFolderWindows + "\\" + kRunLogName;
}

std::string PosixRunLogPath(const std::string& xdgStateHome, const std::string& home) {
  const std::string tail = std::string("/") + kRunLogFolderPosix + "/" + kRunLogName;
  if (!xdgStateHome.empty() && xdgStateHome[0] == '/') return WithoutTrailing(xdgStateHome, "/") + tail;
  if (!home.empty() && home[0] == '/') return WithoutTrailing(home, "/") + "/.local/state" + tail;
  return {};
}

std::string DefaultRunLogPath() {
#ifdef _WIN32
  return WindowsRunLogPath(platform::EnvironmentText("LOCALAPPDATA"));
#else
  return PosixRunLogPath(platform::EnvironmentText("XDG_STATE_HOME"), platform::EnvironmentText("HOME"));
#endif
}

std::string RotatedRunLogPath(const std::string& path) {
  const size_t nameStart = path.find_last_of("\\/") == std::string::npos ? 0 : path.find_last_of("\\/") + 1;
  const size_t dot = path.rfind('.');
  // A dot that starts the name (".log") or sits in a folder is no extension.
  if (dot == std::string::npos || dot <= nameStart) return path + ".1";
  return path.substr(0, dot) + ".1" + path.substr(dot);
}

}  // namespace vz::app
