#pragma once
// The MetaStock directory of a month of nights: two daily securities and two
// one-minute securities over a run of trading days, written as it stands on
// a given night (a few days of history, then one trading day more each
// night).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vz::drill {

struct TNightSource {
  static constexpr int kHistoryDays = 5;  // the days the directory holds on the first night
  static constexpr int kBarsPerDay = 12;  // one-minute bars of each intraday security
  static const std::vector<std::string> kDailySymbols;
  static const std::vector<std::string> kIntradaySymbols;

  explicit TNightSource(int nights);

  // The trading days (dates at 00:00), the first night's last day at
  // kHistoryDays - 1, the last night's at the end.
  const std::vector<double>& Days() const { return days_; }
  // The last trading day of night `night` (1-based).
  double LastDayOf(int night) const { return days_[kHistoryDays - 1 + night - 1]; }
  // Writes the directory as it stands on that night; empty when done, else
  // the reason.
  std::string Write(const std::filesystem::path& dir, int night) const;

private:
  std::vector<double> days_;
};

}  // namespace vz::drill
