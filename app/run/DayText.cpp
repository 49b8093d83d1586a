#include "app/run/DayText.h"

#include <cmath>
#include <cstdio>

#include "vuzuz/Dates.h"

namespace vz::app {

std::string IsoDayText(double dateTime) {
  const DateTimeParts p = DecodeDateTime(std::floor(dateTime));
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.year, p.month, p.day);
  return text;
}

std::string IsoMonthText(int month) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d", month / 12, month % 12 + 1);
  return text;
}

}  // namespace vz::app
