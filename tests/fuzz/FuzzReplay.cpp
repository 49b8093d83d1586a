// Replays every stored fuzz input through its target, so inputs that once
// crashed stay fixed in every build (Wine included), not only under libFuzzer.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/FuzzTarget.h"
#include "support/ScratchDir.h"

namespace fs = std::filesystem;

TEST(FuzzReplay, EveryStoredInputRunsThroughItsTarget) {
  size_t inputs = 0;
  for (const auto& [name, fn] : vz::fuzz::Targets()) {
    const fs::path dir = fs::path(VZ_FUZZ_CORPUS_DIR) / name;
    // An empty input is the first thing any fuzzer tries.
    EXPECT_EQ(fn(nullptr, 0), 0) << name;
    if (!fs::is_directory(dir)) continue;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (!entry.is_regular_file()) continue;
      const std::string bytes = vz::test::ReadFileBytes(entry.path());
      EXPECT_EQ(fn(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0)
          << name << " " << entry.path().filename().string();
      ++inputs;
    }
  }
  RecordProperty("inputs", static_cast<int>(inputs));
}
