#pragma once
// The data the simulated GlobalServer holds, kept in a file so that it
// outlives the program that drives it (a night's run may be killed): the
// intraday days and the daily rows of each symbol. The import wizard fills it
// from the archives it accepted, read as GlobalServer reads them; the delete
// wizard empties it over its range of days.
//
// What "held once" means here. GlobalServer keeps one daily row per symbol
// and day: importing a month's daily archive again over rows not deleted
// replaces them (Smart import does that every night, since a monthly
// archive holds its whole month while the delete covers only the run's
// range). Intraday ticks are added as they come: a day imported again
// without being deleted first is held twice, which is why Smart import
// deletes the range before importing. So a day is held once when each of
// its symbols has its daily row, or its intraday ticks from one import.
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace vz::test {

class TSimServerStore {
public:
  // The store kept in `file`, read from it when it exists.
  explicit TSimServerStore(std::filesystem::path file);

  // Removes every day from `first` to `last` (day numbers, both included).
  void DeleteDays(std::int64_t first, std::int64_t last);
  // Adds what the archive at `path` holds ("dYYMM.omz" or
  // "YYYY_MM/iYYMMDD.omz" at its end); false, with the reason, when it is
  // not an archive GlobalServer could import (nothing is added then).
  bool Import(const std::filesystem::path& path, std::string& why);

  // One symbol's intraday day: how often it was imported since it was last
  // deleted, and the ticks held.
  struct IntradayDay {
    int imports = 0;
    std::int64_t ticks = 0;
  };
  using Key = std::pair<std::string, std::int64_t>;  // symbol, day number
  const std::map<Key, IntradayDay>& Intraday() const { return intraday_; }
  // The daily rows: symbol (as the archive names it) and day.
  const std::set<Key>& Daily() const { return daily_; }

private:
  void Load();
  void Save() const;

  std::filesystem::path file_;
  std::map<Key, IntradayDay> intraday_;
  std::set<Key> daily_;
};

}  // namespace vz::test
