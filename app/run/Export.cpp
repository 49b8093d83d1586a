#include "app/run/Export.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "app/run/ExportSets.h"
#include "platform/FileSystem.h"
#include "vuzuz/Dates.h"
#include "vuzuz/OmzFile.h"
#include "vuzuz/OmzNumbers.h"
#include "vuzuz/ShowError.h"

namespace vz::app {

namespace fs = std::filesystem;

namespace {

std::string TwoDigits(int n) {
  return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

// Months as year * 12 + month - 1.
int MonthIndex(double value) {
  const DateTimeParts parts = DecodeDateTime(std::floor(value));
  return parts.year * 12 + parts.month - 1;
}

// A bar whose prices all fit some tick size; one that does not is left
// out alone, so the rest of its security's day is still written.
bool BarStorable(const KeptBar& bar) {
  for (float price : {bar.open, bar.high, bar.low, bar.close})
    if (!omz::PriceFitsSomeTick(price)) return false;
  return true;
}

}  // namespace

uint64_t FolderFreeSpace(const std::string& folder) {
  std::error_code ec;
  const fs::space_info info = fs::space(folder.empty() ? fs::path(".") : platform::PathFromUtf8(folder), ec);
  if (ec) return 0;
  return info.available;
}

std::string DailyBaseName(double day) {
  const DateTimeParts p = DecodeDateTime(std::floor(day));
  return "d" + TwoDigits(p.year % 100) + TwoDigits(p.month);
}

std::string IntradayBaseName(double day) {
  const DateTimeParts p = DecodeDateTime(std::floor(day));
  return "i" + TwoDigits(p.year % 100) + TwoDigits(p.month) + TwoDigits(p.day);
}

std::string MonthFolderName(double day) {
  const DateTimeParts p = DecodeDateTime(std::floor(day));
  return TwoDigits(p.year / 100) + TwoDigits(p.year % 100) + "_" + TwoDigits(p.month);
}

ExportSpan WholeRangeSpan(const TRunSettings& settings) {
  ExportSpan span;
  span.firstMonth = MonthIndex(settings.from);
  span.lastMonth = MonthIndex(settings.to);
  span.firstDay = DayNumber(settings.from);
  span.lastDay = DayNumber(settings.to);
  span.wholeRange = true;
  return span;
}

struct TArchiveExport::State {
  TRunSettings settings;
  IRunStatus& status;
  ExportOptions options;
  bool leftoversRemoved = false;
  bool failed = false;
  std::string failureMessage;
  std::set<std::string> cleanedFolders;
  std::map<std::string, size_t> unstorableBars;  // intraday bars left out, per symbol
  std::vector<std::string> skipped;
  std::vector<std::string> leftOut;

  State(const TRunSettings& s, IRunStatus& st, const ExportOptions& o) : settings(s), status(st), options(o) {}
};

TArchiveExport::TArchiveExport(const TRunSettings& settings, IRunStatus& status, const ExportOptions& givenOptions)
    : state_(std::make_unique<State>(settings, status, givenOptions)) {
  ExportOptions& options = state_->options;
  if (!options.freeSpace) options.freeSpace = FolderFreeSpace;
  options.packThreads = std::max(0, options.packThreads);
}

TArchiveExport::~TArchiveExport() = default;

bool TArchiveExport::Write(CollectedData& data, const ExportSpan& span) {
  State& s = *state_;
  IRunStatus& status = s.status;
  const std::string& output = s.settings.output;
  // Temporary archives a killed run left behind go before this run writes
  // into a folder (each folder before its first set is handed over, so
  // this run's own temporaries are never among them).
  if (!s.leftoversRemoved) omz::RemoveLeftoverArchiveTemporaries(platform::PathFromUtf8(output));
  s.leftoversRemoved = true;
  TSetPipeline pipeline(s.options);
  // Every end waits for the sets handed over, so a stop or a failure
  // leaves only whole archives behind.
  auto finish = [&] {
    pipeline.Finish();
    std::vector<TickRow>().swap(data.rows);
    for (std::string& text : pipeline.TakeSkipped()) s.skipped.push_back(std::move(text));
    for (std::string& text : pipeline.TakeLeftOut()) s.leftOut.push_back(std::move(text));
    if (pipeline.Failed()) {
      s.failed = true;
      s.failureMessage = pipeline.FailureMessage();
      return false;
    }
    return true;
  };

  status.SetStatus("Exporting daily data...");
  // The rows of each month in table order: every security's rows are in
  // date order, so one cursor per security walks them month by month.
  const int firstMonth = span.firstMonth;
  const int lastMonth = span.lastMonth;
  const int progressFirstMonth = span.wholeRange ? firstMonth : span.rangeFirstMonth;
  const int64_t months = span.wholeRange ? std::max(0, lastMonth - firstMonth + 1) : span.rangeMonths;
  std::vector<size_t> dailyCursors(data.daily.size(), 0);
  for (size_t k = 0; k < data.daily.size(); ++k) {
    const std::vector<KeptDailyRow>& rows = data.daily[k].rows;
    while (dailyCursors[k] < rows.size() && MonthIndex(rows[dailyCursors[k]].day) < firstMonth) ++dailyCursors[k];
  }
  for (int m = firstMonth; m <= lastMonth; ++m) {
    status.SetProgress(RunCounter::MonthsWritten, m - progressFirstMonth, months);
    const int year = m / 12, month = m % 12 + 1;
    status.SetStatusDetail(TwoDigits(month) + "." + TwoDigits(year % 100));
    SetJob job;
    for (size_t k = 0; k < data.daily.size(); ++k) {
      const DailySecurity& security = data.daily[k];
      size_t& cursor = dailyCursors[k];
      for (; cursor < security.rows.size() && MonthIndex(security.rows[cursor].day) == m; ++cursor)
        job.daily.push_back(DailyRowOf(security, cursor));
    }
    if (!job.daily.empty()) {
      job.base = "d" + TwoDigits(year % 100) + TwoDigits(month);
      job.folder = output;
      pipeline.Submit(std::move(job));
    }
    if (pipeline.Failed()) return finish();
    if (status.StopRequested()) return finish();
  }
  std::vector<DailySecurity>().swap(data.daily);

  if (span.wholeRange) status.SetProgress(RunCounter::MonthsWritten, months, months);
  status.SetStatus("Exporting intraday data...");
  const int64_t first = std::max(span.firstDay, DayNumber(data.firstTickTime));
  const int64_t last = std::min(span.lastDay, DayNumber(data.lastTickTime));
  std::vector<size_t> cursors(data.rows.size(), 0);
  const int64_t progressFirst = span.wholeRange ? first : span.rangeFirstDay;
  const int64_t days = span.wholeRange ? std::max<int64_t>(0, last - first + 1) : span.rangeDays;
  for (int64_t d = first; d <= last; ++d) {
    status.SetProgress(RunCounter::DaysWritten, d - progressFirst, days);
    const double day = static_cast<double>(d);
    status.SetStatusDetail(FormatDateTimeText(day));
    SetJob job;
    job.intraday = true;
    for (size_t k = 0; k < data.rows.size(); ++k) {
      const TickRow& row = data.rows[k];
      size_t& cursor = cursors[k];
      // Each row is in time order and days come in ascending order, so the
      // walk stops at the first bar of another day.
      // A tick's day is that of its UTC-5 time turned back to the data clock.
      while (cursor < row.bars.size()) {
        const double tickTime = KeptBarTickTime(row.bars[cursor]);
        if (DayNumber(MinusFiveToPlusOne(tickTime)) != d) break;
        if (BarStorable(row.bars[cursor])) job.AddBar(row.symbol, row.bars[cursor], tickTime);
        else ++s.unstorableBars[row.symbol];
        ++cursor;
      }
    }
    if (!job.dayBars.empty()) {
      const std::string folderName = MonthFolderName(day);
      std::error_code ec;
      const fs::path folder = omz::PathIn(platform::PathFromUtf8(output), folderName);
      fs::create_directory(folder, ec);
      job.folder = platform::Utf8FromPath(folder);
      if (s.cleanedFolders.insert(folderName).second) omz::RemoveLeftoverArchiveTemporaries(folder);
      job.base = IntradayBaseName(day);
      pipeline.Submit(std::move(job));
    }
    if (pipeline.Failed()) return finish();
    if (status.StopRequested()) return finish();
  }
  if (span.wholeRange) status.SetProgress(RunCounter::DaysWritten, days, days);
  else status.SetProgress(RunCounter::DaysWritten, std::min(days, span.lastDay - progressFirst + 1), days);
  return finish();
}

bool TArchiveExport::Finish(RunNotes& notes) {
  State& s = *state_;
  for (std::string& text : s.skipped) notes.skippedSets.push_back(std::move(text));
  // Sets finish in any order on several workers; the note lists them by name.
  std::sort(s.leftOut.begin(), s.leftOut.end());
  for (std::string& text : s.leftOut) notes.leftOutData.push_back(std::move(text));
  for (const auto& [symbol, count] : s.unstorableBars)
    notes.leftOutData.push_back("\"" + symbol + "\": " + std::to_string(count) + (count == 1 ? " bar" : " bars") +
                                " with a price no tick size can hold");
  s.skipped.clear();
  s.leftOut.clear();
  s.unstorableBars.clear();
  if (s.failed) {
    ShowError(s.failureMessage);
    return false;
  }
  return true;
}

bool WriteArchives(const TRunSettings& settings, IRunStatus& status, CollectedData& data, RunNotes& notes,
                   const ExportOptions& options) {
  TArchiveExport exporter(settings, status, options);
  exporter.Write(data, WholeRangeSpan(settings));
  return exporter.Finish(notes);
}

}  // namespace vz::app
