// Checking a directory description and writing its files to disk.
#include "tools/msgen/MsGen.h"

#include <fstream>
#include <set>
#include <system_error>

namespace vz::msgen {

namespace fs = std::filesystem;

namespace {

// Dates must stay exact as floats: (year - 1900) * 10000 + ... below 2^24.
constexpr int32_t kFirstDate = 19000101;
constexpr int32_t kLastDate = 29991231;
constexpr int32_t kLastTime = 235959;

std::string Describe(const MsGenSecurity& s) {
  return "security F" + std::to_string(s.fileNumber) + " '" + s.symbol + "'";
}

std::string CheckSecurity(const MsGenSecurity& s) {
  const size_t symbolMax = s.fileNumber <= kMaxMasterFileNumber ? kMaxSymbolLength : kMaxXmasterSymbolLength;
  if (s.symbol.size() > symbolMax)
    return Describe(s) + ": symbol longer than " + std::to_string(symbolMax) + " characters";
  if (s.name.size() > kMaxNameLength)
    return Describe(s) + ": name longer than " + std::to_string(kMaxNameLength) + " characters";
  if (s.symbol.find('\0') != std::string::npos || s.name.find('\0') != std::string::npos)
    return Describe(s) + ": text holds a zero byte";
  if (s.interval < 0 || s.interval > 0xFFFF) return Describe(s) + ": interval out of range";
  if (s.fieldCount < 0 || s.fieldCount > 63) return Describe(s) + ": field count out of range";
  if (FieldCountOfMask(s.fieldMask) == 0) return Describe(s) + ": field mask selects no field";
  if (s.bars.size() > kMaxBarsPerFile) return Describe(s) + ": too many bars for one data file";
  for (size_t i = 0; i < s.bars.size(); ++i) {
    const MsGenBar& bar = s.bars[i];
    if (bar.date < kFirstDate || bar.date > kLastDate || bar.time < 0 || bar.time > kLastTime)
      return Describe(s) + ": bar " + std::to_string(i) + " has a date or time out of range";
  }
  return {};
}

}  // namespace

bool WriteMsGenFile(const fs::path& dir, const MsGenFile& file, std::string* errorOut) {
  std::string unused;
  std::string& error = errorOut ? *errorOut : unused;
  const fs::path path = dir / file.name;
  const std::vector<uint8_t>& bytes = file.bytes;
  fs::path temp = path;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = "cannot create " + temp.string();
      return false;
    }
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      error = "cannot write " + temp.string();
      return false;
    }
  }
  std::error_code ec;
  fs::remove(path, ec);  // rename does not replace an existing file everywhere
  fs::rename(temp, path, ec);
  if (ec) {
    error = "cannot rename " + temp.string() + " to " + path.string() + ": " + ec.message();
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

std::string CheckDirectory(const MsGenDirectory& directory) {
  std::set<int> fileNumbers;
  for (const MsGenSecurity& s : directory.securities) {
    if (s.fileNumber < 1 || s.fileNumber > kMaxFileNumber) return Describe(s) + ": file number out of range";
    if (!fileNumbers.insert(s.fileNumber).second) return Describe(s) + ": file number listed twice";
    if (std::string problem = CheckSecurity(s); !problem.empty()) return problem;
  }
  return {};
}

bool WriteMetastockDirectory(const MsGenDirectory& directory, const fs::path& dir, std::string* error) {
  std::string reason = CheckDirectory(directory);
  if (reason.empty()) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) reason = "cannot create directory " + dir.string() + ": " + ec.message();
  }
  if (reason.empty()) {
    for (const MsGenFile& file : BuildMetastockFiles(directory))
      if (!WriteMsGenFile(dir, file, &reason)) break;
  }
  if (!reason.empty() && error) *error = reason;
  return reason.empty();
}

}  // namespace vz::msgen
