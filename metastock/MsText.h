#pragma once
// Text fields of the security record.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "metastock/MsNumbers.h"

namespace vz {

// Copies at most maxChars characters of text into a field of fieldSize bytes
// (maxChars < fieldSize), terminates it and trims spaces.
template <size_t fieldSize>
void MsSetText(char (&field)[fieldSize], const std::string& text, size_t maxChars = fieldSize - 1) {
  static_assert(fieldSize > 0);
  const size_t n = std::min({text.size(), maxChars, fieldSize - 1});
  std::memset(field, 0, fieldSize);
  std::memcpy(field, text.data(), n);
  TrimSpaces(field);
}

}  // namespace vz
