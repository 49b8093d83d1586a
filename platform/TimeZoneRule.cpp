#include "platform/TimeZoneRule.h"

#include <chrono>

namespace vz::platform {

namespace {

constexpr int32_t kSecondsPerHour = 3600;
constexpr int32_t kSecondsPerDay = 86400;
constexpr int kMaxOffsetHours = 24;     // UTC offsets
constexpr int kMaxRuleTimeHours = 167;  // times of day in rules may pass 24h

class TRuleScanner {
public:
  explicit TRuleScanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  bool Take(char c) {
    if (Peek() != c || AtEnd()) return false;
    ++pos_;
    return true;
  }

  // Zone abbreviation: three or more letters, or <...> of letters, digits,
  // '+' and '-'.
  bool TakeName(std::string& name) {
    const size_t start = pos_;
    if (Take('<')) {
      while (!AtEnd() && IsQuotedNameChar(Peek())) ++pos_;
      const size_t end = pos_;
      if (end == start + 1 || !Take('>')) return false;
      name.assign(text_.substr(start + 1, end - start - 1));
      return true;
    }
    while (!AtEnd() && IsLetter(Peek())) ++pos_;
    if (pos_ - start < 3) return false;
    name.assign(text_.substr(start, pos_ - start));
    return true;
  }

  // Unsigned decimal of at most `maxDigits` digits.
  bool TakeNumber(int& value, int maxDigits) {
    int v = 0;
    int n = 0;
    while (!AtEnd() && IsDigit(Peek())) {
      if (n == maxDigits) return false;
      v = v * 10 + (Peek() - '0');
      ++n;
      ++pos_;
    }
    if (n == 0) return false;
    value = v;
    return true;
  }

  // [+|-]hh[:mm[:ss]] in seconds, hours up to maxHours.
  bool TakeDuration(int32_t& seconds, int maxHours) {
    bool negative = false;
    if (Peek() == '+' || Peek() == '-') {
      negative = Peek() == '-';
      ++pos_;
    }
    int h = 0, m = 0, s = 0;
    if (!TakeNumber(h, 3) || h > maxHours) return false;
    if (Take(':')) {
      if (!TakeNumber(m, 2) || m > 59) return false;
      if (Take(':')) {
        if (!TakeNumber(s, 2) || s > 59) return false;
      }
    }
    const int32_t v = h * kSecondsPerHour + m * 60 + s;
    seconds = negative ? -v : v;
    return true;
  }

  bool TakeTransition(TzTransitionRule& rule) {
    if (Take('M')) {
      rule.kind = TzTransitionRule::Kind::MonthWeekDay;
      if (!TakeNumber(rule.month, 2) || rule.month < 1 || rule.month > 12) return false;
      if (!Take('.') || !TakeNumber(rule.week, 1) || rule.week < 1 || rule.week > 5) return false;
      if (!Take('.') || !TakeNumber(rule.weekday, 1) || rule.weekday > 6) return false;
    } else if (Take('J')) {
      rule.kind = TzTransitionRule::Kind::JulianNoLeap;
      if (!TakeNumber(rule.day, 3) || rule.day < 1 || rule.day > 365) return false;
    } else {
      rule.kind = TzTransitionRule::Kind::JulianZero;
      if (!TakeNumber(rule.day, 3) || rule.day > 365) return false;
    }
    rule.timeSeconds = 2 * kSecondsPerHour;
    if (Take('/')) return TakeDuration(rule.timeSeconds, kMaxRuleTimeHours);
    return true;
  }

private:
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  static bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
  static bool IsQuotedNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '+' || c == '-'; }

  std::string_view text_;
  size_t pos_ = 0;
};

uint64_t ReadBigEndian32(std::span<const uint8_t> data, size_t pos) {
  return (uint64_t{data[pos]} << 24) | (uint64_t{data[pos + 1]} << 16) | (uint64_t{data[pos + 2]} << 8) |
         uint64_t{data[pos + 3]};
}

// TZif header layout: magic, version, 15 reserved bytes, six 32-bit counts.
constexpr size_t kTzifHeaderSize = 44;
constexpr size_t kTzifVersionOffset = 4;
constexpr size_t kTzifCountsOffset = 20;

// Size of the data block after a header, or false when the header is bad.
// timeSize is 4 in the version 1 block and 8 in the later one.
bool TzifBlockSize(std::span<const uint8_t> data, size_t headerPos, uint64_t timeSize, uint64_t& size) {
  if (data.size() < kTzifHeaderSize || headerPos > data.size() - kTzifHeaderSize) return false;
  if (data[headerPos] != 'T' || data[headerPos + 1] != 'Z' || data[headerPos + 2] != 'i' ||
      data[headerPos + 3] != 'f') {
    return false;
  }
  const size_t c = headerPos + kTzifCountsOffset;
  const uint64_t isutcnt = ReadBigEndian32(data, c);
  const uint64_t isstdcnt = ReadBigEndian32(data, c + 4);
  const uint64_t leapcnt = ReadBigEndian32(data, c + 8);
  const uint64_t timecnt = ReadBigEndian32(data, c + 12);
  const uint64_t typecnt = ReadBigEndian32(data, c + 16);
  const uint64_t charcnt = ReadBigEndian32(data, c + 20);
  // Each count is below 2^32, so the sum cannot overflow 64 bits.
  size = timecnt * timeSize + timecnt + typecnt * 6 + charcnt + leapcnt * (timeSize + 4) + isstdcnt +
         isutcnt;
  return true;
}

struct CivilDate {
  int year;
  unsigned month;
  unsigned day;
};

CivilDate CivilFromDays(int64_t daysSinceUnixEpoch) {
  const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{daysSinceUnixEpoch}}};
  return {static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day())};
}

int64_t DaysFromCivil(int year, unsigned month, unsigned day) {
  const std::chrono::year_month_day ymd{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
  return std::chrono::sys_days{ymd}.time_since_epoch().count();
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Day (days since 1970-01-01) on which a transition falls in `year`.
int64_t TransitionDay(const TzTransitionRule& rule, int year) {
  const int64_t jan1 = DaysFromCivil(year, 1, 1);
  switch (rule.kind) {
    case TzTransitionRule::Kind::JulianNoLeap: {
      // Day 1..365, February 29 never counted.
      const bool leap = std::chrono::year{year}.is_leap();
      const int64_t offset = rule.day - 1 + ((leap && rule.day >= 60) ? 1 : 0);
      return jan1 + offset;
    }
    case TzTransitionRule::Kind::JulianZero:
      return jan1 + rule.day;
    case TzTransitionRule::Kind::MonthWeekDay:
    default: {
      const int64_t first = DaysFromCivil(year, static_cast<unsigned>(rule.month), 1);
      const int firstWeekday = static_cast<int>(((first % 7) + 7 + 4) % 7);  // 1970-01-01: Thursday
      int64_t day = first + (rule.weekday - firstWeekday + 7) % 7 + (rule.week - 1) * 7;
      const int64_t next = DaysFromCivil(year + (rule.month == 12 ? 1 : 0),
                                         rule.month == 12 ? 1u : static_cast<unsigned>(rule.month + 1), 1);
      if (day >= next) day -= 7;
      return day;
    }
  }
}

// The entry of one transition. A month / week / weekday rule stays a rule;
// a time beyond the day moves the weekday with it (an approximation that
// Windows records share). Julian-day rules have no such form: they become
// absolute dates of `year`.
ZoneDate EntryFromTransition(const TzTransitionRule& rule, int year) {
  ZoneDate e;
  const int64_t dayShift = FloorDiv(rule.timeSeconds, kSecondsPerDay);
  const int32_t timeOfDay = static_cast<int32_t>(rule.timeSeconds - dayShift * kSecondsPerDay);
  e.wHour = static_cast<uint16_t>(timeOfDay / kSecondsPerHour);
  e.wMinute = static_cast<uint16_t>(timeOfDay / 60 % 60);
  e.wSecond = static_cast<uint16_t>(timeOfDay % 60);
  if (rule.kind == TzTransitionRule::Kind::MonthWeekDay) {
    e.wMonth = static_cast<uint16_t>(rule.month);
    e.wDay = static_cast<uint16_t>(rule.week);
    e.wDayOfWeek = static_cast<uint16_t>(((rule.weekday + dayShift) % 7 + 7) % 7);
    return e;
  }
  const int64_t day = TransitionDay(rule, year) + dayShift;
  const CivilDate date = CivilFromDays(day);
  e.wYear = static_cast<uint16_t>(date.year);
  e.wMonth = static_cast<uint16_t>(date.month);
  e.wDay = static_cast<uint16_t>(date.day);
  e.wDayOfWeek = static_cast<uint16_t>(((day % 7) + 7 + 4) % 7);
  return e;
}

// Whether daylight time is in force at `unixNow` under the rule.
bool InDaylight(const TzRule& rule, int64_t unixNow) {
  const int year = CivilFromDays(FloorDiv(unixNow - rule.standardOffset, kSecondsPerDay)).year;
  // Start is given in standard local time, end in daylight local time.
  const int64_t start = TransitionDay(rule.start, year) * kSecondsPerDay + rule.start.timeSeconds +
                        rule.standardOffset;
  const int64_t end = TransitionDay(rule.end, year) * kSecondsPerDay + rule.end.timeSeconds +
                      rule.daylightOffset;
  if (start < end) return start <= unixNow && unixNow < end;
  return !(end <= unixNow && unixNow < start);
}

}  // namespace

std::optional<TzRule> ParseTzRule(std::string_view text) {
  TRuleScanner s(text);
  TzRule rule;
  int32_t offset = 0;
  if (!s.TakeName(rule.standardName) || !s.TakeDuration(offset, kMaxOffsetHours)) return std::nullopt;
  rule.standardOffset = offset;
  if (s.AtEnd()) return rule;
  if (!s.TakeName(rule.daylightName)) return std::nullopt;
  rule.hasDaylight = true;
  rule.daylightOffset = rule.standardOffset - kSecondsPerHour;
  if (!s.AtEnd() && s.Peek() != ',') {
    if (!s.TakeDuration(offset, kMaxOffsetHours)) return std::nullopt;
    rule.daylightOffset = offset;
  }
  if (s.AtEnd()) return rule;
  if (!s.Take(',') || !s.TakeTransition(rule.start) || !s.Take(',') || !s.TakeTransition(rule.end)) {
    return std::nullopt;
  }
  if (!s.AtEnd()) return std::nullopt;
  rule.hasTransitions = true;
  return rule;
}

std::optional<std::string> ExtractTzifFooter(std::span<const uint8_t> data) {
  uint64_t v1Size = 0;
  if (!TzifBlockSize(data, 0, 4, v1Size)) return std::nullopt;
  const uint8_t version = data[kTzifVersionOffset];
  if (version < '2') return std::nullopt;
  if (v1Size > data.size() - kTzifHeaderSize) return std::nullopt;
  const size_t v2Header = kTzifHeaderSize + static_cast<size_t>(v1Size);
  uint64_t v2Size = 0;
  if (!TzifBlockSize(data, v2Header, 8, v2Size)) return std::nullopt;
  const size_t v2Data = v2Header + kTzifHeaderSize;
  if (v2Size > data.size() - v2Data) return std::nullopt;
  size_t pos = v2Data + static_cast<size_t>(v2Size);
  // Footer: newline, rule text, newline.
  if (pos >= data.size() || data[pos] != '\n') return std::nullopt;
  ++pos;
  std::string footer;
  for (; pos < data.size() && data[pos] != '\n'; ++pos) {
    const uint8_t c = data[pos];
    if (c < 0x20 || c > 0x7E) return std::nullopt;
    footer.push_back(static_cast<char>(c));
  }
  if (pos >= data.size() || footer.empty()) return std::nullopt;
  return footer;
}

TimeZoneQuery TimeZoneQueryFromRule(const TzRule& rule, int64_t unixNow) {
  TimeZoneQuery query;
  query.record.Bias = rule.standardOffset / 60;
  if (!rule.hasDaylight) return query;

  TzRule r = rule;
  if (!r.hasTransitions) {
    r.start = TzTransitionRule{TzTransitionRule::Kind::MonthWeekDay, 3, 2, 0, 0, 2 * kSecondsPerHour};
    r.end = TzTransitionRule{TzTransitionRule::Kind::MonthWeekDay, 11, 1, 0, 0, 2 * kSecondsPerHour};
    r.hasTransitions = true;
  }
  const int year = CivilFromDays(FloorDiv(unixNow - r.standardOffset, kSecondsPerDay)).year;
  const bool inDaylight = InDaylight(r, unixNow);
  TimeZoneRecord& rec = query.record;
  if (r.daylightOffset <= r.standardOffset) {
    rec.Bias = r.standardOffset / 60;
    rec.DaylightBias = (r.daylightOffset - r.standardOffset) / 60;
    rec.DaylightDate = EntryFromTransition(r.start, year);
    rec.StandardDate = EntryFromTransition(r.end, year);
    query.resultCode = inDaylight ? kTimeZoneIdDaylight : kTimeZoneIdStandard;
  } else {
    // Daylight saving behind standard time (the winter time of some zones
    // is written as their "daylight" time): the same clock as a zone whose
    // standard time is the winter one and whose daylight time is ahead.
    rec.Bias = r.daylightOffset / 60;
    rec.DaylightBias = (r.standardOffset - r.daylightOffset) / 60;
    rec.DaylightDate = EntryFromTransition(r.end, year);
    rec.StandardDate = EntryFromTransition(r.start, year);
    query.resultCode = inDaylight ? kTimeZoneIdStandard : kTimeZoneIdDaylight;
  }
  return query;
}

}  // namespace vz::platform
