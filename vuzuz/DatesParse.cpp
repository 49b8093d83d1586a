// The text parsers of the date utilities: date-times in the user's
// conventions and periods with a unit letter.
#include <chrono>
#include <cstdio>
#include <limits>

#include "vuzuz/Dates.h"
#include "vuzuz/ShowError.h"

namespace vz {

namespace {

DateTimeFormat& FormatStore() {
  static DateTimeFormat format;
  return format;
}

// A cursor over the text; every read checks the end.
class TTextScanner {
public:
  explicit TTextScanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  size_t Position() const { return pos_; }
  void Rewind(size_t pos) { pos_ = pos; }

  void SkipBlanks() {
    while (!AtEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }

  bool TakeChar(char c) {
    if (AtEnd() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  // Unsigned decimal number of 1 to 9 digits; `digits` gets its length.
  bool TakeNumber(int& value, int& digits) {
    constexpr int kMaxDigits = 9;
    int v = 0;
    int n = 0;
    while (!AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      if (n == kMaxDigits) return false;
      v = v * 10 + (text_[pos_] - '0');
      ++n;
      ++pos_;
    }
    if (n == 0) return false;
    value = v;
    digits = n;
    return true;
  }

  // A word compared without regard to ASCII case.
  bool TakeWord(std::string_view word) {
    if (word.empty() || text_.size() - pos_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      if (Lower(text_[pos_ + i]) != Lower(word[i])) return false;
    }
    pos_ += word.size();
    return true;
  }

private:
  static char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

  std::string_view text_;
  size_t pos_ = 0;
};

int CurrentYear() {
  const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
  return static_cast<int>(std::chrono::year_month_day{today}.year());
}

// Two-digit years fall into 1950..2049.
int ExpandYear(int year, int digits) {
  if (digits > 2) return year;
  return year < 50 ? 2000 + year : 1900 + year;
}

// Date: two or three numbers joined by the date separator. The format's
// order assigns them; a first number of three or more digits is a year
// (year, month, day). Two numbers are day and month of the current year.
bool ScanDate(TTextScanner& s, const DateTimeFormat& f, double& date) {
  s.SkipBlanks();
  int n1 = 0, n2 = 0, n3 = 0, l1 = 0, l2 = 0, l3 = 0;
  if (!s.TakeNumber(n1, l1) || !s.TakeChar(f.dateSeparator) || !s.TakeNumber(n2, l2)) return false;
  int year = 0, month = 0, day = 0;
  if (s.TakeChar(f.dateSeparator)) {
    if (!s.TakeNumber(n3, l3)) return false;
    if (l1 > 2 || f.order == DateOrder::YearMonthDay) {
      year = ExpandYear(n1, l1), month = n2, day = n3;
    } else if (f.order == DateOrder::MonthDayYear) {
      month = n1, day = n2, year = ExpandYear(n3, l3);
    } else {
      day = n1, month = n2, year = ExpandYear(n3, l3);
    }
  } else {
    year = CurrentYear();
    if (f.order == DateOrder::DayMonthYear) {
      day = n1, month = n2;
    } else {
      month = n1, day = n2;
    }
  }
  return TryEncodeDate(year, month, day, date);
}

// Time: hour[:minute[:second[.millisecond]]] with an optional AM/PM word.
bool ScanTime(TTextScanner& s, const DateTimeFormat& f, double& time) {
  s.SkipBlanks();
  int hour = 0, minute = 0, second = 0, ms = 0, digits = 0;
  if (!s.TakeNumber(hour, digits)) return false;
  if (s.TakeChar(f.timeSeparator)) {
    if (!s.TakeNumber(minute, digits)) return false;
    if (s.TakeChar(f.timeSeparator)) {
      if (!s.TakeNumber(second, digits)) return false;
      if (s.TakeChar('.')) {
        if (!s.TakeNumber(ms, digits) || digits > 3) return false;
      }
    }
  }
  s.SkipBlanks();
  int baseHour = -1;
  if (s.TakeWord(f.amDesignator) || s.TakeWord("AM")) {
    baseHour = 0;
  } else if (s.TakeWord(f.pmDesignator) || s.TakeWord("PM")) {
    baseHour = 12;
  }
  if (baseHour >= 0) {
    if (hour == 0 || hour > 12) return false;
    hour = (hour == 12 ? 0 : hour) + baseHour;
  }
  return TryEncodeTime(hour, minute, second, ms, time);
}

bool AtEndAfterBlanks(TTextScanner& s) {
  s.SkipBlanks();
  return s.AtEnd();
}

double Join(double date, double time) { return date >= 0 ? date + time : date - time; }

// Optional sign and decimal digits, the whole text, within 32 bits.
bool ParseInt32(std::string_view text, int32_t& value) {
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos == text.size()) return false;
  int64_t v = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
  value = static_cast<int32_t>(v);
  return true;
}

// n times a unit in seconds, false when the product leaves 32 bits.
bool ScaleToSeconds(int32_t n, int32_t unit, int32_t& out) {
  const int64_t v = int64_t{n} * unit;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
  out = static_cast<int32_t>(v);
  return true;
}

}  // namespace

void SetDateTimeFormat(const DateTimeFormat& format) { FormatStore() = format; }

const DateTimeFormat& CurrentDateTimeFormat() { return FormatStore(); }

bool TryParseDateTimeText(std::string_view text, const DateTimeFormat& format, double& value) {
  TTextScanner s(text);
  double date = 0;
  double time = 0;
  if (ScanDate(s, format, date) && ScanTime(s, format, time) && AtEndAfterBlanks(s)) {
    value = Join(date, time);
    return true;
  }
  s.Rewind(0);
  if (ScanDate(s, format, date) && AtEndAfterBlanks(s)) {
    value = date;
    return true;
  }
  s.Rewind(0);
  if (ScanTime(s, format, time) && AtEndAfterBlanks(s)) {
    value = time;
    return true;
  }
  return false;
}

double ParseDateTimeText(std::string_view text) {
  if (text.empty()) return kUnixEpochDateTime;
  double value = 0;
  if (TryParseDateTimeText(text, CurrentDateTimeFormat(), value)) return value;
  ShowError("'" + std::string(text) + "' is not valid date/time.");
  return 0.0;
}

std::string FormatDateTimeText(double value) {
  const DateTimeFormat& f = CurrentDateTimeFormat();
  const DateTimeParts p = DecodeDateTime(value);
  // Years always with four digits, so that years below 100 read back
  // as themselves and not through the two-digit window.
  char buffer[64];
  int n = 0;
  if (f.order == DateOrder::YearMonthDay) {
    n = std::snprintf(buffer, sizeof buffer, "%04d%c%d%c%d", p.year, f.dateSeparator, p.month,
                      f.dateSeparator, p.day);
  } else {
    const bool dayFirst = f.order == DateOrder::DayMonthYear;
    n = std::snprintf(buffer, sizeof buffer, "%d%c%d%c%04d", dayFirst ? p.day : p.month,
                      f.dateSeparator, dayFirst ? p.month : p.day, f.dateSeparator, p.year);
  }
  if (p.hour != 0 || p.minute != 0 || p.second != 0) {
    std::snprintf(buffer + n, sizeof buffer - static_cast<size_t>(n), " %d%c%02d%c%02d", p.hour,
                  f.timeSeparator, p.minute, f.timeSeparator, p.second);
  }
  return buffer;
}

bool TryParsePeriod(std::string_view text, int32_t& out) {
  if (text.empty()) {
    out = 0;
    return true;
  }
  int32_t n = 0;
  const std::string_view rest = text.substr(1);
  switch (text[0]) {
    case 'D': case 'd':
      return ParseInt32(rest, n) && ScaleToSeconds(n, 86400, out);
    case 'H': case 'h':
      return ParseInt32(rest, n) && ScaleToSeconds(n, 3600, out);
    case 'M': case 'm':
      return ParseInt32(rest, n) && ScaleToSeconds(n, 60, out);
    case 'N': case 'n':
      if (!ParseInt32(rest, n)) return false;
      out = kPeriodMonths;
      return true;
    case 'Y': case 'y':
      if (!ParseInt32(rest, n)) return false;
      out = kPeriodYears;
      return true;
    default:
      return ParseInt32(text, out);
  }
}

bool ParsePeriod(std::string_view text, int32_t& out) {
  int32_t value = 0;
  if (TryParsePeriod(text, value)) {
    out = value;
    return true;
  }
  ShowError("Invalid period: '" + std::string(text) + "'.");
  return false;
}

}  // namespace vz
