// The reader of the file of days GlobalServer has not received, on
// arbitrary bytes. Beyond not crashing: the ranges it gives are sorted,
// whole days, and apart within one run; the lines it names are printable;
// and the text it writes back reads as the same ranges, nothing damaged.
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "app/record/ImportState.h"
#include "fuzz/FuzzTarget.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckRanges(const vz::app::ImportState& state) {
  for (size_t i = 0; i < state.ranges.size(); ++i) {
    const auto& range = state.ranges[i];
    Check(range.first == std::floor(range.first) && range.first <= range.last);
    if (i > 0) Check(state.ranges[i - 1].first <= range.first);
    for (size_t j = 0; j < i; ++j) {
      const auto& other = state.ranges[j];
      const bool sameRun = other.run == range.run && other.why == range.why;
      Check(!sameRun || other.last + 1 < range.first);
    }
  }
}

}  // namespace

VZ_FUZZ_TARGET(ImportStateParse) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const vz::app::ImportState state = vz::app::ParseImportState(text);
  CheckRanges(state);
  for (const std::string& line : state.damaged)
    for (const char c : line) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
  const vz::app::ImportState again = vz::app::ParseImportState(vz::app::FormatImportState(state));
  Check(again.damaged.empty() && again.ranges.size() == state.ranges.size());
  for (size_t i = 0; i < state.ranges.size(); ++i) {
    Check(again.ranges[i].first == state.ranges[i].first && again.ranges[i].last == state.ranges[i].last);
    Check(again.ranges[i].run == state.ranges[i].run && again.ranges[i].why == state.ranges[i].why);
  }
  return 0;
}
