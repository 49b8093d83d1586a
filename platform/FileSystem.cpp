#include "platform/FileSystem.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace vz::platform {

namespace {
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

fs::path PathFromUtf8(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string Utf8FromPath(const fs::path& path) {
  try {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
  } catch (const std::exception&) {
    return {};  // a name that is not valid UTF-16
  }
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

bool MatchesWildcard(const std::string& pattern, const std::string& name) {
  // Iterative match with one backtrack point for the last '*'.
  size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> ListFileNames(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = fs::directory_iterator(PathFromUtf8(directory), ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError)) names.push_back(Utf8FromPath(it->path().filename()));
  }
  return names;
}

std::string FindFileNoCase(const std::string& directory, const std::string& name) {
  std::error_code ec;
  if (fs::exists(PathFromUtf8(directory) / PathFromUtf8(name), ec)) return name;
  for (const std::string& entry : ListFileNames(directory))
    if (EqualsNoCase(entry, name)) return entry;
  return {};
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(PathFromUtf8(path), ec);
}

bool DirectoryExists(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(PathFromUtf8(path), ec);
}

}  // namespace vz::platform
