#include "app/window/DirectoryChecks.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/run/PathText.h"
#include "platform/FileSystem.h"

namespace vz::app {

namespace fs = std::filesystem;

namespace {

fs::path FolderPath(const std::string& dir) {
  std::string path = dir;
  while (path.size() > 1 && path.back() == kDirSeparator) path.pop_back();
  return path.empty() ? fs::path(".") : platform::PathFromUtf8(path);
}

std::string Shown(const std::string& dir) { return dir.empty() ? std::string("the current folder") : dir; }

}  // namespace

std::string MsDirectoryProblem(const std::string& dir) {
  const fs::path folder = FolderPath(dir);
  std::error_code ec;
  const fs::file_status status = fs::status(folder, ec);
  if (!fs::exists(status)) return Shown(dir) + ": no such folder";
  if (!fs::is_directory(status)) return Shown(dir) + ": not a folder";
  // MASTER is enough: directories without EMASTER open too.
  bool master = false;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    const std::string name = LowerAscii(platform::Utf8FromPath(it->path().filename()));
    master = master || name == "master";
  }
  if (ec) return Shown(dir) + ": cannot list the folder: " + ec.message();
  if (!master) return Shown(dir) + ": no MASTER file";
  return {};
}

std::string CreateOutputProblem(const std::string& dir) {
  const fs::path folder = FolderPath(dir);
  std::error_code ec;
  const fs::file_status status = fs::status(folder, ec);
  if (fs::exists(status) && !fs::is_directory(status)) return Shown(dir) + ": not a folder";
  fs::create_directories(folder, ec);
  std::error_code statusError;
  if (fs::is_directory(folder, statusError)) return {};
  return Shown(dir) + ": " + (ec ? ec.message() : std::string("not created"));
}

std::string WriteOutputProblem(const std::string& dir) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000;
  const fs::path probe =
      FolderPath(dir) / (".vuzuz-write-test-" + std::to_string(stamp) + "-" + std::to_string(counter++) + ".tmp");
  // One byte written through: a full disk refuses it, an empty file might pass.
  errno = 0;
  std::ofstream out(probe, std::ios::binary | std::ios::trunc);
  if (out) {
    out.put('\0');
    out.flush();
  }
  const int writeError = errno;
  const bool written = static_cast<bool>(out);
  out.close();
  std::error_code ec;
  fs::remove(probe, ec);
  if (written) return {};
  return Shown(dir) + ": " + (writeError ? std::generic_category().message(writeError) : std::string("cannot write there"));
}

}  // namespace vz::app
