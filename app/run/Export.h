#pragma once
// The archive export: one daily archive per month that has daily bars
// (output/dYYMM.omz) and one intraday archive per day that has ticks
// (output/YYYY_MM/iYYMMDD.omz), from what the collection kept in memory.
#include <cstdint>
#include <functional>
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
};

// Free bytes available to this process on the volume of `folder` (0 when
// it cannot be told).
uint64_t FolderFreeSpace(const std::string& folder);

// "d" + YY + MM and "i" + YY + MM + DD of a date-time's day.
std::string DailyBaseName(double day);
std::string IntradayBaseName(double day);
// YYYY + "_" + MM of a date-time's day.
std::string MonthFolderName(double day);

// Writes the archives. False when the stage fails (too little free space,
// a file or archive that cannot be written): the reason has been shown with
// ShowError and archives already in the output stay as they were. True
// when done or stopped. A set whose values the files cannot hold is left
// out and named in `notes`. `data`'s intraday rows are released at the end.
bool WriteArchives(const TRunSettings& settings, IRunStatus& status, CollectedData& data, RunNotes& notes,
                   const ExportOptions& options = {});

}  // namespace vz::app
