#pragma once
// --verify, the archives on their own: where an archive stands in an output
// folder (its name gives its month or day) and whether its bytes are a
// sound archive of that month or day. Only reads; archives are untrusted.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "bytes/ByteFields.h"
#include "vuzuz/OmzTypes.h"

namespace vz::app {

enum class ArchiveKind { Daily, Intraday };

// An archive the program writes: "dYYMM.omz" in the output folder itself or
// "YYYY_MM/iYYMMDD.omz" in the month folder of its day.
struct ArchivePlace {
  std::string relative;  // path below the output folder, '/'-separated
  std::string base;      // "d2610", "i261005"
  ArchiveKind kind = ArchiveKind::Daily;
  int month = 0;         // year * 12 + month - 1
  int64_t day = 0;       // intraday: the day number of its day
};

// The place of an archive from its path below the output folder; false,
// with the reason, for a name the program never writes (or a day archive
// in another month's folder).
bool ParseArchivePlace(const std::string& relative, ArchivePlace& place, std::string& why);

// The clock conversions (MinusFiveToPlusOne and the others) keep a cache
// that is not safe for two threads at once; --verify's threads hold this
// lock around them.
std::unique_lock<std::mutex> LockClock();

// The month index (year * 12 + month - 1) of a date-time.
int MonthOfDateTime(double value);

// What one archive holds and what is wrong with it.
struct ArchiveCheck {
  std::vector<std::string> damage;   // each fault found, in the order found
  std::vector<omz::DailyRow> daily;  // the rows of a daily archive, names as stored
  std::vector<omz::Tick> ticks;      // the ticks of a day archive, in file order
  size_t securities = 0;             // symbols it holds
  // The data files expanded (the .DLY, or the .DAT and the .IDX), when
  // every entry expanded.
  std::vector<Bytes> files;
};

// True when two images of a set's data files hold the same bytes, apart
// from the time stamps a run writes into the intraday headers.
bool SameDataFiles(ArchiveKind kind, const std::vector<Bytes>& a, const std::vector<Bytes>& b);

// Checks an archive's bytes: its entries read and expand, they are the
// descriptor and the data files of its kind and base name, each data file
// is as long as its header says and parses, the index's keys ascend and
// lead to each symbol's blocks in order, and every row lies in the
// archive's month and every tick in its day (on the data clock).
void CheckArchive(ByteView bytes, const ArchivePlace& place, ArchiveCheck& check);

}  // namespace vz::app
