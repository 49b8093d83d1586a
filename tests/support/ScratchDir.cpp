#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace vz::test {

namespace {
std::string SanitizedTestName() {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "vz";
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_') c = '_';
  return name;
}
}  // namespace

TScratchDir::TScratchDir() {
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = fs::temp_directory_path() /
          ("vzt-" + SanitizedTestName() + "-" + std::to_string(now % 1000000007) + "-" +
           std::to_string(counter++));
  fs::create_directories(path_);
}

TScratchDir::~TScratchDir() {
  std::error_code ec;
  // Files may have been made read-only by the code under test.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

std::string TScratchDir::File(const std::string& name) const { return (path_ / name).generic_string(); }

fs::path CorpusMetastockDir() { return fs::path(VZ_CORPUS_DIR) / "metastock"; }

bool HaveCorpus() { return fs::is_directory(CorpusMetastockDir()); }

fs::path CopyCorpusDir(const std::string& name, const fs::path& dest) {
  const fs::path target = dest / name;
  fs::create_directories(target);
  fs::copy(CorpusMetastockDir() / name, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  for (auto& entry : fs::recursive_directory_iterator(target))
    fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
  return target;
}

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vz::test
