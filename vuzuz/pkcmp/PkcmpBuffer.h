#pragma once
// Whole-buffer forms of implode and explode for callers that hold the data
// in memory (tools, tests, benchmarks). They own their work buffers; the
// archive itself streams through the callback entry points instead.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vz::pkcmp {

// Compresses size bytes at data into out (replacing its contents).
// Returns a PkResult.
unsigned ImplodeBytes(const void* data, size_t size, unsigned type, unsigned dictSize, std::string& out);

// Expands one stream into out (replacing its contents). On an error out
// holds the bytes expanded before it. Returns a PkResult.
unsigned ExplodeBytes(const void* data, size_t size, std::string& out);

}  // namespace vz::pkcmp
