#pragma once
// Starting other programs: used by tests that need a second program working
// on the same files, and by tools. Arguments are passed without a shell.
#include <memory>
#include <string>
#include <vector>

namespace vz::platform {

// Full path of the running executable.
std::string SelfExecutablePath();

class TProcess {
public:
  TProcess();
  ~TProcess();  // waits for the child if it still runs
  TProcess(const TProcess&) = delete;
  TProcess& operator=(const TProcess&) = delete;

  // Starts argv[0] with the given arguments; false when it cannot be started.
  bool Start(const std::vector<std::string>& argv);
  // Waits for the end; returns the exit status, or -1 when nothing runs.
  int Wait();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Starts a program and waits for it; -1 when it cannot be started.
int RunProcess(const std::vector<std::string>& argv);

}  // namespace vz::platform
