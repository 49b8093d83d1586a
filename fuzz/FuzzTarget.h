#pragma once
// One fuzz target per entry point. A target file defines its body with
//   VZ_FUZZ_TARGET(MsLoaders) { ...use data, size...; return 0; }
// Built with -DVZ_FUZZ_STANDALONE (the clang libFuzzer build) the file also
// gets LLVMFuzzerTestOneInput; in the normal builds the body registers itself
// so that the unit tests replay fuzz/corpus/<name>/ through it, on Windows too.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace vz::fuzz {

using TargetFn = int (*)(const uint8_t* data, size_t size);

inline std::map<std::string, TargetFn>& Targets() {
  static std::map<std::string, TargetFn> targets;
  return targets;
}

inline bool RegisterTarget(const char* name, TargetFn fn) {
  Targets()[name] = fn;
  return true;
}

}  // namespace vz::fuzz

#ifdef VZ_FUZZ_STANDALONE
#define VZ_FUZZ_ENTRY(name)                                                  \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
    return name(data, size);                                                \
  }
#else
#define VZ_FUZZ_ENTRY(name) \
  static const bool name##Registered = ::vz::fuzz::RegisterTarget(#name, &name);
#endif

#define VZ_FUZZ_TARGET(name)                                  \
  static int name(const uint8_t* data, size_t size);          \
  VZ_FUZZ_ENTRY(name)                                         \
  static int name([[maybe_unused]] const uint8_t* data, [[maybe_unused]] size_t size)
