// The time-zone record on systems with the tz database: the zone in force
// (TZ, else /etc/localtime) is read from its zoneinfo file, whose footer is
// the POSIX rule of the zone's current transitions; a TZ that names no file
// is taken as such a rule itself.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/TimeZone.h"
#include "platform/TimeZoneRule.h"

namespace vz::platform {

namespace {

// Zoneinfo files are a few kilobytes; anything larger is not one.
constexpr long kMaxZoneFileSize = 1 << 20;

bool ReadSmallFile(const std::string& path, std::vector<uint8_t>& data) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  data.clear();
  uint8_t buffer[4096];
  size_t n = 0;
  bool ok = true;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    if (data.size() + n > static_cast<size_t>(kMaxZoneFileSize)) {
      ok = false;
      break;
    }
    data.insert(data.end(), buffer, buffer + n);
  }
  if (std::ferror(f)) ok = false;
  std::fclose(f);
  return ok;
}

std::optional<TzRule> RuleFromZoneFile(const std::string& path) {
  std::vector<uint8_t> data;
  if (!ReadSmallFile(path, data)) return std::nullopt;
  const std::optional<std::string> footer = ExtractTzifFooter(data);
  if (!footer) return std::nullopt;
  return ParseTzRule(*footer);
}

// A zone name stays inside the zoneinfo folder.
bool IsSafeZoneName(const std::string& name) {
  if (name.empty() || name.front() == '/') return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

std::optional<TzRule> RuleInForce() {
  const char* tz = std::getenv("TZ");
  if (!tz) return RuleFromZoneFile("/etc/localtime");
  std::string name(tz);
  if (name.empty()) return ParseTzRule("UTC0");
  if (name.front() == ':') name.erase(0, 1);
  if (!name.empty() && name.front() == '/') return RuleFromZoneFile(name);
  if (IsSafeZoneName(name)) {
    const char* dir = std::getenv("TZDIR");
    const std::string base = (dir && *dir) ? dir : "/usr/share/zoneinfo";
    if (auto rule = RuleFromZoneFile(base + "/" + name)) return rule;
  }
  return ParseTzRule(name);
}

}  // namespace

TimeZoneQuery QueryTimeZone() {
  // A zone that cannot be read is UTC, as the C library takes it.
  const std::optional<TzRule> rule = RuleInForce();
  if (!rule) return TimeZoneQuery{};
  return TimeZoneQueryFromRule(*rule, static_cast<int64_t>(std::time(nullptr)));
}

int32_t RuntimeStandardOffsetSeconds() {
  // The standard offset of the same record, so that this build and the
  // Windows one agree in every zone.
  const TimeZoneQuery query = QueryTimeZone();
  return (query.record.Bias + query.record.StandardBias) * 60;
}

}  // namespace vz::platform
