#include "app/window/LocalNow.h"

#include <chrono>
#include <ctime>
#include <mutex>

#include "vuzuz/Dates.h"

namespace vz::app {

double NowValue() {
  static std::mutex mutex;  // localtime shares one buffer
  const std::time_t seconds = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  {
    std::lock_guard lock(mutex);
    if (const std::tm* tm = std::localtime(&seconds)) local = *tm;
  }
  DateTimeParts parts;
  parts.year = local.tm_year + 1900;
  parts.month = local.tm_mon + 1;
  parts.day = local.tm_mday;
  parts.hour = local.tm_hour;
  parts.minute = local.tm_min;
  parts.second = local.tm_sec < 60 ? local.tm_sec : 59;  // a leap second
  double value = 0;
  return TryEncodeDateTime(parts, value) ? value : 0;
}

}  // namespace vz::app
