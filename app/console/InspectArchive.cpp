#include "app/console/InspectArchive.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

#include "vuzuz/OmzArchive.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzDescriptor.h"
#include "vuzuz/OmzFile.h"
#include "vuzuz/OmzIntraday.h"
#include "vuzuz/Omzcreate.h"

namespace fs = std::filesystem;

namespace vz::app {

namespace {

using namespace std::chrono;

// Y-M-D of a day number (days since 1899-12-30).
std::string FormatDay(long day) {
  const year_month_day ymd{sys_days{1899y / December / 30} + days{day}};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()));
  return text;
}

std::string FormatDateTime(double dateTime) {
  const double day = std::floor(dateTime);
  const long minutes = std::lround((dateTime - day) * 1440);
  char text[48];
  std::snprintf(text, sizeof text, " %02ld:%02ld", minutes / 60, minutes % 60);
  return FormatDay(static_cast<long>(day)) + text;
}

// A price with as many decimals as its tick size has.
std::string FormatPrice(double price, double tick) {
  int decimals = 0;
  while (decimals < 9 && tick < 0.999999 * std::pow(10.0, -decimals)) ++decimals;
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, price);
  return text;
}

// How far --dump expands one entry: the size of the largest archive it reads,
// far beyond any day of ticks the export writes, yet bounded, so that a
// hostile archive cannot make it take all memory.
constexpr size_t kDumpMaxEntry = size_t{1} << 30;
constexpr size_t kDumpMaxArchive = size_t{1} << 30;

// The archive's entries, each expanded up to `maxExpanded` bytes.
bool LoadArchive(const std::string& archive, std::vector<omz::ArchiveEntry>& entries, size_t maxExpanded,
                 std::ostream& err) {
  vz::Bytes bytes;
  omz::Failure error;
  std::error_code ec;
  if (fs::is_directory(archive, ec)) {
    err << "error: " << archive << " is a folder, not an .omz archive\n";
    return false;
  }
  if (!omz::ReadWholeFile(archive, bytes, error, kDumpMaxArchive)) {
    err << "error: " << error << "\n";
    return false;
  }
  if (!omz::ReadArchive(bytes, entries, error, maxExpanded)) {
    err << "error: " << archive << " is not an .omz archive: " << error << "\n";
    return false;
  }
  return true;
}

bool DumpDaily(const vz::Bytes& data, std::ostream& out, std::ostream& err, const std::string& name) {
  std::vector<omz::DailyBlock> blocks;
  omz::Failure error;
  if (!omz::ReadDailyFile(data, blocks, error)) {
    err << "error: " << name << ": " << error << "\n";
    return false;
  }
  out << "  symbol date open high low close volume\n";
  for (const omz::DailyBlock& block : blocks)
    for (const omz::DailyRow& row : omz::DailyRowsOf({block}))
      out << "  " << row.name << " " << FormatDay(static_cast<long>(row.date)) << " "
          << FormatPrice(row.open, row.size) << " " << FormatPrice(row.high, row.size) << " "
          << FormatPrice(row.low, row.size) << " " << FormatPrice(row.close, row.size) << " " << row.volume << "\n";
  return true;
}

bool DumpIntraday(const vz::Bytes& dat, const vz::Bytes* idx, std::ostream& out, std::ostream& err,
                  const std::string& name) {
  if (!idx) {
    err << "error: " << name << " has no index entry\n";
    return false;
  }
  omz::IntradayContents contents;
  omz::Failure error;
  if (!omz::ReadIntradayFiles(dat, *idx, contents, error)) {
    err << "error: " << name << ": " << error << "\n";
    return false;
  }
  out << "  symbol date time price volume\n";
  for (const omz::Tick& tick : contents.ticks)
    out << "  " << omz::TickSymbol(tick) << " " << FormatDateTime(tick.dateTime) << " "
        << FormatPrice(tick.price, tick.size) << " " << tick.volume << "\n";
  return true;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int RunUnzipCommand(const std::string& archive, const std::string& dir, bool force, std::ostream& out,
                    std::ostream& err) {
  std::vector<omz::ArchiveEntry> entries;
  // Only the names are needed here; the unpacker expands to disk.
  if (!LoadArchive(archive, entries, 0, err)) return 1;
  std::error_code ec;
  if (!force) {
    for (const omz::ArchiveEntry& entry : entries) {
      const fs::path target = fs::path(dir) / entry.name;
      if (!fs::exists(fs::symlink_status(target, ec))) continue;
      err << "error: " << target.string() << " exists; --force replaces it\n";
      return 1;
    }
  }
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir, ec)) {
    err << "error: cannot create the folder " << dir << "\n";
    return 1;
  }
  omz::TOMZCompressor unpacker(dir);
  const bool ok = unpacker.OMZUnzip(fs::absolute(archive, ec).string());
  for (const omz::ArchiveEntry& entry : entries)
    if (fs::exists(fs::path(dir) / entry.name, ec)) out << (fs::path(dir) / entry.name).string() << "\n";
  if (!ok) {
    err << "error: " << unpacker.LastError() << "\n";
    return 1;
  }
  return 0;
}

int RunDumpCommand(const std::string& archive, std::ostream& out, std::ostream& err) {
  std::vector<omz::ArchiveEntry> entries;
  if (!LoadArchive(archive, entries, kDumpMaxEntry, err)) return 1;
  std::map<std::string, const vz::Bytes*> byName;
  for (const omz::ArchiveEntry& entry : entries)
    if (entry.expanded) byName[entry.name] = &entry.data;

  bool ok = true;
  out << archive << ": " << entries.size() << " entries\n";
  for (const omz::ArchiveEntry& entry : entries) {
    out << "entry " << entry.name << " at " << entry.offset << ": " << entry.packedSize << " packed bytes";
    if (entry.error.code == omz::Error::kEntryTooLarge) {
      out << ", expands beyond " << (kDumpMaxEntry >> 20) << " MiB\n";
      err << "error: entry " << entry.name << " expands beyond " << (kDumpMaxEntry >> 20)
          << " MiB, more than --dump reads; --unzip extracts it\n";
      ok = false;
      continue;
    }
    if (!entry.expanded) {
      out << ", does not expand\n";
      err << "error: entry " << entry.name << " does not expand (code " << entry.explodeResult << ")\n";
      ok = false;
      continue;
    }
    out << ", " << entry.data.size() << " bytes\n";
    const std::string& name = entry.name;
    if (EndsWith(name, ".DLY")) {
      ok = DumpDaily(entry.data, out, err, name) && ok;
    } else if (EndsWith(name, ".DAT")) {
      const auto idx = byName.find(name.substr(0, name.size() - 4) + ".IDX");
      ok = DumpIntraday(entry.data, idx == byName.end() ? nullptr : idx->second, out, err, name) && ok;
    } else if (name.find('.') == std::string::npos) {
      const bool plain = entry.data == omz::BuildDescriptorFile();
      out << "  descriptor" << (plain ? "" : " (unusual bytes)") << "\n";
    }
  }
  return ok ? 0 : 1;
}

}  // namespace vz::app
