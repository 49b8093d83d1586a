#pragma once
// What the stages read of an open MetaStock directory: its security list and
// each security's bars. The real source wraps the MetaStock library; tests
// may give their own.
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "metastock/MsPriceData.h"

namespace vz::app {

// The fields of one security of the list that the run looks at.
struct SecurityEntry {
  bool inUse = false;
  bool hidden = false;
  int period = 0;  // period letter: 'I' intraday, 'D' daily
  int interval = 0;
  std::tm first{};  // full year in tm_year, month from 0
  std::tm last{};
  std::string symbol;
  std::string name;
  int fileNumber = 0;  // of F<n>.DAT / F<n>.MWD
};

// One price bar as the MetaStock library decodes it, 32 bytes: time in
// seconds since 1970-01-01 00:00 on the data's clock, prices and volume as
// the 32-bit floats the data files store (exact, nothing widened).
using BarEntry = MsPriceBar;

class IMsSource {
public:
  virtual ~IMsSource() = default;
  virtual int SecurityCount() const = 0;
  // Security q of the list, 0 <= q < SecurityCount().
  virtual SecurityEntry Security(int q) const = 0;
  // All bars of security q in file order. False, with no bars and the
  // reason in `why`, when its data could not be read: a missing data file
  // (which the read creates empty), one that cannot be opened or read.
  virtual bool ReadBars(int q, std::vector<BarEntry>& bars, std::string& why) = 0;
  // Closes the directory (unregisters this program); idempotent.
  virtual void Close() = 0;
  // After Close: why the closing could not finish (a full disk), "" when it
  // did. The directory then stays marked open until another program closes it.
  virtual std::string CloseFailure() const { return {}; }
  // Records of the directory's master files that the list leaves out
  // (garbled, counted but missing), each named as far as it can be.
  virtual std::vector<std::string> SkippedRecords() const { return {}; }
  // Price records of security q's data file as its size tells, without
  // reading it; -1 when that cannot be told. Sizes the run's memory.
  virtual int64_t RecordCount(int q) const {
    (void)q;
    return -1;
  }
};

// Opens the MetaStock directory `dir` as the program's registered user.
// None when it cannot be opened; `raised` tells that opening failed with an
// error rather than a plain refusal, `why` what the library said.
std::unique_ptr<IMsSource> OpenMsSource(const std::string& dir, bool& raised, std::string& why);

// Opens `dir` only to look, as --list does: nothing in the directory is
// created, changed or deleted and no program registers. None when it
// cannot be opened, with the reason in `why`.
std::unique_ptr<IMsSource> OpenMsSourceToRead(const std::string& dir, std::string& why);

}  // namespace vz::app
