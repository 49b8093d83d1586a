#include "platform/AppendFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace vz::platform {

namespace {

std::string Reason(int error) { return std::generic_category().message(error); }

}  // namespace

std::string AppendToFile(const std::string& path, const std::string& bytes) {
  // O_APPEND moves to the end and writes in one step, for every writer.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return Reason(errno);
  std::string problem;
  ssize_t written = 0;
  do {
    written = ::write(fd, bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0) problem = Reason(errno);
  else if (static_cast<size_t>(written) != bytes.size()) problem = Reason(ENOSPC);  // a short write: the disk filled
  if (::close(fd) != 0 && problem.empty()) problem = Reason(errno);
  return problem;
}

std::string EnvironmentText(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? std::string(value) : std::string();
}

long CurrentProcessId() { return static_cast<long>(::getpid()); }

}  // namespace vz::platform
