#include "app/verify/VerifySource.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <set>

#include "app/run/Analysis.h"
#include "app/run/AnalysisSource.h"
#include "app/run/Export.h"
#include "app/run/Selection.h"
#include "vuzuz/Dates.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzIntraday.h"
#include "vuzuz/OmzNumbers.h"

namespace vz::app {

namespace {

// The run's status calls, answered by nobody: the comparison prints its
// own report.
class TSilentStatus final : public IRunStatus {
public:
  void SetStatus(const std::string&) override {}
  void SetStatusDetail(const std::string&) override {}
  void ShowMessage(const std::string&) override {}
  bool StopRequested() const override { return false; }
  bool MessagesWaitForUser() const override { return false; }
};

// As the export: a bar with a price no tick size holds is left out alone.
bool BarStorable(const KeptBar& bar) {
  for (float price : {bar.open, bar.high, bar.low, bar.close})
    if (!omz::PriceFitsSomeTick(price)) return false;
  return true;
}

std::string WithSeparator(std::string dir) {
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  return dir;
}

// The .DLY a run writes for a month's rows (empty when none).
Bytes DailyFile(const std::vector<omz::DailyRow>& rows) {
  omz::Failure error;
  Bytes dly;
  std::vector<std::string> leftOut;
  if (!omz::BuildDailyFile(rows, dly, error, &leftOut)) return {};
  return dly;
}

// The .DAT and .IDX a run writes for a day's bars (empty when none).
omz::IntradayImage IntradayFiles(const SetJob& job) {
  omz::Failure error;
  omz::IntradayImage image;
  std::vector<std::string> leftOut;
  if (!omz::BuildIntradayFiles(job.base, job.MakeTicks(), static_cast<uint32_t>(std::time(nullptr)), image, error,
                               &leftOut))
    return {};
  return image;
}

// The rows a month's .DLY holds, as its reader gives them back.
void StoredDaily(const std::vector<omz::DailyRow>& rows, SourceSet& set) {
  omz::Failure error;
  const Bytes dly = DailyFile(rows);
  std::vector<omz::DailyBlock> blocks;
  if (dly.empty() || !omz::ReadDailyFile(dly, blocks, error)) return;  // the run writes no archive for it either
  set.daily = omz::DailyRowsOf(blocks);
  std::set<std::string> names;
  for (const omz::DailyRow& row : set.daily) names.insert(row.name);
  set.securities = names.size();
  set.bars = set.daily.size();
}

// The ticks a day's .DAT holds, as its reader gives them back.
void StoredTicks(const SetJob& job, SourceSet& set) {
  omz::Failure error;
  const omz::IntradayImage image = IntradayFiles(job);
  omz::IntradayContents contents;
  if (image.dat.empty() || !omz::ReadIntradayFiles(image.dat, image.idx, contents, error)) return;
  set.ticks = std::move(contents.ticks);
  std::string previous;
  for (const omz::Tick& tick : set.ticks) {
    const std::string symbol = omz::TickSymbol(tick);
    if (symbol != previous) ++set.securities;
    previous = symbol;
  }
  set.bars = set.ticks.size() / 4;
}

}  // namespace

bool TSourceSets::Collect(const std::string& msDir, const VerifyRange& range, std::string& why) {
  data_ = {};
  months_.clear();
  days_.clear();
  notes_.clear();
  std::unique_ptr<IMsSource> source = OpenMsSourceToRead(msDir, why);
  if (!source) return false;
  TRunSettings settings;
  settings.msDir = WithSeparator(msDir);
  settings.from = range.from;
  settings.to = range.to;
  settings.selected = range.selected;
  settings.import = false;
  TSilentStatus status;
  SecurityTables tables;
  RunNotes notes;
  if (settings.selected) {
    // The selection file is only read.
    std::string header;
    LoadSelectionFile(settings.msDir + "IMASTER", ';', tables.options, header);
  }
  FillSecurityTables(*source, settings, status, tables, notes);
  CollectBars(*source, settings, status, tables, data_, notes);
  source->Close();
  for (std::string& record : source->SkippedRecords()) notes.skippedRecords.push_back(std::move(record));
  notes_ = notes.Text();

  // Daily: each month's rows in table order, as the export buckets them.
  std::map<int, std::vector<omz::DailyRow>> months;
  for (omz::DailyRow& row : DailyTable(data_.daily)) {
    const int month = MonthOfDateTime(row.date);
    if (month >= range.firstMonth && month <= range.lastMonth) months[month].push_back(std::move(row));
  }
  std::vector<DailySecurity>().swap(data_.daily);
  for (auto& [month, rows] : months) {
    const double first = rows.front().date;
    months_[DailyBaseName(first) + ".omz"] = std::move(rows);
  }

  // Intraday: each day's bars in table order, each security's in time
  // order, the day being that of the ticks' time on the data clock.
  const int64_t firstDay = std::max(range.firstDay, DayNumber(range.from));
  const int64_t lastDay = std::min(range.lastDay, DayNumber(range.to));
  std::map<int64_t, SetJob> days;
  for (const TickRow& row : data_.rows) {
    SetJob* job = nullptr;
    int64_t jobDay = 0;
    for (const KeptBar& bar : row.bars) {
      const double tickTime = KeptBarTickTime(bar);
      const int64_t day = DayNumber(MinusFiveToPlusOne(tickTime));
      if (day < firstDay || day > lastDay || !BarStorable(bar)) continue;
      // A row's bars come in time order: one day after another.
      if (!job || day != jobDay) {
        job = &days[day];
        jobDay = day;
      }
      job->AddBar(row.symbol, bar, tickTime);
    }
  }
  for (auto& [day, job] : days) {
    const double dayValue = static_cast<double>(day);
    job.intraday = true;
    job.base = IntradayBaseName(dayValue);
    days_.emplace(MonthFolderName(dayValue) + "/" + job.base + ".omz", std::move(job));
  }
  return true;
}

std::vector<std::string> TSourceSets::Places() const {
  std::vector<std::string> places;
  for (const auto& [relative, rows] : months_) places.push_back(relative);
  for (const auto& [relative, job] : days_) places.push_back(relative);
  return places;
}

SourceSet TSourceSets::Build(const std::string& relative) const {
  SourceSet set;
  if (const auto month = months_.find(relative); month != months_.end()) StoredDaily(month->second, set);
  else if (const auto day = days_.find(relative); day != days_.end()) StoredTicks(day->second, set);
  return set;
}

std::vector<Bytes> TSourceSets::BuildFiles(const std::string& relative) const {
  if (const auto month = months_.find(relative); month != months_.end()) {
    Bytes dly = DailyFile(month->second);
    if (dly.empty()) return {};
    return {std::move(dly)};
  }
  if (const auto day = days_.find(relative); day != days_.end()) {
    omz::IntradayImage image = IntradayFiles(day->second);
    if (image.dat.empty()) return {};
    return {std::move(image.dat), std::move(image.idx)};
  }
  return {};
}

bool TSourceSets::TicksAgree(const std::string& relative, const std::vector<omz::Tick>& ticks) const {
  const auto found = days_.find(relative);
  if (found == days_.end()) return false;
  const SetJob& job = found->second;
  // The archive's runs by symbol: each symbol's ticks lie together.
  std::map<std::string, std::pair<size_t, size_t>> runs;
  for (size_t i = 0; i < ticks.size();) {
    const std::string symbol = omz::TickSymbol(ticks[i]);
    size_t end = i + 1;
    while (end < ticks.size() && std::strncmp(ticks[end].symbol, ticks[i].symbol, sizeof ticks[i].symbol) == 0) ++end;
    if (!runs.emplace(symbol, std::pair{i, end}).second) return false;
    i = end;
  }
  if (runs.size() != job.dayRuns.size()) return false;
  constexpr double kTick = 0.0001;  // the tick size the collection gives every tick
  size_t next = 0;
  for (const DayRun& run : job.dayRuns) {
    // A symbol longer than the 12-byte field is stored under a name the
    // writer chooses: left to the comparison of the files.
    if (run.symbol.size() > 12) return false;
    const auto archived = runs.find(run.symbol);
    if (archived == runs.end() || archived->second.second - archived->second.first != 4 * run.count) return false;
    const omz::Tick* tick = ticks.data() + archived->second.first;
    for (size_t n = 0; n < run.count; ++n, ++next) {
      const KeptBar& bar = *job.dayBars[next].bar;
      const int64_t minute = std::llround(job.dayBars[next].tickTime * 1440.0);
      const double prices[4] = {bar.open, bar.high, bar.low, bar.close};
      const int32_t volumes[4] = {1, 1, 1, CloseTickVolume(bar.volume)};
      for (int k = 0; k < 4; ++k, ++tick) {
        // The file may store a run at a coarser tick (whole prices that
        // move far); agreeing means the same price to the collection's tick.
        if (tick->volume != volumes[k] || std::llround(tick->dateTime * 1440.0) != minute ||
            !(std::fabs(tick->price - prices[k]) <= 0.5 * kTick * (1 + 1e-9)))
          return false;
      }
    }
  }
  return true;
}

}  // namespace vz::app
