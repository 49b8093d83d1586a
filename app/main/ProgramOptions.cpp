#include "app/main/ProgramOptions.h"

#include <algorithm>
#include <limits>

#include "platform/FileSystem.h"
#include "vuzuz/Dates.h"
#include "tools/msgen/MsSample.h"

namespace vz::app {

namespace {

double DayOfDecimalDate(int32_t date) {
  double value = 0;
  TryEncodeDate(date / 10000, date / 100 % 100, date % 100, value);
  return value;
}

}  // namespace

ConsoleProgramOptions ProgramOptions() {
  ConsoleProgramOptions options = DefaultConsoleOptions();
  options.writeSample = [](const std::string& dir) {
    std::string error;
    if (msgen::WriteSampleDirectory(platform::PathFromUtf8(dir), &error)) return std::string();
    return error.empty() ? std::string("write failed") : error;
  };
  options.sampleRange = [](double& firstDay, double& lastDay) {
    int32_t first = std::numeric_limits<int32_t>::max();
    int32_t last = 0;
    for (const auto& security : msgen::SampleDirectory().securities) {
      for (const auto& bar : security.bars) {
        first = std::min(first, bar.date);
        last = std::max(last, bar.date);
      }
    }
    if (last == 0) return;
    firstDay = DayOfDecimalDate(first);
    lastDay = DayOfDecimalDate(last);
  };
  return options;
}

}  // namespace vz::app
