// Every bar of the real MetaStock directories, written as daily records or as
// ticks and read back, equals the bar it came from to the tick size: prices
// that leave 16-bit differences (index futures) or 32 bits, and long symbols,
// included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "metastock/MsDirectory.h"
#include "metastock/MsPriceData.h"
#include "support/ScratchDir.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzIntraday.h"
#include "vuzuz/OmzSymbol.h"

namespace vz::omz {
namespace {

constexpr double kUnixEpochDay = 25569;  // 1970-01-01 as days since 1899-12-30

int32_t VolumeOf(double volume) {
  return static_cast<int32_t>(std::clamp(std::round(volume), -2147483648.0, 2147483647.0));
}

struct CorpusData {
  std::map<long, std::vector<DailyRow>> months;  // by 31-day stretch
  std::map<long, std::vector<Tick>> days;
};

void Collect(const std::string& name, CorpusData& data) {
  test::TScratchDir scratch;
  const auto copy = test::CopyCorpusDir(name, scratch.Path());
  MsDirectory* dir = MsOpenDirectory(copy.string(), 100, "Test program", "tester");
  ASSERT_NE(dir, nullptr) << name << ": " << MsLastError();
  std::vector<MsSecurity*> securities;
  for (MsSecurity& s : dir->securities)
    if (s.inUse && !s.hidden) securities.push_back(&s);
  std::stable_sort(securities.begin(), securities.end(),
                   [](const MsSecurity* a, const MsSecurity* b) { return std::string(a->symbol) < b->symbol; });
  for (MsSecurity* s : securities) {
    std::vector<MsBar> bars;
    if (MsReadBars(*dir, *s, bars) <= 0) continue;
    for (const MsBar& bar : bars) {
      const double when = static_cast<double>(bar.time) / 86400 + kUnixEpochDay;
      if (s->period == kMsPeriodIntraday) {
        Tick tick;
        SetTickSymbol(tick, s->symbol);
        tick.dateTime = when;
        for (double price : {bar.open, bar.high, bar.low, bar.close}) {
          tick.price = price;
          tick.volume = VolumeOf(bar.volume);
          data.days[static_cast<long>(std::floor(when))].push_back(tick);
        }
      } else if (s->period == kMsPeriodDaily) {
        DailyRow row{s->symbol, when, bar.open, bar.high, bar.low, bar.close, VolumeOf(bar.volume), 0.0001};
        data.months[static_cast<long>(std::floor(when)) / 31].push_back(row);
      }
    }
  }
  MsCloseDirectory(dir);
}

// Ticks per stored symbol, in order.
std::map<std::string, std::vector<Tick>> BySymbol(const std::vector<Tick>& ticks, bool mapSymbols) {
  std::map<std::string, std::vector<Tick>> runs;
  for (const Tick& t : ticks) {
    const std::string symbol = TickSymbol(t);
    runs[mapSymbols ? SymbolFieldText(MakeSymbolField(symbol).data()) : symbol].push_back(t);
  }
  return runs;
}

TEST(OmzCorpus, EveryBarReadsBackToTheTickSize) {
  if (!test::HaveCorpus()) GTEST_SKIP() << "no MetaStock corpus on this machine";
  for (const char* name : {"oko_intra", "oko_daily", "cse_intra", "bbfinance", "equis_b", "m2pd"}) {
    CorpusData data;
    Collect(name, data);
    size_t ticksChecked = 0, rowsChecked = 0, freshBaseDays = 0;
    for (const auto& [day, ticks] : data.days) {
      IntradayImage image;
      Failure error;
      ASSERT_TRUE(BuildIntradayFiles("i000000", ticks, 0, image, error)) << name << " day " << day << ": " << error;
      IntradayContents back;
      ASSERT_TRUE(ReadIntradayFiles(image.dat, image.idx, back, error)) << name << ": " << error;
      for (const TickBlockInfo& b : back.blocks)
        if (b.basePrice != back.blocks.front().basePrice && b.symbol == back.blocks.front().symbol) {
          ++freshBaseDays;
          break;
        }
      const auto want = BySymbol(ticks, true);
      const auto got = BySymbol(back.ticks, false);
      ASSERT_EQ(got.size(), want.size()) << name << " day " << day;
      for (const auto& [symbol, run] : want) {
        const std::vector<Tick>& read = got.at(symbol);
        ASSERT_EQ(read.size(), run.size()) << name << " " << symbol;
        for (size_t i = 0; i < run.size(); ++i) {
          ASSERT_NEAR(read[i].price, run[i].price, read[i].size) << name << " " << symbol << " tick " << i;
          ASSERT_NEAR(read[i].dateTime, run[i].dateTime, 0.5 / 1440) << name << " " << symbol << " tick " << i;
          ASSERT_EQ(read[i].volume, run[i].volume);
        }
        ticksChecked += run.size();
      }
    }
    for (const auto& [month, rows] : data.months) {
      Bytes bytes;
      Failure error;
      ASSERT_TRUE(BuildDailyFile(rows, bytes, error)) << name << ": " << error;
      std::vector<DailyBlock> blocks;
      ASSERT_TRUE(ReadDailyFile(bytes, blocks, error)) << name << ": " << error;
      const std::vector<DailyRow> back = DailyRowsOf(blocks);
      ASSERT_EQ(back.size(), rows.size());
      for (size_t i = 0; i < rows.size(); ++i) {
        const double tol = back[i].size;
        ASSERT_EQ(back[i].name, SymbolFieldText(MakeSymbolField(rows[i].name).data()));
        ASSERT_EQ(back[i].date, std::trunc(rows[i].date)) << name << " " << rows[i].name;
        ASSERT_NEAR(back[i].open, rows[i].open, tol) << name << " " << rows[i].name;
        ASSERT_NEAR(back[i].high, rows[i].high, tol) << name << " " << rows[i].name;
        ASSERT_NEAR(back[i].low, rows[i].low, tol) << name << " " << rows[i].name;
        ASSERT_NEAR(back[i].close, rows[i].close, tol) << name << " " << rows[i].name;
        ASSERT_EQ(back[i].volume, rows[i].volume);
      }
      rowsChecked += rows.size();
    }
    EXPECT_GT(ticksChecked + rowsChecked, 0u) << name;
    RecordProperty(std::string(name) + "_ticks", static_cast<int>(ticksChecked));
    RecordProperty(std::string(name) + "_rows", static_cast<int>(rowsChecked));
    RecordProperty(std::string(name) + "_days_with_fresh_bases", static_cast<int>(freshBaseDays));
  }
}

}  // namespace
}  // namespace vz::omz
