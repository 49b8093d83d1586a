#pragma once
// The project's own daily, intraday and index files, written by the real
// writers from generated bars and ticks: random-walk prices at the system's
// tick sizes, trading days without weekends, session minutes, volumes.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/pkcmp/PkPayloads.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzIntraday.h"

namespace vz::test {

struct ProjectFiles {
  std::string daily;
  std::string intradayData;
  std::string intradayIndex;
};

inline std::string AsString(const vz::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// `securities` daily tables of `days` bars, and one day of `ticksEach` ticks
// for each of as many securities. Empty strings if a writer refuses.
inline ProjectFiles MakeProjectFiles(uint64_t seed, uint32_t securities, uint32_t days, uint32_t ticksEach) {
  TPayloadRandom rng(seed);
  std::vector<std::string> names;
  for (uint32_t s = 0; s < securities; ++s) names.push_back(SymbolName(s));
  std::sort(names.begin(), names.end());

  std::vector<omz::DailyRow> rows;
  for (const std::string& name : names) {
    double close = 5 + rng.Below(30000) / 100.0;
    double day = 44000 + rng.Below(7);
    for (uint32_t d = 0; d < days; ++d) {
      day += (static_cast<int64_t>(day) % 7 == 6) ? 3 : 1;  // Friday to Monday
      omz::DailyRow row;
      row.name = name;
      row.date = day;
      row.size = 0.01;
      row.open = std::max(0.01, close + rng.Step(static_cast<int32_t>(close)) / 100.0);
      row.close = std::max(0.01, row.open + rng.Step(static_cast<int32_t>(2 * close)) / 100.0);
      row.high = std::max(row.open, row.close) + rng.Below(static_cast<uint32_t>(close) + 1) / 100.0;
      row.low = std::max(0.01, std::min(row.open, row.close) - rng.Below(static_cast<uint32_t>(close) + 1) / 100.0);
      row.volume = static_cast<int32_t>(100 * (1 + rng.Below(20000)));
      close = row.close;
      rows.push_back(row);
    }
  }

  std::vector<omz::Tick> ticks;
  for (const std::string& name : names) {
    double price = 5 + rng.Below(300000) / 10000.0;
    double minute = 9 * 60 + 30;
    for (uint32_t t = 0; t < ticksEach; ++t) {
      omz::Tick tick;
      omz::SetTickSymbol(tick, name);
      minute += rng.Below(100) / 60.0;
      tick.dateTime = 45001 + minute / (24 * 60);
      price = std::max(0.0001, price + rng.Step(20) / 10000.0);
      tick.price = price;
      tick.volume = static_cast<int32_t>(rng.Below(4) == 0 ? 100 * (1 + rng.Below(50)) : 1 + rng.Below(500));
      tick.size = 0.0001;
      ticks.push_back(tick);
    }
  }

  ProjectFiles files;
  vz::Bytes daily;
  omz::IntradayImage intraday;
  omz::Failure error;
  if (omz::BuildDailyFile(rows, daily, error)) files.daily = AsString(daily);
  if (omz::BuildIntradayFiles("i260112", ticks, 1767225600u, intraday, error)) {
    files.intradayData = AsString(intraday.dat);
    files.intradayIndex = AsString(intraday.idx);
  }
  return files;
}

// The payload kinds the archives carry, written by the project's writers,
// plus generic text and binary; `scale` multiplies their sizes.
inline std::vector<NamedPayload> ArchivePayloads(uint32_t scale) {
  ProjectFiles files = MakeProjectFiles(17, 10 * scale, 250, 1500);
  return {
      {"daily", std::move(files.daily)},
      {"intraday", std::move(files.intradayData)},
      {"index", std::move(files.intradayIndex)},
      {"text", TextPayload(14, 50000 * scale)},
      {"binary", BinaryPayload(15, 50000 * scale)},
  };
}

}  // namespace vz::test
