#include "platform/Process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>

extern char** environ;

namespace vz::platform {

std::string SelfExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

struct TProcess::Impl {
  pid_t pid = -1;
};

TProcess::TProcess() : impl_(std::make_unique<Impl>()) {}
TProcess::~TProcess() { Wait(); }

bool TProcess::Start(const std::vector<std::string>& argv) {
  if (argv.empty() || impl_->pid > 0) return false;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  impl_->pid = pid;
  return true;
}

int TProcess::Wait() {
  if (impl_->pid <= 0) return -1;
  int status = 0;
  while (waitpid(impl_->pid, &status, 0) < 0) {
  }
  impl_->pid = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

int RunProcess(const std::vector<std::string>& argv) {
  TProcess p;
  if (!p.Start(argv)) return -1;
  return p.Wait();
}

}  // namespace vz::platform
