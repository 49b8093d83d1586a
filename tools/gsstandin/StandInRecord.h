#pragma once
// What the GlobalServer stand-in writes for a test to read: one line per
// event, flushed at once, and each imported archive unpacked into a folder
// of its own.
#include <cstdio>
#include <string>

namespace vz::standin {

// The C runtime's file calls with a UTF-8 path (`mode` as _wfopen takes it).
std::FILE* OpenUtf8File(const std::string& path, const wchar_t* mode);
// Puts `from` in the place of `to`, replacing it.
bool ReplaceFileUtf8(const std::string& from, const std::string& to);

class TRecord {
public:
  // False when the file cannot be created.
  bool Open(const std::string& path);
  ~TRecord();
  void Line(const std::string& text);

private:
  std::FILE* file_ = nullptr;
};

// Reads the archive at `path`, expands every entry with the project's own
// reader and writes each into unpackDir\<archive name without .omz>\.
// Records "entry <archive> <name> <size>" per entry, or "undecodable
// <archive> <reason>".
void UnpackArchive(const std::string& path, const std::string& unpackDir, TRecord& record);

}  // namespace vz::standin
