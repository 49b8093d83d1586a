#pragma once
// The archive export: one daily archive per month that has daily bars
// (output/dYYMM.omz) and one intraday archive per day that has ticks
// (output/YYYY_MM/iYYMMDD.omz), from what the collection kept in memory.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/run/Collection.h"
#include "app/run/RunSettings.h"
#include "app/run/RunStatus.h"

namespace vz::app {

// Below this many free bytes no day set is written.
inline constexpr uint64_t kMinFreeBytes = 1000000;

struct ExportOptions {
  // Free bytes on the volume of a folder; the file system's answer unless a
  // test gives another.
  std::function<uint64_t(const std::string& folder)> freeSpace;
  // Worker threads that build and pack sets while the stage gathers the
  // next ones (0: everything on the calling thread, writing included). Two
  // keep both cores of a small machine packing; the packed archives are
  // written to the disk by threads of their own.
  int packThreads = 2;
  // The time stamped in the intraday files' headers (seconds since 1970);
  // the clock's unless a test fixes it.
  std::function<uint32_t()> stampTime;
};

// Free bytes available to this process on the volume of `folder` (0 when
// it cannot be told).
uint64_t FolderFreeSpace(const std::string& folder);

// "d" + YY + MM and "i" + YY + MM + DD of a date-time's day.
std::string DailyBaseName(double day);
std::string IntradayBaseName(double day);
// YYYY + "_" + MM of a date-time's day.
std::string MonthFolderName(double day);

// The months and days one export writes from the collection, and where its
// progress counts start and end (the whole range's, when a run converts
// its range in several windows).
struct ExportSpan {
  int firstMonth = 0;  // year * 12 + month - 1; firstMonth > lastMonth: no daily archives
  int lastMonth = -1;
  int64_t firstDay = 0;  // day numbers; the kept ticks narrow them further
  int64_t lastDay = -1;
  bool wholeRange = true;  // progress counts this span alone
  int rangeFirstMonth = 0, rangeMonths = 0;
  int64_t rangeFirstDay = 0, rangeDays = 0;
};

// The span of a whole range: all its months and days.
ExportSpan WholeRangeSpan(const TRunSettings& settings);

// Writes archives from one collection after another into one output; the
// notes on what was left out are gathered over all of them and given once
// at the end, as one export would give them.
class TArchiveExport {
public:
  TArchiveExport(const TRunSettings& settings, IRunStatus& status, const ExportOptions& options = {});
  ~TArchiveExport();
  TArchiveExport(const TArchiveExport&) = delete;
  TArchiveExport& operator=(const TArchiveExport&) = delete;

  // Writes the span's archives from `data` and releases its intraday rows.
  // False when a set could not be written (the stage fails; Finish then
  // shows why); true when done or stopped.
  bool Write(CollectedData& data, const ExportSpan& span);
  // Adds what was left out to `notes`, shows a failure with ShowError;
  // false when a set could not be written.
  bool Finish(RunNotes& notes);

private:
  struct State;
  std::unique_ptr<State> state_;
};

// Writes the archives. False when the stage fails (too little free space,
// a file or archive that cannot be written): the reason has been shown with
// ShowError and archives already in the output stay as they were. True
// when done or stopped. A set whose values the files cannot hold is left
// out and named in `notes`. `data`'s intraday rows are released at the end.
bool WriteArchives(const TRunSettings& settings, IRunStatus& status, CollectedData& data, RunNotes& notes,
                   const ExportOptions& options = {});

}  // namespace vz::app
