#include "app/console/InspectMetastock.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "metastock/MsDirectory.h"
#include "metastock/MsNumbers.h"
#include "metastock/MsPriceData.h"
#include "platform/FileSystem.h"

namespace vz {

namespace {

// Opened only to look: nothing in the directory is created or changed.
MsDirectory* OpenForInspection(const std::string& dir, std::ostream& err) {
  MsDirectory* opened = MsOpenDirectoryToRead(dir);
  if (opened == nullptr) err << "Can't open the MetaStock directory " << dir << ": " << MsLastError() << "\n";
  return opened;
}

// "F12.DAT" or "F300.MWD" (any letter case): the file number it names, or
// 0 when the text is not a data file name.
int32_t DataFileNumber(const std::string& text) {
  if (text.size() < 6 || (text[0] != 'F' && text[0] != 'f')) return 0;
  const size_t dot = text.size() - 4;
  int64_t number = 0;
  for (size_t i = 1; i < dot; ++i) {
    if (text[i] < '0' || text[i] > '9' || number > 65535) return 0;
    number = number * 10 + (text[i] - '0');
  }
  const std::string name = MsDataFileBaseName(static_cast<int32_t>(number));
  return dot > 1 && platform::EqualsNoCase(text, name) ? static_cast<int32_t>(number) : 0;
}

// Normalised through UTC seconds, so that odd records (day 0, month 13)
// still print as a real date.
std::string FormatDateTime(int64_t seconds) {
  std::tm t{};
  UtcSecondsToTm(seconds, t);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                t.tm_min, t.tm_sec);
  return text;
}

std::string FormatRecordTime(const std::tm& t) {
  std::tm copy = t;
  copy.tm_sec = static_cast<int>(int64_t{t.tm_sec} * 60 / 1000);  // sub-minute thousandths -> seconds
  return FormatDateTime(TmToUtcSeconds(copy));
}

std::string FormatPrice(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

bool Listed(const MsSecurity& s) { return s.inUse && s.hidden == 0; }

// The exit status once the output is written: 1 when it could not be (a
// full disk, a closed pipe), so a listing cut short never looks complete.
int Finished(int status, std::ostream& out, std::ostream& err) {
  out.flush();
  if (out) return status;
  err << "Can't write the output\n";
  return 1;
}

}  // namespace

int RunListCommand(const std::string& dir, std::ostream& out, std::ostream& err) {
  MsDirectory* opened = OpenForInspection(dir, err);
  if (opened == nullptr) return 1;
  std::vector<MsBar> bars;
  for (MsSecurity& s : opened->securities) {
    if (!Listed(s)) continue;
    const int32_t count = MsReadBars(*opened, s, bars);
    if (count < 0)
      err << "Can't read the prices of " << s.symbol << " (file number " << s.fileNumber
          << "): " << opened->readFailure.text << "\n";
    out << s.fileNumber << '\t' << s.symbol << '\t' << s.name << '\t' << static_cast<char>(s.period) << '\t'
        << s.interval << '\t' << FormatRecordTime(s.first) << '\t' << FormatRecordTime(s.last) << '\t' << count
        << '\n';
  }
  MsCloseDirectory(opened);
  return Finished(0, out, err);
}

int RunBarsCommand(const std::string& dir, const std::string& symbol, std::ostream& out, std::ostream& err) {
  MsDirectory* opened = OpenForInspection(dir, err);
  if (opened == nullptr) return 1;
  // A listed symbol first; else a data file name picks one security among
  // several that share a symbol.
  MsSecurity* found = nullptr;
  std::vector<const MsSecurity*> same;
  for (MsSecurity& s : opened->securities) {
    if (!Listed(s) || symbol != s.symbol) continue;
    if (found == nullptr) found = &s;
    same.push_back(&s);
  }
  const int32_t fileNumber = found == nullptr ? DataFileNumber(symbol) : 0;
  for (MsSecurity& s : opened->securities)
    if (fileNumber != 0 && Listed(s) && s.fileNumber == fileNumber) {
      found = &s;
      break;
    }
  if (same.size() > 1) {
    err << "The symbol " << symbol << " is listed " << same.size() << " times; these are the bars of the first (";
    for (const MsSecurity* s : same) err << (s == same.front() ? "" : ", ") << MsDataFileBaseName(s->fileNumber);
    err << "); name another by its data file instead of the symbol\n";
  }
  int status = 0;
  std::vector<MsBar> bars;
  if (found == nullptr) {
    err << "The symbol " << symbol << " is not listed in " << dir << "\n";
    status = 1;
  } else if (MsReadBars(*opened, *found, bars) < 0) {
    err << "Can't read the prices of " << symbol << " (file number " << found->fileNumber
        << "): " << opened->readFailure.text << "\n";
    status = 1;
  } else {
    for (const MsBar& bar : bars)
      out << FormatDateTime(bar.time) << ',' << FormatPrice(bar.open) << ',' << FormatPrice(bar.high) << ','
          << FormatPrice(bar.low) << ',' << FormatPrice(bar.close) << ',' << FormatPrice(bar.volume) << ','
          << FormatPrice(bar.openInterest) << '\n';
  }
  MsCloseDirectory(opened);
  return Finished(status, out, err);
}

}  // namespace vz
