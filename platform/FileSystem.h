#pragma once
// Directory entries and attributes for MetaStock directories: existence,
// deletion, the read-only attribute (on Linux the file's write permission),
// atomic replacement, wildcard search and case-insensitive name lookup.
#include <filesystem>
#include <string>
#include <vector>

namespace vz::platform {

// A UTF-8 path text as a std::filesystem path, and back. Paths are UTF-8
// inside the program; the narrow-string conversions of std::filesystem use
// the system's code page on Windows and would garble other characters.
// Utf8FromPath gives "" for a name that has no UTF-8 form.
std::filesystem::path PathFromUtf8(const std::string& text);
std::string Utf8FromPath(const std::filesystem::path& path);

// Path separator of the system ('\\' on Windows, '/' elsewhere).
char PathSeparator();
// True when the text ends with a path separator of this system.
bool EndsWithSeparator(const std::string& path);

bool FileExists(const std::string& path);
// True when the path names any entry at all: a file, a folder, a pipe, a
// device, or a link (even one that leads nowhere).
bool EntryExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Deletes a file; false when it does not exist or cannot be deleted.
bool RemoveFile(const std::string& path);

// Sets or clears only the read-only attribute; false when the file does not
// exist. On Linux read-only means no write permission for anybody, and
// writable gives the owner write permission back.
bool SetReadOnly(const std::string& path, bool readOnly);
bool IsReadOnly(const std::string& path);
// Clears the read-only attribute. On Linux write permission goes back to
// each class (owner, group, others) that `like` grants it, and to the owner
// in any case; `like` is a file that kept the sharing the read-only file had
// before (on Windows the same as SetReadOnly(path, false)).
bool RestoreWritable(const std::string& path, const std::string& like);
// Sets the attributes to "archive" only (clearing read-only, hidden, system);
// false when the file does not exist.
bool SetArchiveOnly(const std::string& path);

// Puts `from` in place of `to` in one step, replacing it.
bool MoveFileOver(const std::string& from, const std::string& to);

// Names of the regular files in a directory (empty when it cannot be read).
std::vector<std::string> ListFileNames(const std::string& directory);
// Matches a name against a pattern with '?' (one character) and '*' (any
// run), without regard to ASCII case.
bool MatchesWildcard(const std::string& pattern, const std::string& name);
// ASCII case-insensitive equality.
bool EqualsNoCase(const std::string& a, const std::string& b);
// The directory entry whose name equals `name` without regard to case: the
// exact name when it exists, else the first entry matching, else "".
std::string FindFileNoCase(const std::string& directory, const std::string& name);

}  // namespace vz::platform
