#include "app/record/ImportState.h"

#include <algorithm>
#include <cmath>

#include "app/run/DayText.h"
#include "vuzuz/Dates.h"

namespace vz::app {

namespace {

#ifdef _WIN32
constexpr char kLineEnd[] = "\r\n";  // older Notepad shows bare LF as one line
#else
constexpr char kLineEnd[] = "\n";
#endif
constexpr char kHeader[] =
    "# Vuzuz archive creator: the days whose archives GlobalServer has not received yet.\n"
    "# One range a line: FIRST to LAST (run of WHEN): WHY. A run whose Smart import\n"
    "# brings those days to GlobalServer removes them, and a run without /f: starts\n"
    "# at the first of them. Deleting this file forgets them all.\n";
constexpr char kDamagedMark[] = "# could not be read: ";
constexpr char kRunOf[] = " (run of ";
constexpr char kRunEnd[] = "):";
constexpr size_t kDateLength = 10;       // YYYY-MM-DD
constexpr size_t kKeptLineLength = 200;  // of a damaged line
// Days outside these years are no trading days a run could bring.
constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2199;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "YYYY-MM-DD" at `at` as a day; false for anything else, a day the
// calendar does not have and years far from any data included.
bool ReadDate(std::string_view text, size_t at, double& day) {
  if (at > text.size() || text.size() - at < kDateLength) return false;
  const std::string_view date = text.substr(at, kDateLength);
  for (size_t i = 0; i < kDateLength; ++i)
    if (i == 4 || i == 7 ? date[i] != '-' : !IsDigit(date[i])) return false;
  auto number = [&](size_t from, size_t count) {
    int value = 0;
    for (size_t i = from; i < from + count; ++i) value = value * 10 + (date[i] - '0');
    return value;
  };
  const int year = number(0, 4);
  return year >= kFirstYear && year <= kLastYear && TryEncodeDate(year, number(5, 2), number(8, 2), day);
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A text as it may be kept and shown: control characters made blanks, a
// long one cut at a character boundary (so that it is not cut again when
// read back).
std::string Printable(std::string_view line) {
  constexpr std::string_view kCut = "...";
  std::string out(line);
  if (out.size() > kKeptLineLength) {
    out.resize(kKeptLineLength - kCut.size());
    while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
    if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0) out.pop_back();
    out += kCut;
  }
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return out;
}

bool IsSeparator(char c) { return c == ' ' || c == ':' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// Blanks, colons and what Printable makes blanks, at the start.
std::string_view SkipSeparators(std::string_view text) {
  while (!text.empty() && IsSeparator(text.front())) text.remove_prefix(1);
  return text;
}

// A field of a range line: without the separators before it, printable,
// without blanks after it. Reading a field it gave gives it again.
std::string Field(std::string_view text) {
  std::string out = Printable(SkipSeparators(text));
  out.erase(out.find_last_not_of(' ') + 1);
  return out;
}

bool ReadRange(std::string_view line, NotImportedRange& range) {
  constexpr std::string_view kTo = " to ";
  double first = 0, last = 0;
  if (!ReadDate(line, 0, first) || line.substr(kDateLength, kTo.size()) != kTo ||
      !ReadDate(line, kDateLength + kTo.size(), last))
    return false;
  range.first = std::min(first, last);
  range.last = std::max(first, last);
  // Split before anything is cut, so that each field is cut alone and reads
  // back as it was written.
  const std::string_view rest = SkipSeparators(line.substr(2 * kDateLength + kTo.size()));
  constexpr std::string_view kRunStart = kRunOf + 1;  // without its blank
  const size_t runEnd = rest.find(kRunEnd);
  if (rest.starts_with(kRunStart) && runEnd != std::string_view::npos) {
    range.run = Printable(rest.substr(kRunStart.size(), runEnd - kRunStart.size()));
    range.why = Field(rest.substr(runEnd + std::string_view(kRunEnd).size()));
  } else {
    range.why = Field(rest);
  }
  return true;
}

// The days from the earliest to the latest date a damaged line shows.
bool DatesIn(std::string_view line, NotImportedRange& range) {
  bool any = false;
  for (size_t at = 0; at + kDateLength <= line.size(); ++at) {
    double day = 0;
    if (!ReadDate(line, at, day)) continue;
    range.first = any ? std::min(range.first, day) : day;
    range.last = any ? std::max(range.last, day) : day;
    any = true;
  }
  return any;
}

bool SameRun(const NotImportedRange& a, const NotImportedRange& b) { return a.run == b.run && a.why == b.why; }

// Merges the ranges of one run and reason that overlap or touch, then
// sorts all by day. Ranges of different runs stay apart, each with its own
// reason, even where they overlap: removing days trims them all alike.
void Normalise(std::vector<NotImportedRange>& ranges) {
  std::stable_sort(ranges.begin(), ranges.end(), [](const NotImportedRange& a, const NotImportedRange& b) {
    if (a.run != b.run) return a.run < b.run;
    if (a.why != b.why) return a.why < b.why;
    return a.first < b.first;
  });
  std::vector<NotImportedRange> merged;
  for (NotImportedRange& range : ranges) {
    if (!merged.empty() && SameRun(merged.back(), range) && range.first <= merged.back().last + 1)
      merged.back().last = std::max(merged.back().last, range.last);
    else
      merged.push_back(std::move(range));
  }
  std::stable_sort(merged.begin(), merged.end(), [](const NotImportedRange& a, const NotImportedRange& b) {
    return a.first != b.first ? a.first < b.first : a.last < b.last;
  });
  ranges = std::move(merged);
}

}  // namespace

ImportState ParseImportState(std::string_view text) {
  ImportState state;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trimmed(line);
    if (line.empty() || line.front() == '#') continue;
    NotImportedRange range;
    if (ReadRange(line, range)) {
      state.ranges.push_back(std::move(range));
      continue;
    }
    state.damaged.push_back(Printable(line));
    // Better to bring some days again than to forget one.
    NotImportedRange shown;
    if (DatesIn(line, shown)) {
      shown.why = "read from a damaged line";
      state.ranges.push_back(std::move(shown));
    }
  }
  Normalise(state.ranges);
  return state;
}

std::string FormatImportState(const ImportState& state) {
  std::string text;
  auto line = [&](const std::string& content) { text += content + kLineEnd; };
  std::string_view header = kHeader;
  while (!header.empty()) {
    const size_t end = header.find('\n');
    line(std::string(header.substr(0, end)));
    header.remove_prefix(end + 1);
  }
  for (const NotImportedRange& range : state.ranges) {
    std::string entry = IsoDayText(range.first) + " to " + IsoDayText(range.last);
    // A reason that starts like the run's part would be read as one.
    if (!range.run.empty() || range.why.starts_with(kRunOf + 1)) entry += kRunOf + range.run + kRunEnd;
    if (!range.why.empty()) entry += " " + range.why;
    line(entry);
  }
  for (const std::string& damaged : state.damaged) line(kDamagedMark + damaged);
  return text;
}

void AddNotImported(ImportState& state, NotImportedRange range) {
  range.first = std::floor(range.first);
  range.last = std::floor(range.last);
  if (range.last < range.first) return;
  state.ranges.push_back(std::move(range));
  Normalise(state.ranges);
}

void RemoveImported(ImportState& state, double first, double last) {
  first = std::floor(first);
  last = std::floor(last);
  if (last < first) return;
  std::vector<NotImportedRange> kept;
  for (const NotImportedRange& range : state.ranges) {
    if (range.last < first || range.first > last) {
      kept.push_back(range);
      continue;
    }
    if (range.first < first) {
      NotImportedRange before = range;
      before.last = first - 1;
      kept.push_back(before);
    }
    if (range.last > last) {
      NotImportedRange after = range;
      after.first = last + 1;
      kept.push_back(after);
    }
  }
  state.ranges = std::move(kept);
}

void SetReason(ImportState& state, const std::string& run, const std::string& why) {
  for (NotImportedRange& range : state.ranges)
    if (range.run == run) range.why = why;
  Normalise(state.ranges);
}

std::string DescribeNotImported(const NotImportedRange& range) {
  std::string text = "from " + IsoDayText(range.first) + " to " + IsoDayText(range.last);
  std::string about = range.run.empty() ? std::string() : "run of " + range.run;
  if (!range.why.empty()) about += (about.empty() ? "" : ", ") + range.why;
  return about.empty() ? text : text + " (" + about + ")";
}

}  // namespace vz::app
