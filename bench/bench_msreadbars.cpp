// Reads every security of a large generated MetaStock directory with
// MsReadBars and compares the time with copying the same bytes in memory and
// with opening, reading whole and closing the same data files (the floor for
// reading them from the page cache).
// Usage: bench_msreadbars [size] [directory]   (size 1.0 is about 300 MB)
// Prints last:
//   msreadbars_vs_memcpy       MsReadBars time / memcpy of the bytes
//   msreadbars_vs_plain_read   MsReadBars time / open, read whole, close (target <= 1.5)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "metastock/MsDirectory.h"
#include "metastock/MsPriceData.h"
#include "tools/msgen/MsSample.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<uint8_t> ReadWhole(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fseek(f, 0, SEEK_END);
    bytes.resize(static_cast<size_t>(std::max(0L, std::ftell(f))));
    std::fseek(f, 0, SEEK_SET);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const double size = argc > 1 ? std::atof(argv[1]) : 0.1;
  const bool ownDirectory = argc <= 2;
  const fs::path dir = ownDirectory ? fs::temp_directory_path() / "vz-bench-msreadbars" : fs::path(argv[2]);
  if (ownDirectory) {
    fs::remove_all(dir);
    std::string error;
    if (!vz::msgen::WriteLargeDirectory(dir, size, &error)) {
      std::fprintf(stderr, "cannot generate %s: %s\n", dir.string().c_str(), error.c_str());
      return 1;
    }
  }
  vz::MsDirectory* open = vz::MsOpenDirectory(dir.string(), 100, "Vuzuz archive creator", "bench");
  if (open == nullptr) {
    std::fprintf(stderr, "cannot open %s: %s\n", dir.string().c_str(), vz::MsLastError().c_str());
    return 1;
  }
  // The same bytes in memory, for the copy that the reads are compared with.
  std::vector<std::vector<uint8_t>> files;
  std::vector<std::string> paths;
  size_t totalBytes = 0;
  for (const vz::MsSecurity& s : open->securities) {
    paths.push_back(vz::MsDataFileName(*open, s.fileNumber));
    files.push_back(ReadWhole(paths.back()));
    totalBytes += files.back().size();
  }
  std::vector<uint8_t> target(std::max_element(files.begin(), files.end(), [](auto& a, auto& b) {
                                return a.size() < b.size();
                              })->size());

  // Each security is read and its bytes copied side by side, and the best
  // of several rounds is kept per security, so that both figures see the
  // same machine load (the build machines are shared).
  const size_t count = open->securities.size();
  std::vector<double> bestRead(count, 1e30), bestCopy(count, 1e30), bestPlain(count, 1e30);
  size_t bars = 0;
  unsigned sink = 0;
  std::vector<vz::MsPriceBar> read;
  for (int round = 0; round < 7; ++round) {
    bars = 0;
    for (size_t i = 0; i < count; ++i) {
      auto start = Clock::now();
      bars += static_cast<size_t>(std::max(0, vz::MsReadBars(*open, open->securities[i], read)));
      bestRead[i] = std::min(bestRead[i], std::chrono::duration<double>(Clock::now() - start).count());
      const auto& bytes = files[i];
      start = Clock::now();
      std::memcpy(target.data(), bytes.data(), bytes.size());
      sink += target[bytes.size() / 2];
      bestCopy[i] = std::min(bestCopy[i], std::chrono::duration<double>(Clock::now() - start).count());
      start = Clock::now();
      const std::vector<uint8_t> plain = ReadWhole(paths[i]);
      bestPlain[i] = std::min(bestPlain[i], std::chrono::duration<double>(Clock::now() - start).count());
      if (plain.size() != bytes.size()) {
        std::fprintf(stderr, "%s changed size while measured\n", paths[i].c_str());
        return 1;
      }
    }
  }
  double readSeconds = 0, copySeconds = 0, plainSeconds = 0;
  for (size_t i = 0; i < count; ++i) {
    readSeconds += bestRead[i];
    copySeconds += bestCopy[i];
    plainSeconds += bestPlain[i];
  }
  vz::MsCloseDirectory(open);
  if (ownDirectory) fs::remove_all(dir);

  std::printf("securities %zu\n", files.size());
  std::printf("bytes %zu\n", totalBytes);
  std::printf("bars %zu\n", bars);
  std::printf("msreadbars_seconds %.6f\n", readSeconds);
  std::printf("memcpy_seconds %.6f\n", copySeconds);
  std::printf("plain_read_seconds %.6f\n", plainSeconds);
  std::printf("copy_check %u\n", sink & 1u);
  std::printf("msreadbars_vs_memcpy %.2f\n", readSeconds / copySeconds);
  std::printf("msreadbars_vs_plain_read %.2f\n", readSeconds / plainSeconds);
  return 0;
}
