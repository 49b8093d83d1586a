#include "app/run/Export.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <filesystem>
#include <map>
#include <set>
#include <mutex>
#include <system_error>
#include <thread>

#include "vuzuz/Dates.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzDescriptor.h"
#include "vuzuz/OmzFile.h"
#include "vuzuz/OmzIntraday.h"
#include "vuzuz/OmzNumbers.h"
#include "vuzuz/OmzArchive.h"
#include "vuzuz/pkcmp/Pkcmp.h"
#include "vuzuz/ShowError.h"
#include "platform/FileSystem.h"

namespace vz::app {

namespace fs = std::filesystem;

namespace {

constexpr char kNoSpaceMessage[] = "Insufficient disk space";

std::string TwoDigits(int n) {
  return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

// One file set to write and pack: a month of daily rows or a day of ticks.
struct SetJob {
  std::string base;
  std::string folder;  // where the set and its archive go
  bool intraday = false;
  std::vector<omz::DailyRow> daily;
  std::vector<omz::Tick> ticks;
};

// What became of a set. A data error (a value the files cannot hold) skips
// that set; a write error ends the stage.
struct SetResult {
  bool writeFailed = false;
  std::string message;
  std::vector<std::string> leftOut;  // what the set's files could not hold, "base: what"
};

// Builds a set's files, packs them and writes the archive. The archive
// replaces an existing one only once it is complete on disk (written under
// a temporary name and renamed).
SetResult WriteAndPack(const SetJob& job, std::vector<char>& work, const ExportOptions& options) {
  SetResult result;
  omz::Failure error;
  if (job.intraday && options.freeSpace(job.folder) < kMinFreeBytes) {
    result.writeFailed = true;
    result.message = kNoSpaceMessage;
    return result;
  }
  std::vector<omz::ArchiveFile> files;
  files.emplace_back(job.base, omz::BuildDescriptorFile());
  // What the files cannot hold is left out of the set, not the whole set:
  // one security's bad price never costs the others their day or month.
  std::vector<std::string> leftOut;
  if (job.intraday) {
    omz::IntradayImage image;
    if (!omz::BuildIntradayFiles(job.base, job.ticks, static_cast<uint32_t>(std::time(nullptr)), image, error,
                                 &leftOut)) {
      result.message = job.base + ": " + error.text;
      return result;
    }
    if (!image.dat.empty()) {
      files.emplace_back(job.base + ".DAT", std::move(image.dat));
      files.emplace_back(job.base + ".IDX", std::move(image.idx));
    }
  } else {
    vz::Bytes dly;
    if (!omz::BuildDailyFile(job.daily, dly, error, &leftOut)) {
      result.message = job.base + ": " + error.text;
      return result;
    }
    if (!dly.empty()) files.emplace_back(job.base + ".DLY", std::move(dly));
  }
  for (const std::string& what : leftOut) result.leftOut.push_back(job.base + ": " + what);
  // Nothing left to hold: an archive already there stays as it is.
  if (files.size() == 1) return result;
  vz::Bytes archive;
  const fs::path path = omz::PathIn(platform::PathFromUtf8(job.folder), job.base + ".omz");
  if (!omz::BuildArchive(files, work.data(), archive, error) || !omz::WriteFileAtomically(path, archive, error)) {
    result.writeFailed = true;
    result.message = "Can't write archive " + path.string() + ": " + error.text;
  }
  return result;
}

// WriteAndPack with any error it raises (memory exhausted) turned into a
// failed set, since nothing may escape a worker thread.
SetResult WriteAndPackGuarded(const SetJob& job, std::vector<char>& work, const ExportOptions& options) {
  try {
    return WriteAndPack(job, work, options);
  } catch (const std::exception& e) {
    SetResult result;
    result.writeFailed = true;
    result.message = "Can't write archive " + job.base + ".omz: " + e.what();
    return result;
  }
}

// Writes and packs sets on worker threads, in the order they are handed
// over when there is one worker. Once a set fails to be written, the sets
// not yet begun are dropped.
class TSetPipeline {
public:
  TSetPipeline(const ExportOptions& options) : options_(options) {
    for (int i = 0; i < options_.packThreads; ++i) workers_.emplace_back([this] { Work(); });
  }
  ~TSetPipeline() { Finish(); }

  // Hands a set over; with no workers it is written at once.
  void Submit(SetJob job) {
    if (workers_.empty()) {
      if (!failed_) Record(WriteAndPackGuarded(job, inlineWork_, options_));
      return;
    }
    std::unique_lock lock(mutex_);
    // At most one waiting set per worker bounds the memory in flight.
    spaceFree_.wait(lock, [&] { return queue_.size() < workers_.size() || failed_; });
    if (failed_) return;
    queue_.push_back(std::move(job));
    jobReady_.notify_one();
  }

  // Waits until every set handed over is done.
  void Finish() {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    jobReady_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
  }

  bool Failed() {
    std::lock_guard lock(mutex_);
    return failed_;
  }
  std::string FailureMessage() {
    std::lock_guard lock(mutex_);
    return failureMessage_;
  }
  std::vector<std::string> TakeSkipped() {
    std::lock_guard lock(mutex_);
    return std::move(skipped_);
  }
  std::vector<std::string> TakeLeftOut() {
    std::lock_guard lock(mutex_);
    return std::move(leftOut_);
  }

private:
  void Record(const SetResult& result) {
    std::lock_guard lock(mutex_);
    if (result.writeFailed) {
      if (!failed_) failureMessage_ = result.message;
      failed_ = true;
      spaceFree_.notify_all();
    } else if (!result.message.empty()) {
      skipped_.push_back(result.message);
    }
    leftOut_.insert(leftOut_.end(), result.leftOut.begin(), result.leftOut.end());
  }

  void Work() {
    std::vector<char> work(pkcmp::kImplodeWorkSize);
    while (true) {
      SetJob job;
      {
        std::unique_lock lock(mutex_);
        jobReady_.wait(lock, [&] { return !queue_.empty() || closing_; });
        if (queue_.empty()) return;
        job = std::move(queue_.front());
        queue_.pop_front();
        spaceFree_.notify_one();
        if (failed_) continue;
      }
      Record(WriteAndPackGuarded(job, work, options_));
    }
  }

  const ExportOptions& options_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable jobReady_;
  std::condition_variable spaceFree_;
  std::deque<SetJob> queue_;
  bool closing_ = false;
  bool failed_ = false;
  std::string failureMessage_;
  std::vector<std::string> skipped_;
  std::vector<std::string> leftOut_;
  std::vector<char> inlineWork_ = std::vector<char>(pkcmp::kImplodeWorkSize);
};

// Months as year * 12 + month - 1.
int MonthIndex(double value) {
  const DateTimeParts parts = DecodeDateTime(std::floor(value));
  return parts.year * 12 + parts.month - 1;
}

// A bar whose prices all fit some tick size; one that does not is left
// out alone, so the rest of its security's day is still written.
bool BarStorable(const KeptBar& bar) {
  for (double price : {bar.open, bar.high, bar.low, bar.close})
    if (!omz::PriceFitsSomeTick(price)) return false;
  return true;
}

void AppendTicks(const TickRow& row, const KeptBar& bar, std::vector<omz::Tick>& ticks) {
  omz::Tick tick;
  omz::SetTickSymbol(tick, row.symbol);
  tick.dateTime = bar.time;
  tick.size = 0.0001;
  const double prices[4] = {bar.open, bar.high, bar.low, bar.close};
  const int32_t volumes[4] = {1, 1, 1, CloseTickVolume(bar.volume)};
  for (int k = 0; k < 4; ++k) {
    tick.price = prices[k];
    tick.volume = volumes[k];
    ticks.push_back(tick);
  }
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

bool WriteArchives(const TRunSettings& settings, IRunStatus& status, CollectedData& data, RunNotes& notes,
                   const ExportOptions& givenOptions) {
  ExportOptions options = givenOptions;
  if (!options.freeSpace) options.freeSpace = FolderFreeSpace;
  options.packThreads = std::max(0, options.packThreads);
  const std::string output = settings.output;
  // Temporary archives a killed run left behind go before this run writes
  // into a folder (each folder before its first set is handed over, so
  // this run's own temporaries are never among them).
  omz::RemoveLeftoverArchiveTemporaries(platform::PathFromUtf8(output));
  std::set<std::string> cleanedFolders;
  TSetPipeline pipeline(options);
  std::map<std::string, size_t> unstorableBars;  // intraday bars left out, per symbol
  // Every end waits for the sets handed over, so a stop or a failure
  // leaves only whole archives behind.
  auto finish = [&] {
    pipeline.Finish();
    std::vector<TickRow>().swap(data.rows);
    for (std::string& text : pipeline.TakeSkipped()) notes.skippedSets.push_back(std::move(text));
    std::vector<std::string> leftOut = pipeline.TakeLeftOut();
    // Sets finish in any order on several workers; the note lists them by name.
    std::sort(leftOut.begin(), leftOut.end());
    for (std::string& text : leftOut) notes.leftOutData.push_back(std::move(text));
    for (const auto& [symbol, count] : unstorableBars)
      notes.leftOutData.push_back("\"" + symbol + "\": " + std::to_string(count) +
                                  (count == 1 ? " bar" : " bars") + " with a price no tick size can hold");
    if (pipeline.Failed()) {
      ShowError(pipeline.FailureMessage());
      return false;
    }
    return true;
  };

  status.SetStatus("Exporting daily data...");
  // The rows of each month in table order: a stable bucketing by month
  // gives what one walk of the table per month would.
  const int firstMonth = MonthIndex(settings.from);
  const int lastMonth = MonthIndex(settings.to);
  std::vector<std::vector<size_t>> monthRows(
      static_cast<size_t>(std::max(0, lastMonth - firstMonth + 1)));
  for (size_t i = 0; i < data.daily.size(); ++i) {
    const int m = MonthIndex(data.daily[i].date);
    if (m >= firstMonth && m <= lastMonth) monthRows[static_cast<size_t>(m - firstMonth)].push_back(i);
  }
  const int64_t months = std::max(0, lastMonth - firstMonth + 1);
  for (int m = firstMonth; m <= lastMonth; ++m) {
    status.SetProgress(RunCounter::MonthsWritten, m - firstMonth, months);
    const int year = m / 12, month = m % 12 + 1;
    status.SetStatusDetail(TwoDigits(month) + "." + TwoDigits(year % 100));
    const std::vector<size_t>& rows = monthRows[static_cast<size_t>(m - firstMonth)];
    if (!rows.empty()) {
      SetJob job;
      job.base = "d" + TwoDigits(year % 100) + TwoDigits(month);
      job.folder = output;
      job.daily.reserve(rows.size());
      for (size_t i : rows) job.daily.push_back(data.daily[i]);
      pipeline.Submit(std::move(job));
    }
    if (pipeline.Failed()) return finish();
    if (status.StopRequested()) return finish();
  }

  status.SetProgress(RunCounter::MonthsWritten, months, months);
  status.SetStatus("Exporting intraday data...");
  const int64_t first = std::max(DayNumber(settings.from), DayNumber(data.firstTickTime));
  const int64_t last = std::min(DayNumber(settings.to), DayNumber(data.lastTickTime));
  std::vector<size_t> cursors(data.rows.size(), 0);
  const int64_t days = std::max<int64_t>(0, last - first + 1);
  for (int64_t d = first; d <= last; ++d) {
    status.SetProgress(RunCounter::DaysWritten, d - first, days);
    const double day = static_cast<double>(d);
    status.SetStatusDetail(FormatDateTimeText(day));
    SetJob job;
    job.intraday = true;
    for (size_t k = 0; k < data.rows.size(); ++k) {
      const TickRow& row = data.rows[k];
      size_t& cursor = cursors[k];
      // Each row is in time order and days come in ascending order, so the
      // walk stops at the first bar of another day.
      while (cursor < row.bars.size() && DayNumber(MinusFiveToPlusOne(row.bars[cursor].time)) == d) {
        if (BarStorable(row.bars[cursor])) AppendTicks(row, row.bars[cursor], job.ticks);
        else ++unstorableBars[row.symbol];
        ++cursor;
      }
    }
    if (!job.ticks.empty()) {
      const std::string folderName = MonthFolderName(day);
      std::error_code ec;
      const fs::path folder = omz::PathIn(platform::PathFromUtf8(output), folderName);
      fs::create_directory(folder, ec);
      job.folder = platform::Utf8FromPath(folder);
      if (cleanedFolders.insert(folderName).second) omz::RemoveLeftoverArchiveTemporaries(folder);
      job.base = IntradayBaseName(day);
      pipeline.Submit(std::move(job));
    }
    if (pipeline.Failed()) return finish();
    if (status.StopRequested()) return finish();
  }
  status.SetProgress(RunCounter::DaysWritten, days, days);
  return finish();
}

}  // namespace vz::app
