// Verifying an output folder against its MetaStock directory (--verify with
// /m:, every archive read, expanded, parsed and compared bar by bar) against
// converting that directory into the folder, both in the same run, over the
// generated benchmark directory that bench_conversion uses.
//
//   bench_verify [size]
// size 1.0 is 200 intraday 1-minute securities over three months and 2,000
// daily securities over ten years; 0.05 (the default) runs in seconds.
// VZ_BENCH_KEEP=1 keeps the generated folders (their path is printed) for
// profiling --verify on its own. Prints its figures last:
//   verify_time_vs_conversion   verify wall time / conversion wall time (target <= 0.5)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>

#include "app/verify/VerifyCommand.h"
#include "app/run/Conversion.h"
#include "tools/msgen/MsSample.h"
#include "vuzuz/Dates.h"

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

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

int main(int argc, char** argv) {
  // The benchmark directory at size 1 unless a size is given; --small
  // (scripts/bench.sh --small) takes a twentieth of it.
  const std::string first = argc > 1 ? argv[1] : "";
  const double size = first.empty() ? 1.0 : first == "--small" ? 0.05 : std::atof(first.c_str());
  const fs::path root =
      fs::temp_directory_path() /
      ("vz-bench-verify-" + std::to_string(Clock::now().time_since_epoch().count() % 1000000007));
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
  std::printf("generated %s (size %.3f) in %.1f s\n", ms.string().c_str(), size, Seconds(genStart));

  // The range of bench_conversion, as the switches /f:20260901 /t:20261201
  // give it (To at midnight at the start of its day), for both.
  vz::app::TRunSettings settings;
  settings.msDir = ms.generic_string() + "/";
  settings.output = out.generic_string() + "/";
  vz::TryEncodeDate(2026, 9, 1, settings.from);
  vz::TryEncodeDate(2026, 12, 1, settings.to);
  settings.autoClose = true;

  TQuietStatus status;
  const std::clock_t convertCpu = std::clock();
  const auto convertStart = Clock::now();
  double readSeconds = 0;
  {
    vz::app::TConversion conversion(settings, status);
    if (!conversion.AnalyseSecurities() || !conversion.CollectPriceData()) {
      std::fprintf(stderr, "conversion failed\n");
      return 1;
    }
    readSeconds = Seconds(convertStart);
    if (!conversion.ExportArchives()) {
      std::fprintf(stderr, "conversion failed\n");
      return 1;
    }
  }
  const double convertSeconds = Seconds(convertStart);
  const double convertCpuSeconds = static_cast<double>(std::clock() - convertCpu) / CLOCKS_PER_SEC;

  std::ostringstream report, problems;
  const std::clock_t verifyCpu = std::clock();
  const auto verifyStart = Clock::now();
  const int verified = vz::app::RunVerifyCommand(
      {out.string(), "/m:" + ms.string(), "/f:20260901", "/t:20261201"}, report, problems);
  const double verifySeconds = Seconds(verifyStart);
  const double verifyCpuSeconds = static_cast<double>(std::clock() - verifyCpu) / CLOCKS_PER_SEC;
  const std::string text = report.str();
  const size_t summary = text.find("Summary:");
  std::printf("conversion %.3f s wall (reading %.3f s), %.3f s processor; verify %.3f s wall, %.3f s processor: %s",
              convertSeconds, readSeconds, convertCpuSeconds, verifySeconds, verifyCpuSeconds,
              summary == std::string::npos ? "no summary\n" : text.substr(summary).c_str());
  if (!std::getenv("VZ_BENCH_KEEP")) fs::remove_all(root);
  if (verified != 0) {
    std::fprintf(stderr, "verify found problems (status %d):\n%s%s", verified, text.c_str(), problems.str().c_str());
    return 1;
  }
  std::printf("verify_time_vs_conversion %.4f\n", verifySeconds / convertSeconds);
  return 0;
}
