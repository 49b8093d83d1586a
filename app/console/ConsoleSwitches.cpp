#include "app/console/ConsoleSwitches.h"

#include <filesystem>

#include "app/run/PathText.h"
#include "app/window/CommandLine.h"

namespace vz::app {

namespace fs = std::filesystem;

namespace {

// The switch letter in lower case, or 0 for an argument that is no switch.
char SwitchLetter(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return 0;
  return LowerAscii(arg.substr(1, 1))[0];
}

bool HasPathValue(const std::string& arg) {
  const char letter = SwitchLetter(arg);
  return (letter == 'm' || letter == 'o') && arg.size() > 2 && arg[2] == ':';
}

}  // namespace

std::string RefusedSwitch(const std::vector<std::string>& args) {
  for (const std::string& arg : args)
    if (const std::string problem = SwitchProblem(arg); !problem.empty()) return arg + ": " + problem;
  return {};
}

std::vector<std::string> WithAbsolutePaths(const std::vector<std::string>& args) {
  std::vector<std::string> out;
  for (const std::string& arg : args) {
    if (!HasPathValue(arg)) {
      out.push_back(arg);
      continue;
    }
    // The quotes the switch rules strip, stripped here first.
    std::string value = arg.substr(3);
    size_t begin = 0;
    size_t end = value.size();
    while (begin < end && value[begin] == '"') ++begin;
    while (end > begin && value[end - 1] == '"') --end;
    value = value.substr(begin, end - begin);
    std::error_code ec;
    const fs::path path(value);
    if (value.empty() || !path.is_relative()) {
      out.push_back(arg);
      continue;
    }
    const fs::path absolute = fs::absolute(path, ec);
    out.push_back(arg.substr(0, 3) + (ec ? value : absolute.lexically_normal().string()));
  }
  return out;
}

bool FromReplacedByOutput(const std::vector<std::string>& args, const WindowSettings& settings) {
  WindowSettings trial = settings;
  bool fromGiven = false;
  bool replaced = false;
  for (const std::string& arg : args) {
    bool outputChanged = false;
    CommandLineHooks hooks;
    hooks.outputChanged = [&] { outputChanged = true; };
    ParseCommandLine({arg}, trial, hooks);
    if (outputChanged && fromGiven) replaced = true;
    if (SwitchLetter(arg) == 'f' && SwitchProblem(arg).empty()) {
      fromGiven = true;
      replaced = false;
    }
  }
  return replaced;
}

std::vector<std::string> WithoutStartSwitch(const std::vector<std::string>& args) {
  std::vector<std::string> out;
  for (const std::string& arg : args)
    if (!(arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-') && (arg[1] == 'g' || arg[1] == 'G')))
      out.push_back(arg);
  return out;
}

}  // namespace vz::app
