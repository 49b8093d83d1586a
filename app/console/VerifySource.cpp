#include "app/console/VerifySource.h"

#include <cmath>
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

// The rows a month's .DLY holds, as its reader gives them back.
void StoredDaily(const std::vector<omz::DailyRow>& rows, SourceSet& set) {
  omz::Failure error;
  Bytes dly;
  std::vector<std::string> leftOut;
  std::vector<omz::DailyBlock> blocks;
  if (!omz::BuildDailyFile(rows, dly, error, &leftOut) || dly.empty() || !omz::ReadDailyFile(dly, blocks, error))
    return;  // the run writes no archive for it either
  set.daily = omz::DailyRowsOf(blocks);
  std::set<std::string> names;
  for (const omz::DailyRow& row : set.daily) names.insert(row.name);
  set.securities = names.size();
  set.bars = set.daily.size();
}

// The ticks a day's .DAT holds, as its reader gives them back.
void StoredTicks(const SetJob& job, SourceSet& set) {
  omz::Failure error;
  omz::IntradayImage image;
  std::vector<std::string> leftOut;
  omz::IntradayContents contents;
  if (!omz::BuildIntradayFiles(job.base, job.MakeTicks(), static_cast<uint32_t>(std::time(nullptr)), image, error,
                               &leftOut) ||
      image.dat.empty() || !omz::ReadIntradayFiles(image.dat, image.idx, contents, error))
    return;
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
  for (const omz::DailyRow& row : data_.daily) {
    const int month = MonthOfDateTime(row.date);
    if (month >= range.firstMonth && month <= range.lastMonth) months_[DailyBaseName(row.date) + ".omz"].push_back(row);
  }
  std::vector<omz::DailyRow>().swap(data_.daily);

  // Intraday: each day's bars in table order, each security's in time
  // order, the day being that of the ticks' time on the data clock.
  const int64_t firstDay = std::max(range.firstDay, DayNumber(range.from));
  const int64_t lastDay = std::min(range.lastDay, DayNumber(range.to));
  for (const TickRow& row : data_.rows)
    for (const KeptBar& bar : row.bars) {
      const double tickTime = KeptBarTickTime(bar);
      const int64_t day = DayNumber(MinusFiveToPlusOne(tickTime));
      if (day < firstDay || day > lastDay || !BarStorable(bar)) continue;
      const double dayValue = static_cast<double>(day);
      SetJob& job = days_[MonthFolderName(dayValue) + "/" + IntradayBaseName(dayValue) + ".omz"];
      if (job.base.empty()) {
        job.intraday = true;
        job.base = IntradayBaseName(dayValue);
      }
      job.AddBar(row.symbol, bar, tickTime);
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

}  // namespace vz::app
