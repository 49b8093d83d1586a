#include "support/ChildProcess.h"

#include <map>

#include "platform/Process.h"

namespace vz::test {

namespace {
std::map<std::string, ChildMain>& Children() {
  static std::map<std::string, ChildMain> children;
  return children;
}
const std::string kChildSwitch = "--child=";
}  // namespace

bool RegisterChild(const std::string& name, ChildMain body) {
  Children()[name] = std::move(body);
  return true;
}

std::vector<std::string> ChildCommand(const std::string& name, const std::vector<std::string>& args) {
  std::vector<std::string> argv{platform::SelfExecutablePath(), kChildSwitch + name};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

int RunChild(const std::string& name, const std::vector<std::string>& args) {
  return platform::RunProcess(ChildCommand(name, args));
}

bool DispatchChild(int argc, char** argv, int& exitCode) {
  if (argc < 2) return false;
  const std::string first = argv[1];
  if (first.rfind(kChildSwitch, 0) != 0) return false;
  const auto it = Children().find(first.substr(kChildSwitch.size()));
  if (it == Children().end()) {
    exitCode = 127;
    return true;
  }
  exitCode = it->second(std::vector<std::string>(argv + 2, argv + argc));
  return true;
}

}  // namespace vz::test
