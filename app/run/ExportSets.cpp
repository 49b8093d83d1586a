#include "app/run/ExportSets.h"

#include <ctime>
#include <exception>

#include "platform/FileSystem.h"
#include "vuzuz/OmzArchive.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzDescriptor.h"
#include "vuzuz/OmzFile.h"
#include "vuzuz/OmzIntraday.h"
#include "vuzuz/pkcmp/Pkcmp.h"

namespace vz::app {

namespace fs = std::filesystem;

namespace {

constexpr char kNoSpaceMessage[] = "Insufficient disk space";

// Flushes in flight at once: the file system commits concurrent flushes
// together, so a few of them cost little more than one.
constexpr int kCommitThreads = 4;
// Packed archives waiting for a committer; they are compressed, so this
// bounds little memory while keeping the packers busy.
constexpr size_t kMaxWaitingArchives = 8;

// What became of packing a set. A data error (a value the files cannot
// hold) skips that set; a write error ends the stage.
struct PackResult {
  bool writeFailed = false;
  std::string message;
  std::vector<std::string> leftOut;  // what the set's files could not hold, "base: what"
  bool hasArchive = false;           // false: nothing to write
  fs::path path;
  Bytes archive;
};

// Builds a set's files and packs them into the archive's bytes.
PackResult PackSet(const SetJob& job, std::vector<char>& work, const ExportOptions& options) {
  PackResult result;
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
    const uint32_t stamp = options.stampTime ? options.stampTime() : static_cast<uint32_t>(std::time(nullptr));
    if (!omz::BuildIntradayFiles(job.base, job.MakeTicks(), stamp, image, error,
                                 &leftOut)) {
      result.message = job.base + ": " + error.text;
      return result;
    }
    if (!image.dat.empty()) {
      files.emplace_back(job.base + ".DAT", std::move(image.dat));
      files.emplace_back(job.base + ".IDX", std::move(image.idx));
    }
  } else {
    Bytes dly;
    if (!omz::BuildDailyFile(job.daily, dly, error, &leftOut)) {
      result.message = job.base + ": " + error.text;
      return result;
    }
    if (!dly.empty()) files.emplace_back(job.base + ".DLY", std::move(dly));
  }
  for (const std::string& what : leftOut) result.leftOut.push_back(job.base + ": " + what);
  // Nothing left to hold: an archive already there stays as it is.
  if (files.size() == 1) return result;
  result.path = omz::PathIn(platform::PathFromUtf8(job.folder), job.base + ".omz");
  if (!omz::BuildArchive(files, work.data(), result.archive, error)) {
    result.writeFailed = true;
    result.message = "Can't write archive " + result.path.string() + ": " + error.text;
    return result;
  }
  result.hasArchive = true;
  return result;
}

// PackSet with any error it raises (memory exhausted) turned into a failed
// set, since nothing may escape a worker thread.
PackResult PackSetGuarded(const SetJob& job, std::vector<char>& work, const ExportOptions& options) {
  try {
    return PackSet(job, work, options);
  } catch (const std::exception& e) {
    PackResult result;
    result.writeFailed = true;
    result.message = "Can't write archive " + job.base + ".omz: " + e.what();
    return result;
  }
}

}  // namespace

void SetJob::AddBar(const std::string& symbol, const KeptBar& bar, double tickTime) {
  if (dayRuns.empty() || dayRuns.back().symbol != symbol) dayRuns.push_back({symbol, 0});
  ++dayRuns.back().count;
  dayBars.push_back({&bar, tickTime});
}

std::vector<omz::Tick> SetJob::MakeTicks() const {
  std::vector<omz::Tick> ticks;
  ticks.reserve(4 * dayBars.size());
  size_t next = 0;
  for (const DayRun& run : dayRuns) {
    omz::Tick tick;
    omz::SetTickSymbol(tick, run.symbol);
    tick.size = 0.0001;
    for (size_t n = 0; n < run.count; ++n, ++next) {
      const KeptBar& bar = *dayBars[next].bar;
      tick.dateTime = dayBars[next].tickTime;
      const double prices[4] = {bar.open, bar.high, bar.low, bar.close};
      const int32_t volumes[4] = {1, 1, 1, CloseTickVolume(bar.volume)};
      for (int k = 0; k < 4; ++k) {
        tick.price = prices[k];
        tick.volume = volumes[k];
        ticks.push_back(tick);
      }
    }
  }
  return ticks;
}

TSetPipeline::TSetPipeline(const ExportOptions& options) : options_(options) {
  if (options_.packThreads <= 0) {
    inlineWork_.resize(pkcmp::kImplodeWorkSize);
    return;
  }
  for (int i = 0; i < options_.packThreads; ++i) packers_.emplace_back([this] { PackWork(); });
  for (int i = 0; i < kCommitThreads; ++i) committers_.emplace_back([this] { CommitWork(); });
}

TSetPipeline::~TSetPipeline() { Finish(); }

void TSetPipeline::Submit(SetJob job) {
  if (packers_.empty()) {
    const uint64_t order = submitted_++;
    if (!Failed()) Pack(order, job, inlineWork_);
    return;
  }
  std::unique_lock lock(mutex_);
  jobSpace_.wait(lock, [&] { return jobs_.size() < packers_.size() || failed_; });
  if (failed_) return;
  jobs_.push_back({submitted_++, std::move(job)});
  jobReady_.notify_one();
}

void TSetPipeline::Finish() {
  // Packers first: they hand their archives to the committers.
  {
    std::lock_guard lock(mutex_);
    packClosing_ = true;
  }
  jobReady_.notify_all();
  for (std::thread& packer : packers_) packer.join();
  packers_.clear();
  {
    std::lock_guard lock(mutex_);
    commitClosing_ = true;
  }
  archiveReady_.notify_all();
  for (std::thread& committer : committers_) committer.join();
  committers_.clear();
}

bool TSetPipeline::Failed() {
  std::lock_guard lock(mutex_);
  return failed_;
}

std::string TSetPipeline::FailureMessage() {
  std::lock_guard lock(mutex_);
  return failureMessage_;
}

std::vector<std::string> TSetPipeline::TakeSkipped() {
  std::lock_guard lock(mutex_);
  return std::move(skipped_);
}

std::vector<std::string> TSetPipeline::TakeLeftOut() {
  std::lock_guard lock(mutex_);
  return std::move(leftOut_);
}

bool TSetPipeline::Dropped(uint64_t order) const { return failed_ && order > failedOrder_; }

void TSetPipeline::Fail(uint64_t order, const std::string& message) {
  std::lock_guard lock(mutex_);
  if (!failed_ || order < failedOrder_) {
    failedOrder_ = order;
    failureMessage_ = message;
  }
  failed_ = true;
  jobSpace_.notify_all();
  archiveSpace_.notify_all();
}

void TSetPipeline::Pack(uint64_t order, const SetJob& job, std::vector<char>& work) {
  PackResult result = PackSetGuarded(job, work, options_);
  if (result.writeFailed) {
    Fail(order, result.message);
    return;
  }
  std::unique_lock lock(mutex_);
  if (!result.message.empty()) skipped_.push_back(result.message);
  leftOut_.insert(leftOut_.end(), result.leftOut.begin(), result.leftOut.end());
  if (!result.hasArchive) return;
  Packed packed{order, std::move(result.path), std::move(result.archive)};
  if (committers_.empty()) {
    lock.unlock();
    Commit(packed);
    return;
  }
  archiveSpace_.wait(lock, [&] { return archives_.size() < kMaxWaitingArchives || Dropped(order); });
  if (Dropped(order)) return;
  archives_.push_back(std::move(packed));
  archiveReady_.notify_one();
}

void TSetPipeline::Commit(const Packed& packed) {
  omz::Failure error;
  bool written = false;
  try {
    written = omz::WriteFileAtomically(packed.path, packed.archive, error);
  } catch (const std::exception& e) {
    error.text = e.what();
  }
  if (!written) Fail(packed.order, "Can't write archive " + packed.path.string() + ": " + error.text);
}

void TSetPipeline::PackWork() {
  std::vector<char> work(pkcmp::kImplodeWorkSize);
  while (true) {
    Queued queued;
    {
      std::unique_lock lock(mutex_);
      jobReady_.wait(lock, [&] { return !jobs_.empty() || packClosing_; });
      if (jobs_.empty()) return;
      queued = std::move(jobs_.front());
      jobs_.pop_front();
      jobSpace_.notify_one();
      if (Dropped(queued.order)) continue;
    }
    Pack(queued.order, queued.job, work);
  }
}

void TSetPipeline::CommitWork() {
  while (true) {
    Packed packed;
    {
      std::unique_lock lock(mutex_);
      archiveReady_.wait(lock, [&] { return !archives_.empty() || commitClosing_; });
      if (archives_.empty()) return;
      packed = std::move(archives_.front());
      archives_.pop_front();
      archiveSpace_.notify_one();
      if (Dropped(packed.order)) continue;
    }
    Commit(packed);
  }
}

}  // namespace vz::app
