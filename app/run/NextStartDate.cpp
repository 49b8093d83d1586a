// The From date that follows the archives already written: the day of the
// newest day archive in the newest month folder (YYYY_MM) that has one.
#include "app/run/NextStartDate.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/run/Conversion.h"
#include "vuzuz/Dates.h"
#include "app/run/TextFields.h"
#include "platform/FileSystem.h"

namespace vz::app {

namespace fs = std::filesystem;

namespace {

constexpr int kUpperYear = 2199;

struct YearMonth {
  int year = 0;
  int month = 0;
  int Key() const { return year * 12 + (month - 1); }
};

// Names of the entries of a folder; empty when it cannot be listed.
std::vector<std::string> ListNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) names.push_back(platform::Utf8FromPath(it->path().filename()));
  return names;
}

bool HasOmzExtension(const std::string& name) {
  if (name.size() < 4) return false;
  const std::string ext = name.substr(name.size() - 4);
  return ext[0] == '.' && (ext[1] | 0x20) == 'o' && (ext[2] | 0x20) == 'm' && (ext[3] | 0x20) == 'z';
}

// Characters first..first+1 (1-based) of a name as an integer.
bool NamePart(const std::string& name, size_t first, int& value) {
  if (name.size() < first) return false;
  return TryParseNameInt(name.substr(first - 1, 2), value);
}

std::string TwoDigits(int n) {
  return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

}  // namespace

bool TryParseNameInt(const std::string& text, int& value) {
  std::string_view view = text;
  if (!view.empty() && view.front() == '+') view.remove_prefix(1);
  if (view.empty()) return false;
  const auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), value);
  return ec == std::errc() && end == view.data() + view.size();
}

double ThreeMonthsBefore(double today) {
  const DateTimeParts date = DecodeDateTime(std::floor(today));
  int year = date.year, month = date.month - 3;
  if (month < 1) {
    month += 12;
    year -= 1;
  }
  double result = 0;
  for (int day = date.day; day >= 1; --day)
    if (vz::TryEncodeDate(year, month, day, result)) return result;
  return 0;
}

double FindNextStartDate(const std::string& outputDir, double today) {
  const fs::path root = outputDir.empty() ? fs::path(".") : platform::PathFromUtf8(outputDir);
  YearMonth upper{kUpperYear, 1};
  const std::vector<std::string> rootNames = ListNames(root);
  while (true) {
    YearMonth best{1900, 1};
    for (const std::string& name : rootNames) {
      if (name.find('.') != std::string::npos) continue;  // only names without an extension
      if (CountTextFields(name, '_') != 2) continue;
      YearMonth candidate;
      double first = 0;
      if (!TryParseNameInt(ExtractTextField(name, 1, '_'), candidate.year) ||
          !TryParseNameInt(ExtractTextField(name, 2, '_'), candidate.month) ||
          !vz::TryEncodeDate(candidate.year, candidate.month, 1, first))
        continue;
      if (candidate.Key() > best.Key() && candidate.Key() < upper.Key()) best = candidate;
    }
    if (best.year == 1900) return ThreeMonthsBefore(today);

    const std::string folder = TwoDigits(best.year / 100) + TwoDigits(best.year % 100) + "_" + TwoDigits(best.month);
    int bestDay = 0;
    for (const std::string& name : ListNames(root / folder)) {
      if (!HasOmzExtension(name)) continue;
      int yy = 0, mm = 0, dd = 0;
      if (!NamePart(name, 2, yy) || !NamePart(name, 4, mm) || !NamePart(name, 6, dd)) continue;
      // A day the month does not have (i010431.omz) names no date: skipped.
      double date = 0;
      if (!vz::TryEncodeDate(best.year, best.month, dd, date)) continue;
      if (mm == best.month && yy == best.year % 100 && dd > bestDay) bestDay = dd;
    }
    if (bestDay != 0) {
      double date = 0;
      vz::TryEncodeDate(best.year, best.month, bestDay, date);
      return date;
    }
    upper = best;
  }
}

}  // namespace vz::app
