#pragma once
// Fakes for the conversion stages: a status that records what the stages
// report and can request a stop, a security source in memory, and a fixed
// time zone without daylight saving.
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "app/run/AnalysisSource.h"
#include "app/run/RunStatus.h"
#include "vuzuz/Dates.h"

namespace vz::test {

class TRecordingStatus : public app::IRunStatus {
public:
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void SetStatusDetail(const std::string& text) override { details.push_back(text); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  // Answers true from the stopAfter-th question on (counting from 1); never
  // when stopAfter is 0.
  bool StopRequested() const override { return stopAfter != 0 && ++asked >= stopAfter; }

  std::vector<std::string> statuses;
  std::vector<std::string> details;
  std::vector<std::string> messages;
  long stopAfter = 0;
  mutable long asked = 0;
};

struct FakeSecurity {
  FakeSecurity(app::SecurityEntry e, std::vector<app::BarEntry> b = {}) : entry(std::move(e)), bars(std::move(b)) {}
  app::SecurityEntry entry;
  std::vector<app::BarEntry> bars;
  std::string unreadable;  // when set, reading fails with this reason
};

class TFakeSource : public app::IMsSource {
public:
  int SecurityCount() const override { return static_cast<int>(securities.size()); }
  app::SecurityEntry Security(int q) const override { return securities.at(static_cast<size_t>(q)).entry; }
  bool ReadBars(int q, std::vector<app::BarEntry>& bars, std::string& why) override {
    reads.push_back(q);
    const FakeSecurity& s = securities.at(static_cast<size_t>(q));
    bars = s.bars;
    why = s.unreadable;
    return why.empty();
  }
  void Close() override { ++closes; }

  std::vector<FakeSecurity> securities;
  std::vector<int> reads;
  int closes = 0;
};

// A master-file time stamp (full year, month 1..12).
inline std::tm MakeTm(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  std::tm tm{};
  tm.tm_year = year;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return tm;
}

// A listed security with first/last dates in 2001.
inline app::SecurityEntry MakeSecurity(char period, const std::string& symbol, const std::string& name,
                                       int interval = 1) {
  app::SecurityEntry e;
  e.inUse = true;
  e.period = period;
  e.interval = interval;
  e.symbol = symbol;
  e.name = name;
  e.first = MakeTm(2001, 1, 2);
  e.last = MakeTm(2001, 12, 28);
  return e;
}

// Seconds since 1970 of a date and time (the data clock).
inline int64_t Seconds(int year, int month, int day, int hour = 0, int minute = 0) {
  double d = 0;
  TryEncodeDate(year, month, day, d);
  return (static_cast<int64_t>(d) - 25569) * 86400 + hour * 3600 + minute * 60;
}

inline double DateValue(int year, int month, int day, int hour = 0, int minute = 0) {
  double d = 0;
  TryEncodeDate(year, month, day, d);
  return d + (hour * 60 + minute) / 1440.0;
}

// Installs a zone without daylight saving (one hour east of UTC) for the
// life of the object, so clock shifts are the plain offsets.
class TFixedZone {
public:
  TFixedZone() {
    platform::TimeZoneQuery query;
    query.resultCode = platform::kTimeZoneIdUnknown;
    query.record.Bias = -60;
    previous_ = SetTimeZoneSource(std::make_shared<TFixedTimeZoneSource>(query, -3600));
  }
  ~TFixedZone() { SetTimeZoneSource(previous_); }

private:
  std::shared_ptr<ITimeZoneSource> previous_;
};

}  // namespace vz::test
