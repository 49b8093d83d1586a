#pragma once
// Reading the price data files F<n>.DAT (n < 256) and F<n>.MWD (layout and
// field mask bits: MsPriceLayout.h).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "metastock/MsDirectory.h"
#include "metastock/MsPriceLayout.h"

namespace vz {

// One price record decoded, in 32 bytes: the prices, the volume and the
// open interest are the 32-bit floats the file stores, so a float holds
// each exactly. This is what the conversion reads; MsBar below carries the
// same values as doubles.
struct MsPriceBar {
  int64_t time = 0;  // UTC seconds of date and time (seconds dropped)
  float open = 0.0f;
  float high = 0.0f;
  float low = 0.0f;
  float close = 0.0f;
  float volume = 0.0f;
  float openInterest = 0.0f;
};
static_assert(sizeof(MsPriceBar) == 32, "a decoded price record takes 32 bytes");

// The same record with double fields, for callers that compute with them.
struct MsBar {
  int64_t time = 0;  // UTC seconds of date and time (seconds dropped)
  double open = 0.0;
  double high = 0.0;
  double low = 0.0;
  double close = 0.0;
  double volume = 0.0;
  double openInterest = 0.0;
};

// A decoded record as an MsBar (every float converts exactly).
MsBar MsWideBar(const MsPriceBar& bar);

// Whether the decoder may convert whole records with AVX2 where the
// processor has it (allowed unless told otherwise); the result says
// whether it now does. The bars are the same either way: for tests and
// benchmarks that compare the two.
bool MsAllowAvx2PriceDecoding(bool allowed);

// "F<n>.DAT" (n below 256) or "F<n>.MWD": the data file name of a file number.
std::string MsDataFileBaseName(int32_t fileNumber);
// Path of the data file of a file number, matched without regard to case;
// "F<n>.DAT" / "F<n>.MWD" when no such entry exists yet.
std::string MsDataFileName(const MsDirectory& dir, int32_t fileNumber);

// Every price record of the security, in file order, decoded into bars (the
// vector is resized to exactly the count returned); -1 when the security is
// not in use or its data file can be neither opened nor created (bars then
// stay as they were), and when reading fails (bars emptied if the failure
// comes after the first 256 KiB); dir.readFailure then says why. A data
// file that is not a regular file (a folder, a pipe, a device, a link loop)
// is refused at once. Sets the read lock bit around the read, except in a
// directory opened only to look (MsOpenDirectoryToRead), where nothing is
// written and a missing data file is not created.
int32_t MsReadBars(MsDirectory& dir, MsSecurity& security, std::vector<MsPriceBar>& bars);
// The same bars as MsBar: one decoder serves both, so the values agree.
int32_t MsReadBars(MsDirectory& dir, MsSecurity& security, std::vector<MsBar>& bars);
// Opens the data file (creating an empty one only when none exists) and
// sets recordCount; 1 / 0.
int MsOpenDataFile(MsDirectory& dir, MsSecurity& security);
// Writes an empty data file (one header record) when none exists; 1 / 0.
int MsCreateDataFile(MsDirectory& dir, MsSecurity& security);

// Decodes a whole data file. The count is bounded by the whole records
// present; fields the mask selects beyond the record's width read as 0, and
// a record without a date field has time 0. Returns the number of bars.
int32_t MsDecodeBars(std::span<const uint8_t> file, int32_t fieldCount, int32_t fieldMask,
                     std::vector<MsPriceBar>& bars);
int32_t MsDecodeBars(std::span<const uint8_t> file, int32_t fieldCount, int32_t fieldMask, std::vector<MsBar>& bars);

}  // namespace vz
