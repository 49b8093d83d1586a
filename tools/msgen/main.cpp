// msgen: writes generated MetaStock directories.
//   msgen sample DIR          the bundled sample directory
//   msgen large DIR [SIZE]    a large directory for benchmarks (SIZE 1.0 by default)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/msgen/MsSample.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: msgen sample DIR\n"
               "       msgen large DIR [SIZE]   (SIZE above 0, at most 20; 1.0 = 2,200 securities)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  const std::filesystem::path dir = argv[2];
  std::string error;
  bool ok = false;
  if (command == "sample" && argc == 3) {
    ok = vz::msgen::WriteSampleDirectory(dir, &error);
  } else if (command == "large" && argc <= 4) {
    double size = 1.0;
    if (argc == 4) {
      char* end = nullptr;
      size = std::strtod(argv[3], &end);
      if (end == argv[3] || *end != '\0') return Usage();
    }
    ok = vz::msgen::WriteLargeDirectory(dir, size, &error);
  } else {
    return Usage();
  }
  if (!ok) {
    std::fprintf(stderr, "msgen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
