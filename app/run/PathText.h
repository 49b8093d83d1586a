#pragma once
// Directory texts as the settings hold them: a directory ends with the
// system's separator, and paths are built by appending names to it.
#include <string>

namespace vz::app {

#ifdef _WIN32
inline constexpr char kDirSeparator = '\\';
// File names compare without regard to case, so switch values may be
// lower-cased whole.
inline constexpr bool kCaseSensitiveFileNames = false;
#else
inline constexpr char kDirSeparator = '/';
inline constexpr bool kCaseSensitiveFileNames = true;
#endif

// The text with the separator appended, unless it is empty or ends with one.
std::string WithDirSeparator(const std::string& dir);

// ASCII lower case; other bytes stay as they are.
std::string LowerAscii(std::string text);

}  // namespace vz::app
