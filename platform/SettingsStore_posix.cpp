// The settings file: an INI-like text with one section per key path and one
// "name=value" line per string value. Values escape "\", line feed and
// carriage return with a backslash so that every value fits on its line.
// Writing replaces the whole file by renaming a complete new one over it.
#include "platform/SettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace vz::platform {

namespace {

constexpr std::uintmax_t kMaxSettingsFileSize = 16u << 20;

std::mutex& StoreMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& PathOverride() {
  static std::string path;
  return path;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

// "\Software\X\" -> "Software\X": the form stored in section headers.
std::string NormaliseKey(const std::string& keyPath) {
  size_t begin = 0;
  size_t end = keyPath.size();
  while (begin < end && keyPath[begin] == '\\') ++begin;
  while (end > begin && keyPath[end - 1] == '\\') --end;
  return keyPath.substr(begin, end - begin);
}

// True when `key` is `parent` or lies below it.
bool KeyWithin(const std::string& key, const std::string& parent) {
  if (key.size() < parent.size()) return false;
  if (!SameNoCase(key.substr(0, parent.size()), parent)) return false;
  return key.size() == parent.size() || key[parent.size()] == '\\';
}

struct Section {
  std::string key;
  StoredValues values;
};

void SetValue(StoredValues& values, const std::string& name, const std::string& value) {
  for (auto& stored : values) {
    if (!SameNoCase(stored.first, name)) continue;
    stored.second = value;
    return;
  }
  values.emplace_back(name, value);
}

std::string EscapeValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::string UnescapeValue(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

std::string LoginName() {
  if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name) return entry->pw_name;
  if (const char* user = std::getenv("USER")) return user;
  return {};
}

// Reads the whole file; false when it is missing, too large or unreadable.
bool LoadSections(std::vector<Section>& sections) {
  sections.clear();
  const std::string path = SettingsFilePath();
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxSettingsFileSize) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  // A key or value name given twice (a hand-edited file) reads as one, the
  // last value winning, as the registry holds each name once.
  std::string line;
  Section* current = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') continue;
      const std::string key = NormaliseKey(line.substr(1, line.size() - 2));
      current = nullptr;
      for (auto& section : sections)
        if (SameNoCase(section.key, key)) current = &section;
      if (!current) current = &sections.emplace_back(Section{key, {}});
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0 || !current) continue;
    SetValue(current->values, line.substr(0, eq), UnescapeValue(line.substr(eq + 1)));
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  const std::string temp = path + ".tmp";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool written = done == text.size() && fsync(fd) == 0;
  if (close(fd) != 0 || !written || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  return true;
}

bool SaveSections(const std::vector<Section>& sections) {
  std::ostringstream out;
  out << "; Vuzuz archive creator settings\n";
  for (const auto& section : sections) {
    out << '[' << section.key << "]\n";
    for (const auto& [name, value] : section.values) out << name << '=' << EscapeValue(value) << '\n';
  }
  return WriteWholeFile(SettingsFilePath(), out.str());
}

// A value name is stored on its line before "=": it must not hold one, nor
// a line break, nor start a section or comment.
bool ValidValueName(const std::string& name) {
  if (name.empty() || name[0] == '[' || name[0] == ';') return false;
  return name.find_first_of("=\r\n") == std::string::npos;
}

}  // namespace

void SetSettingsFilePath(const std::string& path) {
  std::lock_guard lock(StoreMutex());
  PathOverride() = path;
}

std::string SettingsFilePath() {
  if (!PathOverride().empty()) return PathOverride();
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && home[0]) {
    base = std::string(home) + "/.config";
  } else if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_dir) {
    base = std::string(entry->pw_dir) + "/.config";
  } else {
    base = ".";
  }
  return base + "/vuzuz-archive-creator/settings.ini";
}

std::string ReadRegString(RegRoot root, const std::string& keyPath, const std::string& valueName) {
  if (root == RegRoot::LocalMachine) return SameNoCase(valueName, "RegisteredOwner") ? LoginName() : std::string();
  StoredValues values;
  if (!ReadStoredValues(keyPath, values)) return {};
  for (const auto& [name, value] : values)
    if (SameNoCase(name, valueName)) return value;
  return {};
}

bool ReadStoredValues(const std::string& keyPath, StoredValues& values) {
  std::lock_guard lock(StoreMutex());
  values.clear();
  std::vector<Section> sections;
  if (!LoadSections(sections)) return false;
  const std::string key = NormaliseKey(keyPath);
  for (const auto& section : sections) {
    if (!SameNoCase(section.key, key)) continue;
    values = section.values;
    return true;
  }
  return false;
}

bool WriteStoredValues(const std::string& keyPath, const StoredValues& values) {
  std::lock_guard lock(StoreMutex());
  const std::string key = NormaliseKey(keyPath);
  if (key.empty() || key.find_first_of("[]\r\n") != std::string::npos) return false;
  for (const auto& entry : values)
    if (!ValidValueName(entry.first)) return false;
  std::vector<Section> sections;
  LoadSections(sections);  // a missing file starts empty
  Section* target = nullptr;
  for (auto& section : sections)
    if (SameNoCase(section.key, key)) target = &section;  // one section per key after loading
  if (!target) target = &sections.emplace_back(Section{key, {}});
  for (const auto& [name, value] : values) SetValue(target->values, name, value);
  return SaveSections(sections);
}

bool DeleteStoredKey(const std::string& keyPath) {
  std::lock_guard lock(StoreMutex());
  const std::string key = NormaliseKey(keyPath);
  std::vector<Section> sections;
  if (!LoadSections(sections)) return true;
  const auto before = sections.size();
  std::erase_if(sections, [&](const Section& s) { return KeyWithin(s.key, key); });
  return sections.size() == before || SaveSections(sections);
}

}  // namespace vz::platform
