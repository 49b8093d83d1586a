#include "app/window/DateField.h"

namespace vz::app {

namespace {

bool IsPatternLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The pattern with quoted literals removed ('' is a quote and is dropped too).
std::string WithoutLiterals(const std::string& pattern) {
  std::string out;
  bool quoted = false;
  for (const char c : pattern) {
    if (c == '\'') quoted = !quoted;
    else if (!quoted) out += c;
  }
  return out;
}

}  // namespace

DateTimeFormat DateTimeFormatFromPatterns(const std::string& shortDate, const std::string& longTime,
                                          const std::string& amDesignator, const std::string& pmDesignator) {
  DateTimeFormat format;
  const std::string date = WithoutLiterals(shortDate);
  const size_t y = date.find('y');
  const size_t m = date.find('M');
  const size_t d = date.find('d');
  if (y != std::string::npos && m != std::string::npos && d != std::string::npos) {
    if (y < m && m < d) format.order = DateOrder::YearMonthDay;
    else if (d < m) format.order = DateOrder::DayMonthYear;
    else format.order = DateOrder::MonthDayYear;
  }
  // The separator is the first character after the first field.
  for (size_t i = 0; i < date.size(); ++i) {
    if (IsPatternLetter(date[i]) || date[i] == ' ') continue;
    if (i > 0) {
      format.dateSeparator = date[i];
      break;
    }
  }
  const std::string time = WithoutLiterals(longTime);
  for (size_t i = 1; i < time.size(); ++i) {
    if (!IsPatternLetter(time[i]) && time[i] != ' ') {
      format.timeSeparator = time[i];
      break;
    }
  }
  if (!amDesignator.empty()) format.amDesignator = amDesignator;
  if (!pmDesignator.empty()) format.pmDesignator = pmDesignator;
  return format;
}

DateFieldReading ReadDateFieldText(const std::string& text, const DateTimeFormat& format) {
  DateFieldReading reading;
  if (text.find_first_not_of(" \t") == std::string::npos) return reading;
  double value = 0;
  if (!TryParseDateTimeText(text, format, value)) {
    reading.valid = false;
    return reading;
  }
  // A time alone counts from day 0; it belongs on 1970-01-01.
  reading.value = (value >= 0 && value < 1) ? kDateFieldEmptyValue + value : value;
  return reading;
}

std::string InvalidDateTimeMessage(const std::string& text) { return "\"" + text + "\" is not valid date/time."; }

}  // namespace vz::app
