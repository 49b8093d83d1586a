#pragma once
// A fresh, empty directory per test, removed afterwards; and copies of the
// shared real MetaStock directories, which are read-only inputs.
#include <filesystem>
#include <string>

namespace vz::test {

class TScratchDir {
public:
  TScratchDir();
  ~TScratchDir();
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Path of an entry inside the scratch directory, as a generic string.
  std::string File(const std::string& name) const;

private:
  std::filesystem::path path_;
};

// Folder of the shared corpus of real MetaStock directories.
std::filesystem::path CorpusMetastockDir();
// True when the shared corpus is present on this machine.
bool HaveCorpus();
// Copies one corpus directory (for example "oko_intra") into dest, making
// every copied file writable. Returns the copy's path.
std::filesystem::path CopyCorpusDir(const std::string& name, const std::filesystem::path& dest);

// Whole-file helpers for fixtures.
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace vz::test
