// Reads every security of a large generated MetaStock directory with
// MsReadBars (into the 32-bit MsPriceBar records the conversion reads) and
// compares the time with copying the same bytes in memory and with opening,
// reading whole and closing the same data files (the floor for reading them
// from the page cache). The protocol's steps alone (the lock bit set and
// cleared around the read, the data file opened shared for reading and
// writing, read, closed), timed without decoding, show how much of the
// difference the sharing with other programs costs and how much decoding.
// Usage: bench_msreadbars [size] [directory]   (size 1.0 is about 300 MB)
// Prints last:
//   msreadbars_vs_memcpy          MsReadBars time / memcpy of the bytes
//   protocol_steps_vs_plain_read  the protocol's steps without decoding / plain read
//   msreadbars_vs_plain_read      MsReadBars time / open, read whole, close (target <= 1.5)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "metastock/MsDirectory.h"
#include "metastock/MsLockFile.h"
#include "metastock/MsPriceData.h"
#include "platform/SharedFile.h"
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

// The steps MsReadBars takes around its decoding, as it takes them: one
// read of the whole file instead of its pieces.
size_t ProtocolStepsOnly(vz::MsDirectory& dir, vz::MsSecurity& security, const std::string& path,
                         std::vector<uint8_t>& buffer) {
  vz::MsSetLock(dir, security, vz::kMsLockReading, true);
  vz::platform::TSharedFile file;
  vz::platform::FileOpenMode mode;
  mode.access = vz::platform::FileAccess::ReadWrite;
  mode.share = vz::platform::FileShare::ReadWrite;
  size_t got = 0;
  if (file.Open(path, mode)) file.ReadAt(0, buffer.data(), buffer.size(), got);
  file.Close();
  vz::MsSetLock(dir, security, vz::kMsLockReading, false);
  return got;
}

}  // namespace

int main(int argc, char** argv) {
  // --small (scripts/bench.sh --small) keeps the default size.
  const bool sized = argc > 1 && std::string(argv[1]) != "--small";
  const double size = sized ? std::atof(argv[1]) : 0.1;
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
  // of several rounds is kept per security, so that every figure sees the
  // same machine load (the build machines are shared). The order of the
  // four turns with each round: the first to touch a file's cached pages
  // in a round brings them into the processor's caches for the others, and
  // a fixed order gave that cost to MsReadBars every time.
  const size_t count = open->securities.size();
  std::vector<double> bestRead(count, 1e30), bestCopy(count, 1e30), bestPlain(count, 1e30), bestSteps(count, 1e30);
  std::vector<uint8_t> stepsBuffer(target.size());
  size_t bars = 0;
  unsigned sink = 0;
  std::vector<vz::MsPriceBar> read;
  for (int round = 0; round < 8; ++round) {
    bars = 0;
    for (size_t i = 0; i < count; ++i) {
      const auto& bytes = files[i];
      bool sameSize = true;
      auto timed = [](double& best, auto&& work) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
      };
      for (int k = 0; k < 4; ++k) {
        switch ((round + k) % 4) {
          case 0:
            timed(bestRead[i], [&] {
              bars += static_cast<size_t>(std::max(0, vz::MsReadBars(*open, open->securities[i], read)));
            });
            break;
          case 1:
            timed(bestCopy[i], [&] {
              std::memcpy(target.data(), bytes.data(), bytes.size());
              sink += target[bytes.size() / 2];
            });
            break;
          case 2:
            timed(bestPlain[i], [&] { sameSize &= ReadWhole(paths[i]).size() == bytes.size(); });
            break;
          default:
            timed(bestSteps[i], [&] {
              sameSize &= ProtocolStepsOnly(*open, open->securities[i], paths[i], stepsBuffer) == bytes.size();
            });
            break;
        }
      }
      if (!sameSize) {
        std::fprintf(stderr, "%s changed size while measured\n", paths[i].c_str());
        return 1;
      }
    }
  }
  double readSeconds = 0, copySeconds = 0, plainSeconds = 0, stepsSeconds = 0;
  for (size_t i = 0; i < count; ++i) {
    readSeconds += bestRead[i];
    copySeconds += bestCopy[i];
    plainSeconds += bestPlain[i];
    stepsSeconds += bestSteps[i];
  }
  vz::MsCloseDirectory(open);
  if (ownDirectory) fs::remove_all(dir);

  std::printf("securities %zu\n", files.size());
  std::printf("bytes %zu\n", totalBytes);
  std::printf("bars %zu\n", bars);
  std::printf("msreadbars_seconds %.6f\n", readSeconds);
  std::printf("memcpy_seconds %.6f\n", copySeconds);
  std::printf("plain_read_seconds %.6f\n", plainSeconds);
  std::printf("protocol_steps_seconds %.6f\n", stepsSeconds);
  std::printf("copy_check %u\n", sink & 1u);
  std::printf("msreadbars_vs_memcpy %.2f\n", readSeconds / copySeconds);
  std::printf("protocol_steps_vs_plain_read %.2f\n", stepsSeconds / plainSeconds);
  std::printf("msreadbars_vs_plain_read %.2f\n", readSeconds / plainSeconds);
  return 0;
}
