// The whole conversion of a large generated MetaStock directory (analysis,
// collection, export) against StormLib's implode (binary, 1024) alone
// compressing the same uncompressed file sets, and the run's peak memory.
//
//   bench_conversion [size [packThreads]]
// size 1.0 is 200 intraday 1-minute securities over three months and 2,000
// daily securities over ten years; 0.05 (the default) runs in seconds.
// Prints its figures last:
//   conversion_time_vs_stormlib_compression  run wall time / StormLib time (target <= 0.6)
//   durable_archive_writes_share_of_run       (archives written durably - plainly) / run wall time
//   peak_rss_bytes                            peak resident memory of the run
//   kept_intraday_bars                        intraday bars the run kept
//   peak_rss_bytes_per_kept_bar_over_100mib   (peak - 100 MiB) / kept bars (target <= 32; only
//                                             meaningful from size 1 on, below the peak stays under 100 MiB)
//   own_implode_cpu_vs_stormlib               our implode's processor time / StormLib's on the
//                                             same files (best of 3 each, side by side; target <= 0.67)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/run/Conversion.h"
#include "app/run/Export.h"
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

}  // namespace

int main(int argc, char** argv) {
  const double size = argc > 1 ? std::atof(argv[1]) : 0.05;
  const int packThreads = argc > 2 ? std::atoi(argv[2]) : vz::app::ExportOptions{}.packThreads;
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
  std::printf("conversion_time_vs_stormlib_compression %.4f\n", runSeconds / stormSeconds);
  std::printf("durable_archive_writes_share_of_run %.4f\n", (durableSeconds - plainSeconds) / runSeconds);
  std::printf("peak_rss_bytes %llu\n", static_cast<unsigned long long>(peak));
  std::printf("kept_intraday_bars %lld\n", static_cast<long long>(keptBars));
  std::printf("peak_rss_bytes_per_kept_bar_over_100mib %.2f\n", keptBars > 0 ? over / keptBars : 0.0);
  std::printf("own_implode_cpu_vs_stormlib %.3f\n", ownImplodeRatio);
  return 0;
}
