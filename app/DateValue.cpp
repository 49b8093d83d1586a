#include "app/DateValue.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>

namespace vz::app {

namespace {

using namespace std::chrono;

constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};
constexpr double kSecondsPerDay = 86400.0;

}  // namespace

bool TryEncodeDate(int y, int m, int d, double& value) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) return false;
  const year_month_day date{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
  if (!date.ok()) return false;
  value = static_cast<double>((sys_days{date} - kEpoch).count());
  return true;
}

CalendarDate DecodeDate(double value) {
  const double whole = std::floor(value);
  if (!(whole > -700000.0 && whole < 3000000.0)) return {};
  const year_month_day date{kEpoch + days{static_cast<long>(whole)}};
  return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day()))};
}

double NowValue() {
  static std::mutex mutex;  // localtime shares one buffer
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  {
    std::lock_guard lock(mutex);
    if (const std::tm* tm = std::localtime(&seconds)) local = *tm;
  }
  double day = 0;
  if (!TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, day)) return 0;
  return day + (local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec) / kSecondsPerDay;
}

}  // namespace vz::app
