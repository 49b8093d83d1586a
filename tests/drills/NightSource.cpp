#ifndef _WIN32
#include "drills/NightSource.h"

#include "drills/DrillFixture.h"

#include "tools/msgen/MsGen.h"
#include "vuzuz/Dates.h"

namespace vz::drill {

const std::vector<std::string> TNightSource::kDailySymbols{"DAYA", "DAYB"};
const std::vector<std::string> TNightSource::kIntradaySymbols{"MINA", "MINB"};

namespace {

int32_t DateNumber(double date) {
  const DateTimeParts parts = DecodeDateTime(date);
  return parts.year * 10000 + parts.month * 100 + parts.day;
}

}  // namespace

TNightSource::TNightSource(int nights) {
  // Weekdays from Monday 2025-09-01: the nights cross two month ends.
  double day = 0;
  TryEncodeDate(2025, 9, 1, day);
  while (static_cast<int>(days_.size()) < kHistoryDays + nights - 1) {
    const int weekday = static_cast<int>(static_cast<int64_t>(day) % 7);  // 0 is a Saturday
    if (weekday != 0 && weekday != 1) days_.push_back(day);
    day += 1;
  }
}

std::string TNightSource::Write(const std::filesystem::path& dir, int night) const {
  const size_t dayCount = static_cast<size_t>(kHistoryDays + night - 1);
  msgen::MsGenDirectory directory;
  int fileNumber = 1;
  auto add = [&](const std::string& symbol, char period) -> msgen::MsGenSecurity& {
    msgen::MsGenSecurity security;
    security.fileNumber = fileNumber++;
    security.symbol = symbol;
    security.name = symbol + " test security";
    security.period = period;
    security.interval = period == 'I' ? 1 : 0;
    security.fieldMask = period == 'I' ? msgen::kMaskDtohlcv : msgen::kMaskDohlcv;
    directory.securities.push_back(security);
    return directory.securities.back();
  };
  for (const std::string& symbol : kDailySymbols) {
    msgen::MsGenSecurity& security = add(symbol, 'D');
    for (size_t d = 0; d < dayCount; ++d) security.bars.push_back(DrillBar(DateNumber(days_[d]), 0, 50.0f + d, 1000));
  }
  for (const std::string& symbol : kIntradaySymbols) {
    msgen::MsGenSecurity& security = add(symbol, 'I');
    security.dayStartSeconds = 10 * 3600;
    security.dayEndSeconds = 16 * 3600;
    for (size_t d = 0; d < dayCount; ++d)
      for (int minute = 0; minute < kBarsPerDay; ++minute)
        security.bars.push_back(DrillBar(DateNumber(days_[d]), 100000 + minute * 100, 20.0f + minute, 1000));
  }
  std::string error;
  if (!msgen::WriteMetastockDirectory(directory, dir, &error)) return error;
  return {};
}

}  // namespace vz::drill
#endif
