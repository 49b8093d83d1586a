#include "app/verify/VerifyCommand.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

#include "app/verify/VerifyArchive.h"
#include "app/verify/VerifyCompare.h"
#include "app/verify/VerifySource.h"
#include "app/run/DayText.h"
#include "app/window/CommandLine.h"
#include "app/window/ExitStatus.h"
#include "platform/FileSystem.h"
#include "vuzuz/Dates.h"
#include "vuzuz/OmzFile.h"

namespace vz::app {

namespace fs = std::filesystem;

namespace {

constexpr size_t kProblemsPerLine = 3;
constexpr double kOneSecond = 1.0 / 86400;

struct VerifyArgs {
  std::string outDir;
  std::string msDir;
  std::optional<double> from;
  std::optional<double> to;
  bool selected = false;
};

// The switches of --verify, read as the run reads them; "" or the problem.
// The output folder comes first (an absolute path on Linux begins with
// "/", as a switch does); switches follow.
std::string ParseArgs(const std::vector<std::string>& args, VerifyArgs& parsed) {
  if (args.empty() || args[0].empty()) return "the output folder is missing";
  parsed.outDir = args[0];
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool isSwitch = arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-');
    if (!isSwitch) return arg + ": one output folder only, and it comes first";
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(arg[1])));
    if (letter != 's' && letter != 'm' && letter != 'f' && letter != 't') return arg + ": not a switch of --verify";
    if (const std::string problem = SwitchProblem(arg); !problem.empty()) return arg + ": " + problem;
    if (letter == 's') {
      // /s, /s:y, /s:t, /s:+ on; /s:n, /s:f, /s:- off, as for a run.
      const char value = arg.size() > 3 ? static_cast<char>(std::tolower(static_cast<unsigned char>(arg[3]))) : 'y';
      parsed.selected = value == 'y' || value == 't' || value == '+';
      continue;
    }
    if (letter == 'm') {
      if (arg.size() < 4) return arg + ": the MetaStock directory follows a colon: /m:DIR";
      std::string value = arg.substr(3);
      value.erase(0, value.find_first_not_of('"'));
      value.erase(value.find_last_not_of('"') + 1);
      if (value.empty()) return arg + ": the MetaStock directory follows a colon: /m:DIR";
      parsed.msDir = value;
      continue;
    }
    double value = 0;
    ParseSwitchDate(arg.substr(3), value);
    (letter == 'f' ? parsed.from : parsed.to) = value;
  }
  if (parsed.from && parsed.to && *parsed.from > *parsed.to) return "/f: comes after /t:";
  return {};
}

bool IsOmzName(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".omz";
}

// A temporary archive a killed run left behind (the next run removes it).
bool IsLeftoverTemporary(const std::string& name) {
  return name.size() > 4 && name.ends_with(".tmp") && name.find(".omz.") != std::string::npos;
}

// Daily archives (in the folder itself) before the month folders' ones,
// each in name order.
bool ArchiveOrder(const std::string& a, const std::string& b) {
  const bool inFolderA = a.find('/') != std::string::npos;
  const bool inFolderB = b.find('/') != std::string::npos;
  return inFolderA != inFolderB ? inFolderB : a < b;
}

// Every .omz in the folder and in its subfolders, '/'-separated below it,
// in ArchiveOrder; temporaries a killed run left are counted.
bool ListArchives(const fs::path& root, std::vector<std::string>& archives, size_t& temporaries, std::string& why) {
  std::error_code ec;
  if (!fs::is_directory(root, ec)) {
    why = "not a folder";
    return false;
  }
  std::vector<fs::path> folders;
  auto scan = [&](const fs::path& folder, const std::string& prefix) {
    std::error_code walk;
    for (fs::directory_iterator it(folder, walk), end; !walk && it != end; it.increment(walk)) {
      const std::string name = platform::Utf8FromPath(it->path().filename());
      std::error_code type;
      if (it->is_regular_file(type)) {
        if (IsOmzName(name)) archives.push_back(prefix + name);
        else if (IsLeftoverTemporary(name)) ++temporaries;
      } else if (prefix.empty() && it->is_directory(type) && !it->is_symlink(type)) {
        folders.push_back(it->path());
      }
    }
    return !walk;
  };
  if (!scan(root, "")) {
    why = "cannot be listed";
    return false;
  }
  for (const fs::path& folder : folders)
    if (!scan(folder, platform::Utf8FromPath(folder.filename()) + "/")) {
      why = platform::Utf8FromPath(folder.filename()) + " cannot be listed";
      return false;
    }
  std::sort(archives.begin(), archives.end(), ArchiveOrder);
  return true;
}

double FirstDayOfMonth(int month) {
  double value = 0;
  TryEncodeDate(month / 12, month % 12 + 1, 1, value);
  return value;
}

// The range to compare: /f: and /t: as a run reads them (the daily months
// from the month of /f: to that of /t:, the days from /f: to /t:); a bound
// not given is that of the span the archives cover, and without either
// the days are those of the day archives. False when there is nothing to
// compare (no archives and no dates).
bool ChooseRange(const VerifyArgs& args, const std::vector<ArchivePlace>& places, VerifyRange& range,
                 std::string& said) {
  std::optional<int> firstMonth, lastMonth;
  std::optional<int64_t> firstDay, lastDay;
  for (const ArchivePlace& p : places) {
    firstMonth = std::min(firstMonth.value_or(p.month), p.month);
    lastMonth = std::max(lastMonth.value_or(p.month), p.month);
    if (p.kind != ArchiveKind::Intraday) continue;
    firstDay = std::min(firstDay.value_or(p.day), p.day);
    lastDay = std::max(lastDay.value_or(p.day), p.day);
  }
  std::optional<double> from = args.from;
  std::optional<double> to = args.to;
  if (!from && firstMonth)
    from = std::min(FirstDayOfMonth(*firstMonth), firstDay ? static_cast<double>(*firstDay) : HUGE_VAL);
  // Through the last second of the later of the last month and the last day.
  if (!to && lastMonth)
    to = std::max(FirstDayOfMonth(*lastMonth + 1), lastDay ? static_cast<double>(*lastDay + 1) : -HUGE_VAL) -
         kOneSecond;
  if (!from || !to || *from > *to) {
    said = "nothing to compare (no archives in the range; give /f: and /t:)";
    return false;
  }
  range = {};
  range.selected = args.selected;
  range.from = *from;
  range.to = *to;
  range.firstMonth = MonthOfDateTime(*from);
  range.lastMonth = MonthOfDateTime(*to);
  if (args.from || args.to) {
    range.firstDay = DayNumber(*from);
    range.lastDay = DayNumber(*to);
  } else if (firstDay) {
    range.firstDay = *firstDay;
    range.lastDay = *lastDay;
  }
  const bool days = range.firstDay <= range.lastDay;
  said = "daily archives of " + IsoMonthText(range.firstMonth) + " to " + IsoMonthText(range.lastMonth) +
         ", day archives of " +
         (days ? IsoDayText(static_cast<double>(range.firstDay)) + " to " + IsoDayText(static_cast<double>(range.lastDay))
               : std::string("none (the folder has none; give /f: and /t: to compare days)"));
  said += args.from || args.to ? " (/f: and /t: as a run reads them; /t: is midnight at the start of its day)"
                               : " (the span the archives cover; give /f: and /t: to choose)";
  return true;
}

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string JoinFirst(const std::vector<std::string>& problems, size_t total) {
  std::string text;
  for (size_t i = 0; i < problems.size() && i < kProblemsPerLine; ++i) text += (i ? "; " : "") + problems[i];
  const size_t shown = std::min(problems.size(), kProblemsPerLine);
  if (total > shown) text += "; and " + std::to_string(total - shown) + " more";
  return text;
}

enum class Verdict { Ok, Damaged, Differs, Skipped };

struct ArchiveReport {
  Verdict verdict = Verdict::Ok;
  std::string line;
};

bool InRange(const ArchivePlace& place, const VerifyRange& range) {
  if (place.kind == ArchiveKind::Daily) return place.month >= range.firstMonth && place.month <= range.lastMonth;
  return place.day >= range.firstDay && place.day <= range.lastDay;
}

ArchiveReport VerifyOne(const fs::path& root, const std::string& relative, const TSourceSets* source,
                        const VerifyRange& range) {
  ArchiveReport report;
  ArchivePlace place;
  std::string why;
  if (!ParseArchivePlace(relative, place, why)) {
    report.verdict = Verdict::Skipped;
    report.line = relative + ": skipped: " + why;
    return report;
  }
  Bytes bytes;
  omz::Failure error;
  ArchiveCheck check;
  if (!omz::ReadWholeFile(platform::PathFromUtf8(root.string() + "/" + relative), bytes, error))
    check.damage.push_back("cannot be read: " + error.text);
  else
    CheckArchive(bytes, place, check);
  std::vector<uint8_t>().swap(bytes);
  if (!check.damage.empty()) {
    report.verdict = Verdict::Damaged;
    report.line = relative + ": DAMAGED: " + JoinFirst(check.damage, check.damage.size());
    return report;
  }
  const bool daily = place.kind == ArchiveKind::Daily;
  const std::string contents = Plural(check.securities, "security", "securities") + ", " +
                               (daily ? Plural(check.daily.size(), "row", "rows")
                                      : Plural(check.ticks.size(), "tick", "ticks"));
  if (source && InRange(place, range)) {
    // The files a run writes for the source's bars, compared whole first:
    // equal bytes agree bar for bar, and only files that differ are read
    // back to name the differences.
    if (!daily && source->TicksAgree(relative, check.ticks)) {
      report.line = relative + ": ok (" + contents + ", as the source has them)";
      return report;
    }
    if (SameDataFiles(place.kind, check.files, source->BuildFiles(relative))) {
      report.line = relative + ": ok (" + contents + ", as the source has them)";
      return report;
    }
    const SourceSet expected = source->Build(relative);
    const Differences differences = daily ? CompareDailyRows(check.daily, expected.daily, kProblemsPerLine)
                                          : CompareTicks(check.ticks, expected.ticks, kProblemsPerLine);
    if (differences.count > 0) {
      report.verdict = Verdict::Differs;
      report.line = relative + ": DIFFERS from the source (" + Plural(differences.count, "difference", "differences") +
                    "): " + JoinFirst(differences.first, differences.count);
      return report;
    }
    report.line = relative + ": ok (" + contents + ", as the source has them)";
  } else {
    report.line = relative + ": ok (" + contents + (source ? "; not compared: outside the range)" : ")");
  }
  return report;
}

// Checks the archives on up to two threads (the machine's cores); the
// reports keep the archives' order.
std::vector<ArchiveReport> VerifyAll(const fs::path& root, const std::vector<std::string>& archives,
                                     const TSourceSets* source, const VerifyRange& range) {
  std::vector<ArchiveReport> reports(archives.size());
  std::atomic<size_t> next{0};
  std::exception_ptr failure;
  std::atomic<bool> failed{false};
  auto work = [&] {
    try {
      for (size_t i = next++; i < archives.size() && !failed; i = next++)
        reports[i] = VerifyOne(root, archives[i], source, range);
    } catch (...) {
      if (!failed.exchange(true)) failure = std::current_exception();
    }
  };
  const unsigned cores = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < cores && archives.size() > 1; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
  return reports;
}

int Verify(const VerifyArgs& args, std::ostream& out, std::ostream& err) {
  const fs::path root = platform::PathFromUtf8(args.outDir);
  std::vector<std::string> archives;
  size_t temporaries = 0;
  std::string why;
  if (!ListArchives(root, archives, temporaries, why)) {
    err << "Can't verify the output folder " << args.outDir << ": " << why << "\n";
    return kExitSetupFailed;
  }
  std::vector<ArchivePlace> places;
  for (const std::string& relative : archives) {
    ArchivePlace place;
    if (ParseArchivePlace(relative, place, why)) places.push_back(place);
  }
  out << "Verifying " << args.outDir << ": " << Plural(archives.size(), "archive", "archives") << "\n";

  VerifyRange range;
  TSourceSets source;
  const bool compare = !args.msDir.empty();
  if (compare) {
    std::string said;
    const bool any = ChooseRange(args, places, range, said);
    out << "Comparing with " << args.msDir << (args.selected ? " (the selection list's securities)" : "") << ": "
        << said << "\n";
    if (any && !source.Collect(args.msDir, range, why)) {
      err << "Can't open the MetaStock directory " << args.msDir << ": " << why << "\n";
      return kExitSetupFailed;
    }
    if (!source.Notes().empty()) out << "A run over this range would note:\n" << source.Notes() << "\n";
  }
  out.flush();

  const std::vector<ArchiveReport> reports = VerifyAll(root, archives, compare ? &source : nullptr, range);
  size_t ok = 0, damaged = 0, differs = 0, skipped = 0;
  for (const ArchiveReport& report : reports) {
    out << report.line << "\n";
    ok += report.verdict == Verdict::Ok;
    damaged += report.verdict == Verdict::Damaged;
    differs += report.verdict == Verdict::Differs;
    skipped += report.verdict == Verdict::Skipped;
  }
  size_t missing = 0;
  if (compare) {
    for (const std::string& relative : source.Places()) {
      if (std::binary_search(archives.begin(), archives.end(), relative, ArchiveOrder)) continue;
      const SourceSet expected = source.Build(relative);
      if (expected.bars == 0) continue;  // a run writes no archive for it either
      ++missing;
      const bool daily = !expected.daily.empty();
      out << relative << ": MISSING: the source has "
          << Plural(expected.bars, daily ? "row" : "bar", daily ? "rows" : "bars")
          << " of " << Plural(expected.securities, "security", "securities") << " for it\n";
    }
  }
  out << "Summary: " << Plural(reports.size(), "archive", "archives") << ", " << ok << " ok, " << damaged
      << " damaged";
  if (compare) out << ", " << differs << " differ from the source, " << missing << " missing";
  if (skipped) out << ", " << skipped << " skipped (names the program never writes)";
  out << "\n";
  if (temporaries)
    out << Plural(temporaries, "temporary file", "temporary files")
        << " of an interrupted run lie in the folder; the next run removes them\n";
  const bool sound = damaged == 0 && differs == 0 && missing == 0;
  out << (sound ? (compare ? "The archives are sound and agree with the source.\n" : "The archives are sound.\n")
                : "The folder has problems: see the lines above.\n");
  return sound ? kExitComplete : kExitVerifyFailed;
}

}  // namespace

int RunVerifyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  VerifyArgs parsed;
  if (const std::string problem = ParseArgs(args, parsed); !problem.empty()) {
    err << "error: " << problem
        << "\nusage: vuzuz-archive-creator --verify OUTDIR [/m:MSDIR] [/s] [/f:DATE] [/t:DATE]\n";
    return kExitSetupFailed;
  }
  try {
    return Verify(parsed, out, err);
  } catch (const std::exception& e) {
    err << "Can't verify " << parsed.outDir << ": " << e.what() << "\n";
    return kExitSetupFailed;
  }
}

}  // namespace vz::app
