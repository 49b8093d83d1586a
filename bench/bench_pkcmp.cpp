// Implode/explode against StormLib's implementation of the same format, in
// the archive's setting (binary, 1024-byte dictionary), on the payload kinds
// the archives carry plus generic text and binary. Prints per-kind figures,
// then the three ratios last:
//   implode_size_vs_stormlib   our compressed bytes / StormLib's, whole set
//   implode_speed_vs_stormlib  StormLib's implode time / ours (>1: we are faster)
//   explode_speed_vs_stormlib  StormLib's explode time / ours, same streams
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/pkcmp/PkPeerCodec.h"
#include "tests/pkcmp/PkProjectFiles.h"
#include "vuzuz/pkcmp/Pkcmp.h"

namespace {

using vz::test::PeerIo;
using vz::test::PeerRead;
using vz::test::PeerWrite;

enum class Codec { kOurs, kStormLib };

std::vector<char> gWork(vz::pkcmp::kImplodeWorkSize);

void Implode(Codec codec, const std::string& in, std::string& out) {
  out.clear();
  PeerIo io{&in, 0, &out};
  unsigned type = 0, dictSize = 1024;
  const unsigned result = codec == Codec::kOurs
                              ? vz::pkcmp::implode(PeerRead, PeerWrite, gWork.data(), &io, &type, &dictSize)
                              : vz::test::StormImplode(in, type, dictSize, out);
  if (result != 0) {
    std::fprintf(stderr, "implode failed: %u\n", result);
    std::exit(1);
  }
}

void Explode(Codec codec, const std::string& in, std::string& out) {
  out.clear();
  PeerIo io{&in, 0, &out};
  const unsigned result = codec == Codec::kOurs ? vz::pkcmp::explode(PeerRead, PeerWrite, gWork.data(), &io)
                                                : vz::test::StormExplode(in, out);
  if (result != 0) {
    std::fprintf(stderr, "explode failed: %u\n", result);
    std::exit(1);
  }
}

// Best of several runs, in seconds of processor time: the machine is shared,
// so wall-clock time would count other programs' turns, and the minimum is
// the least disturbed figure.
template <class Fn>
double BestTime(int runs, Fn&& fn) {
  double best = 1e30;
  for (int r = 0; r < runs; ++r) {
    const std::clock_t start = std::clock();
    fn();
    best = std::min(best, double(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::vector<vz::test::NamedPayload> payloads = vz::test::ArchivePayloads(10);
  double oursSize = 0, stormSize = 0, oursImplode = 0, stormImplode = 0, oursExplode = 0, stormExplode = 0;
  std::printf("%-10s %9s %9s %9s %6s %8s %8s %8s %8s\n", "kind", "bytes", "ours", "stormlib", "size", "imp MB/s",
              "storm", "exp MB/s", "storm");
  for (const auto& payload : payloads) {
    std::string ours, storm, back;
    const double ti = BestTime(runs, [&] { Implode(Codec::kOurs, payload.bytes, ours); });
    const double si = BestTime(runs, [&] { Implode(Codec::kStormLib, payload.bytes, storm); });
    // Both decoders expand the same stream: the one the archives carry.
    const double te = BestTime(runs, [&] { Explode(Codec::kOurs, ours, back); });
    if (back != payload.bytes) {
      std::fprintf(stderr, "%s: round trip differs\n", payload.name.c_str());
      return 1;
    }
    const double se = BestTime(runs, [&] { Explode(Codec::kStormLib, ours, back); });
    if (back != payload.bytes) {
      std::fprintf(stderr, "%s: StormLib expands our stream differently\n", payload.name.c_str());
      return 1;
    }
    const double mb = payload.bytes.size() / 1e6;
    std::printf("%-10s %9zu %9zu %9zu %6.3f %8.1f %8.1f %8.1f %8.1f\n", payload.name.c_str(), payload.bytes.size(),
                ours.size(), storm.size(), double(ours.size()) / double(storm.size()), mb / ti, mb / si, mb / te,
                mb / se);
    oursSize += ours.size();
    stormSize += storm.size();
    oursImplode += ti;
    stormImplode += si;
    oursExplode += te;
    stormExplode += se;
  }
  std::printf("implode_size_vs_stormlib %.4f\n", oursSize / stormSize);
  std::printf("implode_speed_vs_stormlib %.3f\n", stormImplode / oursImplode);
  std::printf("explode_speed_vs_stormlib %.3f\n", stormExplode / oursExplode);
  return 0;
}
