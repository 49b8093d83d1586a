#pragma once
// How the export turns one file set (a month of daily rows or a day of
// ticks) into an archive on disk, and the threads that do it while the
// export gathers the next sets.
//
// A set goes through two steps: packing (build the set's files, compress
// them into the archive's bytes; processor work) and committing (write the
// archive under a temporary name, flush it to the disk, rename it over the
// final name; mostly waiting for the disk). Each step has its own workers,
// so that packing never waits for a flush, and several flushes are in
// flight at once (the file system serves them together).
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/run/Collection.h"
#include "app/run/Export.h"
#include "bytes/ByteFields.h"
#include "vuzuz/OmzTypes.h"

namespace vz::app {

// One kept bar of a day set, with the time its ticks carry.
struct DayBar {
  const KeptBar* bar = nullptr;
  double tickTime = 0;  // UTC-5 clock
};

// A security's bars in a day set, in a row of DayBar.
struct DayRun {
  std::string symbol;
  size_t count = 0;
};

// One file set to write and pack. A day set refers to the collection's
// kept bars, which outlive the pipeline, and its ticks are made only when
// it is packed: a set waiting in the pipeline costs 16 bytes a bar instead
// of the 192 of its four ticks.
struct SetJob {
  std::string base;
  std::string folder;  // where the set's archive goes
  bool intraday = false;
  std::vector<omz::DailyRow> daily;
  std::vector<DayRun> dayRuns;  // in the order their ticks are written
  std::vector<DayBar> dayBars;

  // Appends a bar to the day set, after the bars added before it.
  void AddBar(const std::string& symbol, const KeptBar& bar, double tickTime);
  // The set's ticks: four per bar (open, high, low, close), in order.
  std::vector<omz::Tick> MakeTicks() const;
};

// Packs and writes sets on worker threads, in the order they are handed
// over when there is one pack worker (archives may still land in another
// order: their flushes overlap). Once a set fails to be written, the sets
// handed over after it are dropped and those before it are still written;
// the failure reported is that of the earliest set that failed.
class TSetPipeline {
public:
  explicit TSetPipeline(const ExportOptions& options);
  ~TSetPipeline();
  TSetPipeline(const TSetPipeline&) = delete;
  TSetPipeline& operator=(const TSetPipeline&) = delete;

  // Hands a set over; with no workers it is packed and written at once.
  // Waits while the workers have a set waiting each, which bounds the
  // memory in flight.
  void Submit(SetJob job);
  // Waits until every set handed over is written (or dropped).
  void Finish();

  bool Failed();
  std::string FailureMessage();
  // Sets skipped for their data ("base: why"), and what the sets' files
  // could not hold ("base: what"), in no particular order.
  std::vector<std::string> TakeSkipped();
  std::vector<std::string> TakeLeftOut();

private:
  struct Packed {
    uint64_t order = 0;
    std::filesystem::path path;
    Bytes archive;
  };
  struct Queued {
    uint64_t order = 0;
    SetJob job;
  };

  void PackWork();
  void CommitWork();
  void Pack(uint64_t order, const SetJob& job, std::vector<char>& work);
  void Commit(const Packed& packed);
  // Records a set's failure to be written.
  void Fail(uint64_t order, const std::string& message);
  // Whether the set handed over as `order` is dropped after a failure;
  // with the mutex held.
  bool Dropped(uint64_t order) const;

  const ExportOptions& options_;
  std::vector<std::thread> packers_;
  std::vector<std::thread> committers_;
  std::mutex mutex_;
  std::condition_variable jobReady_;
  std::condition_variable jobSpace_;
  std::condition_variable archiveReady_;
  std::condition_variable archiveSpace_;
  std::deque<Queued> jobs_;
  std::deque<Packed> archives_;
  uint64_t submitted_ = 0;
  bool packClosing_ = false;
  bool commitClosing_ = false;
  bool failed_ = false;
  uint64_t failedOrder_ = 0;
  std::string failureMessage_;
  std::vector<std::string> skipped_;
  std::vector<std::string> leftOut_;
  std::vector<char> inlineWork_;
};

}  // namespace vz::app
