#include "app/run/ImportLists.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/run/PathText.h"
#include "vuzuz/Dates.h"
#include "platform/FileSystem.h"

namespace vz::app {

namespace {

namespace fs = std::filesystem;

// Month folders nest one deep; the bound only guards against loops.
constexpr int kMaxScanDepth = 32;

struct DirEntry {
  std::string name;
  bool isDirectory = false;
};

// The entries of a directory in name order; symbolic links are left out so
// that a link back up the tree cannot make the scan endless.
std::vector<DirEntry> ListDirectory(const std::string& directory) {
  std::vector<DirEntry> entries;
  std::error_code ec;
  fs::directory_iterator it(directory.empty() ? fs::path(".") : platform::PathFromUtf8(directory), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code typeError;
    if (it->is_symlink(typeError)) continue;
    entries.push_back({platform::Utf8FromPath(it->path().filename()), it->is_directory(typeError)});
  }
  std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return entries;
}

bool HasOmzExtension(const std::string& name) {
  return name.size() > 4 && LowerAscii(name.substr(name.size() - 4)) == ".omz";
}

bool TwoDigits(const std::string& name, size_t pos, int& value) {
  if (pos + 2 > name.size()) return false;
  const char a = name[pos];
  const char b = name[pos + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return false;
  value = (a - '0') * 10 + (b - '0');
  return true;
}

// The date of an archive name: characters 2-3 the year after 2000, 4-5 the
// month, 6-7 the day (counting from 1).
bool ArchiveDate(const std::string& name, double& date) {
  int yy = 0;
  int mm = 0;
  int dd = 0;
  if (!TwoDigits(name, 1, yy) || !TwoDigits(name, 3, mm) || !TwoDigits(name, 5, dd)) return false;
  return TryEncodeDate(2000 + yy, mm, dd, date);
}

void ScanFolder(const std::string& directory, std::vector<std::string>& list, double to, double from, int depth) {
  const std::vector<DirEntry> entries = ListDirectory(directory);
  if (depth < kMaxScanDepth) {
    for (const auto& entry : entries) {
      if (!entry.isDirectory || entry.name.find('.') != std::string::npos) continue;
      if (entry.name.find('_') == std::string::npos) continue;
      ScanFolder(directory + entry.name + kDirSeparator, list, to, from, depth + 1);
    }
  }
  for (const auto& entry : entries) {
    if (entry.isDirectory || !HasOmzExtension(entry.name)) continue;
    double date = 0;
    if (ArchiveDate(entry.name, date) && from <= date && date <= to) list.push_back(directory + entry.name);
  }
}

std::string TwoDigitText(int value) {
  return std::string{static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

}  // namespace

void ScanArchives(const std::string& directory, std::vector<std::string>& list, double to, double from) {
  ScanFolder(directory, list, to, from, 0);
}

void BuildImportList(const std::string& directory, std::vector<std::string>& list, double to, double from) {
  list.clear();
  ScanArchives(directory, list, to, from);
}

std::vector<std::string> BuildDailyImportList(const std::string& directory, double from, double to) {
  std::vector<std::string> list;
  const DateTimeParts first = DecodeDateTime(std::trunc(from));
  const DateTimeParts last = DecodeDateTime(std::trunc(to));
  if (first.year <= 0 || last.year <= 0) return list;
  int year = first.year;
  int month = first.month;
  while (year < last.year || (year == last.year && month <= last.month)) {
    const std::string base = directory + "d" + TwoDigitText(year % 100) + TwoDigitText(month);
    std::error_code ec;
    const fs::path archive = platform::PathFromUtf8(base + ".omz");
    if (fs::exists(archive, ec) && !fs::is_directory(archive, ec)) list.push_back(base);
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  return list;
}

std::string ArchiveFileOf(const std::string& entry) { return HasOmzExtension(entry) ? entry : entry + ".omz"; }

std::string UnreadableArchive(const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    const std::string file = ArchiveFileOf(entry);
    const fs::path path = platform::PathFromUtf8(file);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return file + " is missing";
    // Read a little: a file that opens but cannot be read (locked, no
    // permission) would fail in GlobalServer's file dialog.
    std::ifstream in(path, std::ios::binary);
    char head[4];
    if (!in || (!in.read(head, sizeof head) && !in.eof())) return file + " cannot be read";
  }
  return {};
}

}  // namespace vz::app
