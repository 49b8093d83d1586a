#pragma once
// The bundled sample directory and large directories for benchmarks, both
// generated deterministically.
#include <filesystem>
#include <string>

#include "tools/msgen/MsGen.h"

namespace vz::msgen {

// Last trading day of every generated directory.
inline constexpr int32_t kSampleLastDate = 20261130;

// The sample: 40 daily securities over five years (5, 6 and 7 fields; four of
// them listed only in XMASTER) and 12 intraday securities of 1 and 5 minutes
// over three months (8 fields; one of them in XMASTER). Names carry period
// prefixes (D1_, M1_, M5_) and some symbols are 12 to 14 characters long.
MsGenDirectory SampleDirectory();
bool WriteSampleDirectory(const std::filesystem::path& dir, std::string* error = nullptr);

// A large directory for benchmarks. size 1.0 holds 200 intraday 1-minute
// securities over three months and 2,000 daily securities over ten years
// (about 300 MB); smaller sizes scale both counts down, keeping at least one
// of each. Securities are generated and written one at a time, so memory
// stays small.
bool WriteLargeDirectory(const std::filesystem::path& dir, double size, std::string* error = nullptr);

// A directory of intraday securities only, for memory and scale benchmarks:
// `securities` securities of `intervalMinutes` bars over the weekdays from
// `firstDate` to `lastDate` (YYYYMMDD), trading 09:30 to 16:00. Written one
// security at a time.
bool WriteIntradayDirectory(const std::filesystem::path& dir, int securities, int intervalMinutes, int32_t firstDate,
                            int32_t lastDate, std::string* error = nullptr);

// A directory of daily securities only: `securities` securities with a bar
// on every weekday from `firstDate` to the last generated day.
bool WriteDailyDirectory(const std::filesystem::path& dir, int securities, int32_t firstDate,
                         std::string* error = nullptr);

}  // namespace vz::msgen
