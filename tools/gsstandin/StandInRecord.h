#pragma once
// What the GlobalServer stand-in writes for a test to read: one line per
// event, flushed at once, and each imported archive unpacked into a folder
// of its own.
#include <cstdio>
#include <string>

namespace vz::standin {

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
