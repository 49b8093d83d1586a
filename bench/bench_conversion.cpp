// The whole conversion of a large generated MetaStock directory (analysis,
// collection, export) against StormLib's implode (binary, 1024) alone
// compressing the same uncompressed file sets, and the run's peak memory.
//
//   bench_conversion [--small] [size [packThreads]]
// size 1.0 is 200 intraday 1-minute securities over three months and 2,000
// daily securities over ten years; 0.05 (the default) runs in seconds.
// Then the memory budget and scale figures, each conversion run as a child
// process (this program again, with --child) so that its peak memory is its
// own; the generated directories are kept in build/bench-data for the next
// runs. --small skips the large ones (50 million bars, the daily rows, size 16).
// Prints its figures last:
//   conversion_time_vs_stormlib_compression  run wall time / StormLib time (target <= 0.6)
//   durable_archive_writes_share_of_run       (archives written durably - plainly) / run wall time
//   peak_rss_bytes                            peak resident memory of the run
//   kept_intraday_bars                        intraday bars the run kept
//   peak_rss_bytes_per_kept_bar_over_100mib   (peak - 100 MiB) / kept bars (target <= 32; only
//                                             meaningful from size 1 on, below the peak stays under 100 MiB)
//   own_implode_cpu_vs_stormlib               our implode's processor time / StormLib's on the
//                                             same files (best of 3 each, side by side; target <= 0.67)
//   conversion_time_per_million_bars_at_N     seconds per million kept intraday bars, N = 1, 4, 16
//                                             million bars (5-minute bars over three years)
//   conversion_cost_growth_16_vs_1            the figure at 16 over the one at 1 (target <= 1.1)
//   windowed_time_vs_one_window               16 million bars with /b:256 over /b:2048 (target <= 1.15)
//   windowed_processor_time_vs_one_window     the same in processor time (all threads)
//   peak_rss_mib_at_budget_256                peak of a /b:256 run over 50 million bars (target <= 320)
//   peak_rss_bytes_per_kept_daily_row         peak of a run over 5,000 daily securities and ten
//                                             years / the daily rows it kept (target <= 48)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/run/Conversion.h"
#include "app/run/Export.h"
#include "platform/Process.h"
#include "tools/msgen/MsSample.h"
#include "vuzuz/Dates.h"
#include "vuzuz/OmzArchive.h"
#include "vuzuz/OmzFile.h"
#include "vuzuz/pkcmp/Pkcmp.h"

extern "C" {
unsigned int implode(unsigned int (*read_buf)(char*, unsigned int*, void*),
                     void (*write_buf)(char*, unsigned int*, void*), char* work_buf, void* param,
                     unsigned int* type, unsigned int* dsize);
}

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class TQuietStatus : public vz::app::IRunStatus {
public:
  void SetStatus(const std::string&) override {}
  void SetStatusDetail(const std::string&) override {}
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "message: %s\n", text.c_str()); }
  bool StopRequested() const override { return false; }
};

// Peak resident set size of this process in bytes (VmHWM), 0 if unknown.
uint64_t PeakRssBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10) * 1024;
  return 0;
}

// Resident set size of this process in bytes (VmRSS), 0 if unknown.
uint64_t RssBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10) * 1024;
  return 0;
}

std::string Figure(const std::string& name, double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return name + " " + text;
}

// Starts a new peak: the directory generation before the run does not count.
void ResetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct StormIo {
  const uint8_t* data;
  size_t size;
  size_t pos;
  uint64_t written;
};

unsigned StormRead(char* buf, unsigned* size, void* param) {
  auto* io = static_cast<StormIo*>(param);
  const size_t n = std::min<size_t>(*size, io->size - io->pos);
  std::memcpy(buf, io->data + io->pos, n);
  io->pos += n;
  return static_cast<unsigned>(n);
}

void StormWrite(char*, unsigned* size, void* param) { static_cast<StormIo*>(param)->written += *size; }

// Seconds StormLib's implode takes over every file of every archive under
// `output` (the archives are expanded first, untimed).
double StormLibSeconds(const fs::path& output, uint64_t& bytesIn, double& cpuSeconds) {
  std::vector<char> work(1 << 18);
  double seconds = 0;
  bytesIn = 0;
  cpuSeconds = 0;
  for (const auto& entry : fs::recursive_directory_iterator(output)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".omz") continue;
    vz::Bytes bytes;
    vz::omz::Failure error;
    std::vector<vz::omz::ArchiveEntry> entries;
    if (!vz::omz::ReadWholeFile(entry.path(), bytes, error) ||
        !vz::omz::ReadArchive(bytes, entries, error, size_t{1} << 30)) {
      std::fprintf(stderr, "%s: %s\n", entry.path().string().c_str(), error.text.c_str());
      std::exit(1);
    }
    for (const vz::omz::ArchiveEntry& e : entries) {
      StormIo io{e.data.data(), e.data.size(), 0, 0};
      unsigned type = 0, dictSize = 1024;
      const auto start = Clock::now();
      const std::clock_t cpuStart = std::clock();
      ::implode(StormRead, StormWrite, work.data(), &io, &type, &dictSize);
      cpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
      seconds += std::chrono::duration<double>(Clock::now() - start).count();
      bytesIn += e.data.size();
    }
  }
  return seconds;
}

// Writes every archive under `output` again under a new name in its folder,
// as the export does (temporary name, then renamed over the final name):
// durably (flushed to the disk, rename flushed) or plainly. Returns seconds.
double RewriteArchivesSeconds(const fs::path& output, bool durable) {
  std::vector<std::pair<fs::path, vz::Bytes>> archives;
  for (const auto& entry : fs::recursive_directory_iterator(output)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".omz") continue;
    vz::Bytes bytes;
    vz::omz::Failure error;
    if (vz::omz::ReadWholeFile(entry.path(), bytes, error)) archives.emplace_back(entry.path(), std::move(bytes));
  }
  const auto start = Clock::now();
  for (const auto& [path, bytes] : archives) {
    fs::path copy = path;
    copy += durable ? ".durable" : ".plain";
    vz::omz::Failure error;
    if (durable) {
      vz::omz::WriteFileAtomically(copy, bytes, error);
    } else {
      const fs::path temp = vz::omz::TemporaryPathFor(copy);
      std::ofstream(temp, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<std::streamsize>(bytes.size()));
      std::error_code ec;
      fs::rename(temp, copy, ec);
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (const auto& [path, bytes] : archives) {
    fs::path copy = path;
    copy += durable ? ".durable" : ".plain";
    std::error_code ec;
    fs::remove(copy, ec);
  }
  return seconds;
}

// Processor seconds of one implode of io's input, by our codec or StormLib's.
double ImplodeCpuSeconds(bool ours, StormIo& io, std::vector<char>& work) {
  io.pos = 0;
  io.written = 0;
  unsigned type = 0, dictSize = 1024;
  const std::clock_t start = std::clock();
  const unsigned result = ours ? vz::pkcmp::implode(StormRead, StormWrite, work.data(), &io, &type, &dictSize)
                               : ::implode(StormRead, StormWrite, work.data(), &io, &type, &dictSize);
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  if (result != 0) {
    std::fprintf(stderr, "implode failed with code %u\n", result);
    std::exit(1);
  }
  return seconds;
}

// Our implode's processor time over StormLib's on every file of every
// archive under `output`: each file is packed by both in turn, three times,
// and the best time of each counts, so that both see the same machine load.
double OwnImplodeCpuVsStormLib(const fs::path& output) {
  std::vector<char> work(1 << 18);
  double ours = 0, storm = 0;
  for (const auto& entry : fs::recursive_directory_iterator(output)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".omz") continue;
    vz::Bytes bytes;
    vz::omz::Failure error;
    std::vector<vz::omz::ArchiveEntry> entries;
    if (!vz::omz::ReadWholeFile(entry.path(), bytes, error) ||
        !vz::omz::ReadArchive(bytes, entries, error, size_t{1} << 30)) {
      std::fprintf(stderr, "%s: %s\n", entry.path().string().c_str(), error.text.c_str());
      std::exit(1);
    }
    for (const vz::omz::ArchiveEntry& e : entries) {
      StormIo io{e.data.data(), e.data.size(), 0, 0};
      double bestOurs = 1e30, bestStorm = 1e30;
      for (int round = 0; round < 3; ++round) {
        bestOurs = std::min(bestOurs, ImplodeCpuSeconds(true, io, work));
        bestStorm = std::min(bestStorm, ImplodeCpuSeconds(false, io, work));
      }
      ours += bestOurs;
      storm += bestStorm;
    }
  }
  std::printf("implode of the archives' files: ours %.3f s, StormLib %.3f s processor\n", ours, storm);
  return storm > 0 ? ours / storm : 0.0;
}

// The whole conversion of a generated directory against StormLib's implode
// of the same files, in this process; its figures go to `figures`.
int RunStormSection(double size, int packThreads, std::vector<std::string>& figures) {
  const fs::path root = fs::temp_directory_path() / ("vz-bench-conversion-" + std::to_string(Clock::now().time_since_epoch().count() % 1000000007));
  const fs::path ms = root / "ms";
  const fs::path out = root / "out";
  fs::remove_all(root);
  fs::create_directories(out);

  std::string error;
  const auto genStart = Clock::now();
  if (!vz::msgen::WriteLargeDirectory(ms, size, &error)) {
    std::fprintf(stderr, "generating the directory failed: %s\n", error.c_str());
    return 1;
  }
  std::printf("generated %s (size %.3f) in %.1f s\n", ms.string().c_str(), size,
              std::chrono::duration<double>(Clock::now() - genStart).count());

  vz::app::TRunSettings settings;
  settings.msDir = ms.generic_string() + "/";
  settings.output = out.generic_string() + "/";
  vz::TryEncodeDate(2026, 9, 1, settings.from);
  vz::TryEncodeDate(2026, 11, 30, settings.to);
  settings.to += 1439.0 / 1440;
  settings.autoClose = true;

  TQuietStatus status;
  int64_t keptBars = 0;
  const uint64_t rssBefore = PeakRssBytes();
  ResetPeakRss();
  const uint64_t rssAtStart = RssBytes();
  const std::clock_t cpuStart = std::clock();
  const auto start = Clock::now();
  {
    vz::app::TConversion conversion(settings, status);
    vz::app::ExportOptions options;
    options.packThreads = packThreads;
    conversion.SetExportOptions(options);
    const auto t0 = Clock::now();
    const bool analysed = conversion.AnalyseSecurities();
    const auto t1 = Clock::now();
    const bool collected = analysed && conversion.CollectPriceData();
    const auto t2 = Clock::now();
    if (!collected || !conversion.ExportArchives()) {
      std::fprintf(stderr, "conversion failed\n");
      return 1;
    }
    const auto t3 = Clock::now();
    std::printf("analysis %.3f s, collection %.3f s, export %.3f s\n",
                std::chrono::duration<double>(t1 - t0).count(), std::chrono::duration<double>(t2 - t1).count(),
                std::chrono::duration<double>(t3 - t2).count());
    keptBars = conversion.KeptIntradayBars();
  }
  const double runSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  // Processor time of all threads: on a shared machine it shows the work
  // done apart from the turns other programs took.
  const double runCpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const uint64_t peak = PeakRssBytes();

  // What making each archive durable (flush before the rename, the rename
  // flushed) costs over writing it plainly, against the whole run.
  const double plainSeconds = RewriteArchivesSeconds(out, false);
  const double durableSeconds = RewriteArchivesSeconds(out, true);
  std::printf("archives written again: plainly %.3f s, durably %.3f s\n", plainSeconds, durableSeconds);

  uint64_t bytesIn = 0;
  double stormCpuSeconds = 0;
  const double stormSeconds = StormLibSeconds(out, bytesIn, stormCpuSeconds);
  const double ownImplodeRatio = OwnImplodeCpuVsStormLib(out);
  std::printf("run %.3f s wall, %.3f s processor (pack threads %d); StormLib implode %.3f s wall, %.3f s processor over %.1f MB;"
              " peak of the generation %.1f MB, resident at the run's start %.1f MB\n",
              runSeconds, runCpuSeconds, packThreads, stormSeconds, stormCpuSeconds, bytesIn / 1e6, rssBefore / 1048576.0,
              rssAtStart / 1048576.0);
  fs::remove_all(root);

  const double over = static_cast<double>(peak) - 100.0 * 1048576.0;
  figures.push_back(Figure("conversion_time_vs_stormlib_compression", runSeconds / stormSeconds, 4));
  figures.push_back(Figure("durable_archive_writes_share_of_run", (durableSeconds - plainSeconds) / runSeconds, 4));
  figures.push_back("peak_rss_bytes " + std::to_string(peak));
  figures.push_back("kept_intraday_bars " + std::to_string(keptBars));
  figures.push_back(Figure("peak_rss_bytes_per_kept_bar_over_100mib", keptBars > 0 ? over / keptBars : 0.0, 2));
  figures.push_back(Figure("own_implode_cpu_vs_stormlib", ownImplodeRatio, 3));
  return 0;
}

// What a child run reports back.
struct ChildResult {
  bool ok = false;
  double seconds = 0;
  uint64_t peakBytes = 0;
  long long keptBars = 0;
  long long keptDailyRows = 0;
  long long windows = 0;
  double cpuSeconds = 0;  // processor time of all its threads
};

// --child MSDIR OUTDIR FROM TO BUDGET_MIB RESULT: one conversion of the
// range FROM 00:00 to TO 23:59 (YYYYMMDD) within the budget; writes
// "seconds peak keptBars keptDailyRows windows cpuSeconds" to RESULT.
int ChildRun(char** argv) {
  auto date = [](const char* text) {
    const long v = std::atol(text);
    double value = 0;
    vz::TryEncodeDate(static_cast<int>(v / 10000), static_cast<int>(v / 100 % 100), static_cast<int>(v % 100), value);
    return value;
  };
  vz::app::TRunSettings settings;
  settings.msDir = fs::path(argv[2]).generic_string() + "/";
  settings.output = fs::path(argv[3]).generic_string() + "/";
  settings.from = date(argv[4]);
  settings.to = date(argv[5]) + 1439.0 / 1440;
  settings.memoryBudgetMiB = std::atoll(argv[6]);
  settings.autoClose = true;
  TQuietStatus status;
  const auto start = Clock::now();
  const std::clock_t cpuStart = std::clock();
  vz::app::TConversion conversion(settings, status);
  if (!conversion.AnalyseSecurities() || !conversion.CollectPriceData() || !conversion.ExportArchives()) return 1;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::ofstream(argv[7]) << seconds << ' ' << PeakRssBytes() << ' ' << conversion.KeptIntradayBars() << ' '
                         << conversion.KeptDailyRows() << ' ' << conversion.Windows() << ' ' << cpuSeconds << '\n';
  return 0;
}

// Runs one conversion in a child process; the output folder is emptied
// before and removed after.
ChildResult RunChild(const fs::path& ms, const fs::path& work, const char* from, const char* to, int budgetMiB) {
  const fs::path out = work / "out";
  const fs::path result = work / "result.txt";
  fs::remove_all(out);
  fs::create_directories(out);
  fs::remove(result);
  ChildResult r;
  const int status = vz::platform::RunProcess({vz::platform::SelfExecutablePath(), "--child", ms.string(), out.string(),
                                               from, to, std::to_string(budgetMiB), result.string()});
  std::ifstream in(result);
  if (status == 0 && (in >> r.seconds >> r.peakBytes >> r.keptBars >> r.keptDailyRows >> r.windows >> r.cpuSeconds)) r.ok = true;
  fs::remove_all(out);
  if (!r.ok) std::fprintf(stderr, "child conversion of %s failed (status %d)\n", ms.string().c_str(), status);
  return r;
}

// A generated directory kept between runs: made once, marked done by a file.
fs::path CachedDirectory(const fs::path& cache, const std::string& name,
                         const std::function<bool(const fs::path&, std::string*)>& write) {
  const fs::path dir = cache / name;
  if (fs::exists(dir / "complete")) return dir;
  fs::remove_all(dir);
  const auto start = Clock::now();
  std::string error;
  if (!write(dir, &error)) {
    std::fprintf(stderr, "generating %s failed: %s\n", dir.string().c_str(), error.c_str());
    std::exit(1);
  }
  std::ofstream(dir / "complete") << "generated\n";
  std::printf("generated %s in %.1f s\n", dir.string().c_str(), std::chrono::duration<double>(Clock::now() - start).count());
  return dir;
}

// The intraday directories: 5-minute bars over three years (about 61,000
// bars a security), as many securities as make the bars asked for.
fs::path IntradayBars(const fs::path& cache, double millions) {
  const int securities = std::max(1, static_cast<int>(std::lround(millions * 1e6 / 60600.0)));
  return CachedDirectory(cache, "intraday-" + std::to_string(securities), [&](const fs::path& dir, std::string* error) {
    return vz::msgen::WriteIntradayDirectory(dir, securities, 5, 20230102, 20260102, error);
  });
}

constexpr char kIntradayFrom[] = "20230102";
constexpr char kIntradayTo[] = "20260102";

int RunBudgetSections(bool small, std::vector<std::string>& figures) {
  const fs::path cache = fs::path(vz::platform::SelfExecutablePath()).parent_path().parent_path().parent_path() /
                         "bench-data";
  const fs::path work = fs::temp_directory_path() / ("vz-bench-budget-" + std::to_string(Clock::now().time_since_epoch().count() % 1000000007));
  fs::create_directories(cache);
  fs::create_directories(work);
  std::printf("generated directories are kept in %s\n", cache.string().c_str());

  // Scale: one window (a budget that holds 16 million bars at once). The
  // machine is shared: each run is repeated and the fastest counts; at 16
  // million bars the one-window and the /b:256 runs take turns, so that
  // both see the same load.
  auto once = [&](const fs::path& ms, int budgetMiB, ChildResult& best) {
    const ChildResult r = RunChild(ms, work, kIntradayFrom, kIntradayTo, budgetMiB);
    if (!r.ok) std::exit(1);
    std::printf("  %s at /b:%d: %.2f s wall, %.2f s processor, %lld windows, peak %.1f MiB\n",
                ms.filename().string().c_str(), budgetMiB, r.seconds, r.cpuSeconds, r.windows, r.peakBytes / 1048576.0);
    if (!best.ok || r.seconds < best.seconds) best = r;
  };
  std::vector<double> perMillion;
  ChildResult oneWindowAt16, windowedAt16;
  for (const double size : {1.0, 4.0, 16.0}) {
    if (small && size > 4) break;
    const fs::path ms = IntradayBars(cache, size);
    ChildResult r;
    for (int round = 0; round < (size == 16 ? 3 : 2); ++round) {
      once(ms, 2048, r);
      if (size == 16) once(ms, 256, windowedAt16);
    }
    std::printf("size %g: %lld bars in %.2f s (%.2f s processor)\n", size, r.keptBars, r.seconds, r.cpuSeconds);
    perMillion.push_back(r.seconds / (static_cast<double>(r.keptBars) / 1e6));
    figures.push_back(Figure("conversion_time_per_million_bars_at_" + std::to_string(static_cast<int>(size)), perMillion.back(), 3));
    if (size == 16) oneWindowAt16 = r;
  }
  if (perMillion.size() == 3) figures.push_back(Figure("conversion_cost_growth_16_vs_1", perMillion[2] / perMillion[0], 3));

  if (!small) {
    // The same 16 million bars within 256 MiB: several windows.
    const ChildResult& windowed = windowedAt16;
    std::printf("16 million bars at /b:256: %.2f s (%.2f s processor) in %lld windows; one window %.2f s (%.2f s processor)\n",
                windowed.seconds, windowed.cpuSeconds, windowed.windows, oneWindowAt16.seconds, oneWindowAt16.cpuSeconds);
    figures.push_back(Figure("windowed_time_vs_one_window", windowed.seconds / oneWindowAt16.seconds, 3));
    // The same in processor time, which the other programs' turns on a
    // shared machine do not swell.
    figures.push_back(Figure("windowed_processor_time_vs_one_window", windowed.cpuSeconds / oneWindowAt16.cpuSeconds, 3));

    // 50 million bars within 256 MiB.
    const ChildResult big = RunChild(IntradayBars(cache, 50.3), work, kIntradayFrom, kIntradayTo, 256);
    if (!big.ok) return 1;
    std::printf("%lld bars at /b:256: %.1f s in %lld windows, peak %.1f MiB (one window would keep %.0f MiB of bars)\n",
                big.keptBars, big.seconds, big.windows, big.peakBytes / 1048576.0, big.keptBars * 32.0 / 1048576.0);
    figures.push_back(Figure("peak_rss_mib_at_budget_256", big.peakBytes / 1048576.0, 1));

    // Daily rows: 5,000 securities over ten years, the whole ten years in
    // one window (a budget large enough for them).
    const fs::path daily = CachedDirectory(cache, "daily-5000", [](const fs::path& dir, std::string* error) {
      return vz::msgen::WriteDailyDirectory(dir, 5000, 20161201, error);
    });
    const ChildResult rows = RunChild(daily, work, "20161201", "20261130", 16384);
    if (!rows.ok) return 1;
    std::printf("%lld daily rows: %.1f s in %lld windows, peak %.1f MiB\n", rows.keptDailyRows, rows.seconds,
                rows.windows, rows.peakBytes / 1048576.0);
    figures.push_back(Figure("peak_rss_bytes_per_kept_daily_row",
                             rows.keptDailyRows > 0 ? static_cast<double>(rows.peakBytes) / rows.keptDailyRows : 0.0, 1));
  }
  fs::remove_all(work);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 8 && std::strcmp(argv[1], "--child") == 0) return ChildRun(argv);
  bool small = false;
  std::vector<const char*> positional;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--small") == 0) small = true;
    else positional.push_back(argv[i]);
  }
  const double size = positional.size() > 0 ? std::atof(positional[0]) : 0.05;
  const int packThreads = positional.size() > 1 ? std::atoi(positional[1]) : vz::app::ExportOptions{}.packThreads;
  std::vector<std::string> figures;
  if (RunStormSection(size, packThreads, figures) != 0) return 1;
  if (RunBudgetSections(small, figures) != 0) return 1;
  for (const std::string& line : figures) std::printf("%s\n", line.c_str());
  return 0;
}
