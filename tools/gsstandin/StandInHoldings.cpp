#include "StandInHoldings.h"

#include <chrono>
#include <cstdio>

#include "StandInRecord.h"

namespace vz::standin {

namespace {

using namespace std::chrono;

bool Digits(const std::string& text, size_t pos, size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

std::string DayLine(const year_month_day& day) {
  char text[24];
  std::snprintf(text, sizeof text, "day %04d-%02u-%02u", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
  return text;
}

std::string MonthLine(int year, unsigned month) {
  char text[24];
  std::snprintf(text, sizeof text, "month %04d-%02u", year, month);
  return text;
}

// What an archive path holds: "day ..." for iYYMMDD, "month ..." for dYYMM
// (typed with or without ".omz"); empty for any other name.
std::string HoldingOf(const std::string& path) {
  std::string name = path.substr(path.find_last_of("\\/") + 1);
  if (name.size() > 4 && (name.substr(name.size() - 4) == ".omz" || name.substr(name.size() - 4) == ".OMZ"))
    name.resize(name.size() - 4);
  int yy = 0, mm = 0, dd = 0;
  if (name.size() == 7 && (name[0] == 'i' || name[0] == 'I') && Digits(name, 1, 2, yy) && Digits(name, 3, 2, mm) &&
      Digits(name, 5, 2, dd)) {
    const year_month_day date{year(2000 + yy), month(static_cast<unsigned>(mm)), day(static_cast<unsigned>(dd))};
    return date.ok() ? DayLine(date) : std::string();
  }
  if (name.size() == 5 && (name[0] == 'd' || name[0] == 'D') && Digits(name, 1, 2, yy) && Digits(name, 3, 2, mm) &&
      mm >= 1 && mm <= 12)
    return MonthLine(2000 + yy, static_cast<unsigned>(mm));
  return {};
}

// The day a typed range end names: its date, or the next when its time is
// past noon (midnight on a clock east of GlobalServer's).
bool DayOfEnd(const std::string& date, const std::string& time, sys_days& named) {
  int mm = 0, dd = 0, yyyy = 0, hh = 0;
  if (!Digits(date, 0, 2, mm) || !Digits(date, 3, 2, dd) || !Digits(date, 6, 4, yyyy) || !Digits(time, 0, 2, hh))
    return false;
  const year_month_day ymd{year(yyyy), month(static_cast<unsigned>(mm)), std::chrono::day(static_cast<unsigned>(dd))};
  if (!ymd.ok()) return false;
  named = sys_days(ymd) + days(hh >= 12 ? 1 : 0);
  return true;
}

}  // namespace

void THoldings::Load(const std::string& path) {
  path_ = path;
  held_.clear();
  if (path.empty()) return;
  std::FILE* file = OpenUtf8File(path, L"rb");
  if (!file) return;
  char line[128];
  while (std::fgets(line, sizeof line, file)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (!text.empty()) held_.insert(text);
  }
  std::fclose(file);
}

bool THoldings::Save() const {
  if (path_.empty()) return true;
  // Whole, then in place: a test never reads half a file.
  const std::string temporary = path_ + ".tmp";
  std::FILE* file = OpenUtf8File(temporary, L"wb");
  if (!file) return false;
  for (const std::string& line : held_) std::fprintf(file, "%s\n", line.c_str());
  const bool written = std::fflush(file) == 0;
  std::fclose(file);
  return written && ReplaceFileUtf8(temporary, path_);
}

void THoldings::Accepted(const std::string& path) { pending_.push_back(path); }

void THoldings::ImportFinished() {
  for (const std::string& path : pending_)
    if (const std::string holding = HoldingOf(path); !holding.empty()) held_.insert(holding);
  pending_.clear();
  Save();
}

void THoldings::Deleted(const std::string& startDate, const std::string& endDate, const std::string& startTime,
                        const std::string& endTime) {
  sys_days first, last;
  if (!DayOfEnd(startDate, startTime, first) || !DayOfEnd(endDate, endTime, last)) return;
  for (sys_days day = first; day <= last; day += days(1)) {
    const year_month_day ymd(day);
    held_.erase(DayLine(ymd));
    held_.erase(MonthLine(static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month())));
  }
  Save();
}

}  // namespace vz::standin
