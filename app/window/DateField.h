#pragma once
// The window's date-time fields (From and To) without a toolkit: the user's
// conventions taken from the system's short date and long time patterns,
// and the reading of a field's text when the user leaves it.
#include <string>

#include "vuzuz/Dates.h"

namespace vz::app {

inline constexpr double kDateFieldEmptyValue = kUnixEpochDateTime;  // 1970-01-01 00:00

// Date order and separators of a short date pattern such as "M/d/yyyy" or
// "dd.MM.yyyy", the time separator of a long time pattern such as
// "h:mm:ss tt", and the AM and PM words. Quoted literals are skipped; what
// a pattern does not say keeps the default.
DateTimeFormat DateTimeFormatFromPatterns(const std::string& shortDate, const std::string& longTime,
                                          const std::string& amDesignator, const std::string& pmDesignator);

struct DateFieldReading {
  bool valid = true;
  double value = kDateFieldEmptyValue;
};

// A field's text read back: a date and time; failing that a date alone (at
// 00:00); failing that a time alone on 1970-01-01. Blank text gives
// 1970-01-01 00:00. Anything else is not valid and also gives 1970-01-01.
DateFieldReading ReadDateFieldText(const std::string& text, const DateTimeFormat& format);

// The message for a text that is no date-time.
std::string InvalidDateTimeMessage(const std::string& text);

}  // namespace vz::app
