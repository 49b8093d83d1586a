#pragma once
// Writer of MetaStock directories for tests and benchmarks: a directory is
// described in code (securities and their bars) and written out as MASTER,
// EMASTER, XMASTER and one F<n>.DAT / F<n>.MWD data file per security, the
// way the programs that fill real directories write them.
//
// Securities with file numbers 1..255 are listed in MASTER and EMASTER and
// keep their prices in F<n>.DAT; securities with higher file numbers are
// listed only in XMASTER (written when there is at least one) and keep their
// prices in F<n>.MWD.
//
// Faults that real directories show can be switched on (MsGenFaults) so that
// readers can be tested against them.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vz::msgen {

// Field mask bits of a price record, as the data files and masters store them.
inline constexpr uint8_t kMaskDate = 0x0F;  // any of these: date, close, volume
inline constexpr uint8_t kMaskHigh = 0x08;
inline constexpr uint8_t kMaskLow = 0x10;
inline constexpr uint8_t kMaskOpen = 0x20;
inline constexpr uint8_t kMaskOpenInterest = 0x40;
inline constexpr uint8_t kMaskTime = 0x80;

// The masks real programs write.
inline constexpr uint8_t kMaskDhlcv = 0x1F;     // 5 fields: D,H,L,C,V
inline constexpr uint8_t kMaskDohlcv = 0x3F;    // 6 fields: D,O,H,L,C,V
inline constexpr uint8_t kMaskDohlcvi = 0x7F;   // 7 fields: D,O,H,L,C,V,OI
inline constexpr uint8_t kMaskDtohlcv = 0xBF;   // 7 fields: D,T,O,H,L,C,V
inline constexpr uint8_t kMaskDtohlcvi = 0xFF;  // 8 fields: D,T,O,H,L,C,V,OI

// Highest file number listed in MASTER/EMASTER (one byte there).
inline constexpr int kMaxMasterFileNumber = 255;
// Highest file number XMASTER can hold (uint16 there).
inline constexpr int kMaxFileNumber = 65535;
// Symbol widths: 14 characters in MASTER/EMASTER, 15 in XMASTER.
inline constexpr size_t kMaxSymbolLength = 14;
inline constexpr size_t kMaxXmasterSymbolLength = 15;
inline constexpr size_t kMaxNameLength = 45;
// A data file counts its records (header included) in a uint16.
inline constexpr size_t kMaxBarsPerFile = 65534;

// One price record. Dates and times are plain decimal numbers, exactly as
// they end up in the files: date YYYYMMDD, time HHMMSS.
struct MsGenBar {
  int32_t date = 0;
  int32_t time = 0;
  float open = 0;
  float high = 0;
  float low = 0;
  float close = 0;
  float volume = 0;
  float openInterest = 0;
};

struct MsGenSecurity {
  int fileNumber = 1;
  std::string symbol;
  std::string name;
  char period = 'D';  // 'D' daily, 'I' intraday
  int interval = 0;   // minutes, intraday only
  uint8_t fieldMask = kMaskDohlcvi;
  // Field count written into the masters; 0 writes the count the mask
  // selects. A different value makes a master disagree with its data file.
  int fieldCount = 0;
  // Start and end of the trading day in seconds since midnight (EMASTER).
  int dayStartSeconds = 0;
  int dayEndSeconds = 0;
  std::vector<MsGenBar> bars;
};

// How master and data file names are spelled on disk.
enum class MsGenNameCase {
  Upper,  // MASTER, F1.DAT
  Mixed,  // Master, F1.dat
  Lower,  // master, f1.dat
};

// Faults seen in real directories. All off by default.
struct MsGenFaults {
  bool omitEmaster = false;
  // EMASTER is an older copy: it lacks the last security that MASTER lists.
  bool staleEmaster = false;
  // Securities (by file number, 1..255) listed only in MASTER, or only in
  // EMASTER (a security deleted since; usually paired with missingFiles).
  std::vector<int> masterOnlyFiles;
  std::vector<int> emasterOnlyFiles;
  // EMASTER lists its records in the reverse order of MASTER.
  bool reversedEmaster = false;
  // EMASTER records that are not valid records: file number 0 and a field
  // count of 48 in the record of each of these file numbers.
  std::vector<int> malformedEmasterFiles;
  // The EMASTER header claims 255 records whatever the file holds.
  bool emasterCountBeyondFile = false;
  // Zero prices written as the word 0x02000000 (exponent byte 2, mantissa 0),
  // as writers do that add 2 to the exponent without treating 0.0 apart.
  bool sloppyZero = false;
  // Data files cut in the middle of their last record (header count kept).
  std::vector<int> truncatedFiles;
  // Data files not written at all.
  std::vector<int> missingFiles;
};

struct MsGenDirectory {
  std::vector<MsGenSecurity> securities;
  uint32_t stamp = 0x5A3C1E07;
  MsGenNameCase nameCase = MsGenNameCase::Upper;
  MsGenFaults faults;
};

// One file of a generated directory: its name and its whole contents.
struct MsGenFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

// Number of 4-byte fields a price record holds for a field mask.
int FieldCountOfMask(uint8_t mask);

// Empty when the description can be written, else the reason it cannot
// (file numbers out of range or repeated, texts too long, too many bars...).
std::string CheckDirectory(const MsGenDirectory& directory);

// The description must pass CheckDirectory before any of these is called.
// MASTER, EMASTER (unless omitted) and XMASTER (when a file number is above
// 255). Masters take their first and last dates from the first and last bar.
std::vector<MsGenFile> BuildMasterFiles(const MsGenDirectory& directory);
// The data file of one security, spelled and faulted as the directory says.
MsGenFile BuildDataFile(const MsGenDirectory& directory, const MsGenSecurity& security);
// Every file of the directory, in a fixed order (masters first, then data
// files in description order), less those the faults leave out.
std::vector<MsGenFile> BuildMetastockFiles(const MsGenDirectory& directory);

// Writes one file into dir, complete under a temporary name and then renamed
// into place. Returns false with *error set when a step fails.
bool WriteMsGenFile(const std::filesystem::path& dir, const MsGenFile& file, std::string* error = nullptr);

// Checks the description, creates dir if needed and writes every file,
// each one complete under a temporary name and then renamed into place.
// Returns false with *error set when the description is refused or a
// write fails.
bool WriteMetastockDirectory(const MsGenDirectory& directory, const std::filesystem::path& dir,
                             std::string* error = nullptr);

}  // namespace vz::msgen
