#include "SimServerStore.h"

#include <fstream>
#include <sstream>

#include "app/verify/VerifyArchive.h"
#include "bytes/ByteFields.h"
#include "support/ScratchDir.h"
#include "vuzuz/Dates.h"

namespace vz::test {

namespace fs = std::filesystem;

TSimServerStore::TSimServerStore(fs::path file) : file_(std::move(file)) { Load(); }

void TSimServerStore::DeleteDays(std::int64_t first, std::int64_t last) {
  std::erase_if(intraday_, [&](const auto& item) { return item.first.second >= first && item.first.second <= last; });
  std::erase_if(daily_, [&](const Key& key) { return key.second >= first && key.second <= last; });
  Save();
}

bool TSimServerStore::Import(const fs::path& path, std::string& why) {
  // Where the archive stands below its output folder: a day archive in its
  // month folder, a monthly one on its own.
  const std::string file = path.filename().generic_string();
  const std::string relative =
      file.starts_with("i") ? path.parent_path().filename().generic_string() + "/" + file : file;
  app::ArchivePlace place;
  if (!app::ParseArchivePlace(relative, place, why)) return false;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    why = "no such file";
    return false;
  }
  const std::string bytes = ReadFileBytes(path);
  app::ArchiveCheck check;
  app::CheckArchive(AsBytes(bytes), place, check);
  if (!check.damage.empty()) {
    why = check.damage.front();
    return false;
  }
  if (place.kind == app::ArchiveKind::Daily) {
    for (const auto& row : check.daily) daily_.insert({row.name, DayNumber(row.date)});
  } else {
    std::map<std::string, std::int64_t> ticks;
    for (const auto& tick : check.ticks) ++ticks[omz::TickSymbol(tick)];
    for (const auto& [symbol, count] : ticks) {
      IntradayDay& day = intraday_[{symbol, place.day}];
      ++day.imports;
      day.ticks += count;
    }
  }
  Save();
  return true;
}

// One line per entry: "I symbol day imports ticks" or "D symbol day".
// Symbols hold no blanks (the tests' own).
void TSimServerStore::Load() {
  std::ifstream in(file_);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind, symbol;
    std::int64_t day = 0;
    fields >> kind >> symbol >> day;
    if (kind == "I") {
      IntradayDay& held = intraday_[{symbol, day}];
      fields >> held.imports >> held.ticks;
    } else if (kind == "D") {
      daily_.insert({symbol, day});
    }
  }
}

// Whole or not at all: a run killed while GlobalServer writes would not
// leave GlobalServer half a store either.
void TSimServerStore::Save() const {
  std::ostringstream text;
  for (const auto& [key, held] : intraday_)
    text << "I " << key.first << ' ' << key.second << ' ' << held.imports << ' ' << held.ticks << '\n';
  for (const auto& key : daily_) text << "D " << key.first << ' ' << key.second << '\n';
  const fs::path temporary = fs::path(file_.string() + ".tmp");
  WriteFileBytes(temporary, text.str());
  fs::rename(temporary, file_);
}

}  // namespace vz::test
