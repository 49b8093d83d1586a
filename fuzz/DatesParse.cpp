// The text readers of dates, periods and zone rules on arbitrary bytes: the
// first byte picks the reader, the rest is the text. Beyond not crashing,
// what a reader accepts must hold together: a date-time decodes to a valid
// calendar date, a zone rule gives a record with valid entries, and the
// zoneinfo footer is itself a line of printable text.
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "fuzz/FuzzTarget.h"
#include "platform/TimeZoneRule.h"
#include "vuzuz/Dates.h"
#include "vuzuz/ShowError.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckEntry(const vz::platform::ZoneDate& e) {
  Check(e.wMonth <= 12 && e.wDayOfWeek <= 6 && e.wHour <= 23 && e.wMinute <= 59 && e.wSecond <= 59);
  if (e.wYear == 0) Check(e.wDay <= 5);
}

}  // namespace

VZ_FUZZ_TARGET(DatesParse) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 4) {
    case 0: {
      vz::TErrorRecorder errors;
      const double v = vz::ParseDateTimeText(text);
      if (!text.empty() && v != 0.0) {
        Check(errors.Messages().empty());
        const vz::DateTimeParts p = vz::DecodeDateTime(v);
        Check(p.year >= 1 && p.month >= 1 && p.month <= 12 && p.day >= 1);
      }
      break;
    }
    case 1: {
      vz::TErrorRecorder errors;
      int32_t out = 77;
      const bool ok = vz::ParsePeriod(text, out);
      Check(ok ? errors.Messages().empty() : (out == 77 && errors.Messages().size() == 1));
      break;
    }
    case 2: {
      if (const auto rule = vz::platform::ParseTzRule(text)) {
        const auto query = vz::platform::TimeZoneQueryFromRule(*rule, 1721044800);
        CheckEntry(query.record.StandardDate);
        CheckEntry(query.record.DaylightDate);
      }
      break;
    }
    default: {
      const std::span<const uint8_t> bytes(data + 1, size - 1);
      if (const auto footer = vz::platform::ExtractTzifFooter(bytes)) {
        Check(!footer->empty() && footer->size() < size);
        for (const char c : *footer) Check(c >= 0x20 && c <= 0x7E);
      }
      break;
    }
  }
  return 0;
}
