#pragma once
// Shared by the --verify tests: converting a MetaStock directory with the
// console program (real stages, no stored settings), running --verify, and
// snapshots of a folder's bytes.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/console/ConsoleProgram.h"
#include "app/verify/VerifyCommand.h"

namespace vz::app::verifytest {

namespace fs = std::filesystem;

// Converts msDir into out over the range; the exit status, the program's
// messages in `log`.
inline int Convert(const fs::path& msDir, const fs::path& out, const std::string& from, const std::string& to,
                   std::string& log) {
  std::ostringstream text;
  ConsoleProgramOptions options;
  options.err = &text;
  options.out = &text;
  options.services.readStored = [](platform::StoredValues&) { return false; };
  options.services.writeStored = [](const platform::StoredValues&) { return true; };
  options.services.defaultMsDir = [] { return std::string(); };
  const int status = RunConsoleProgram(
      {"/m:" + msDir.string(), "/o:" + out.string(), "/f:" + from, "/t:" + to, "/i:n"}, options);
  log = text.str();
  return status;
}

struct VerifyOutput {
  int status = -1;
  std::string out;
  std::string err;
};

inline VerifyOutput Verify(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  VerifyOutput result;
  result.status = RunVerifyCommand(args, out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}

// The line --verify printed for one archive (or "" when there is none).
inline std::string LineOf(const std::string& report, const std::string& relative) {
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(relative + ": ", 0) == 0) return line;
  return {};
}

// Every entry below a folder with its bytes, permissions and time of last
// change: equal snapshots mean nothing was created, changed or removed.
inline std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const std::string relative = fs::relative(entry.path(), dir).generic_string();
    std::string bytes = "(folder)";
    if (!entry.is_directory()) {
      std::ifstream in(entry.path(), std::ios::binary);
      bytes = std::string(std::istreambuf_iterator<char>(in), {});
    }
    files[relative] = bytes + "|" + std::to_string(static_cast<int>(entry.status().permissions())) + "|" +
                      std::to_string(entry.last_write_time().time_since_epoch().count());
  }
  return files;
}

}  // namespace vz::app::verifytest
