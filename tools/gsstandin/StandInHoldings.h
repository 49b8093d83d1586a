#pragma once
// What the stand-in holds, as GlobalServer would after its imports and
// deletes: the day of every day archive (iYYMMDD) and the month of every
// monthly archive (dYYMM) whose import finished, less what a delete took
// since. Kept in a file across the stand-in's restarts, so that a test of
// several nights can ask which days GlobalServer lacks at the end: one
// "day YYYY-MM-DD" or "month YYYY-MM" per line, sorted.
#include <set>
#include <string>
#include <vector>

namespace vz::standin {

class THoldings {
public:
  // Reads what an earlier stand-in left in `path` (nothing when there is no
  // file); Save writes there.
  void Load(const std::string& path);
  bool Save() const;

  // The import wizard opened afresh: archives taken by an abandoned one
  // were never imported.
  void ImportStarted() { pending_.clear(); }
  // An archive path the file dialog took; held once the import finishes.
  void Accepted(const std::string& path);
  void ImportFinished();
  // The delete wizard's fields as typed: dates "MM>DD>YYYY", times
  // "HH>MM>SS", on GlobalServer's clock. The range's ends are midnights on
  // the data's clock shown on GlobalServer's, so each end names the day of
  // the nearest midnight. Every day from the first to the last is taken,
  // with the daily data of its month.
  void Deleted(const std::string& startDate, const std::string& endDate, const std::string& startTime,
               const std::string& endTime);

private:
  std::string path_;
  std::set<std::string> held_;
  std::vector<std::string> pending_;
};

}  // namespace vz::standin
