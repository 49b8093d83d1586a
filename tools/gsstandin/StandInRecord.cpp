#include "StandInRecord.h"

#include <windows.h>

#include <vector>

#include "vuzuz/OmzArchive.h"

namespace vz::standin {

// Paths are UTF-8; the C runtime's narrow calls would read them in the
// system's code page.
namespace {

std::wstring Wide(const std::string& path) {
  std::wstring wide;
  if (!path.empty()) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    wide.assign(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
  }
  return wide;
}

}  // namespace

std::FILE* OpenUtf8File(const std::string& path, const wchar_t* mode) { return _wfopen(Wide(path).c_str(), mode); }

bool ReplaceFileUtf8(const std::string& from, const std::string& to) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool TRecord::Open(const std::string& path) {
  file_ = OpenUtf8File(path, L"wb");
  return file_ != nullptr;
}

TRecord::~TRecord() {
  if (file_) std::fclose(file_);
}

void TRecord::Line(const std::string& text) {
  if (!file_) return;
  std::fputs(text.c_str(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
}

namespace {

bool ReadWhole(const std::string& path, vz::Bytes& bytes) {
  std::FILE* file = OpenUtf8File(path, L"rb");
  if (!file) return false;
  unsigned char chunk[65536];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool WriteWhole(const std::string& path, const vz::Bytes& bytes) {
  std::FILE* file = OpenUtf8File(path, L"wb");
  if (!file) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/:");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

}  // namespace

void UnpackArchive(const std::string& path, const std::string& unpackDir, TRecord& record) {
  vz::Bytes archive;
  if (!ReadWhole(path, archive)) {
    record.Line("undecodable " + path + " cannot be read");
    return;
  }
  std::vector<omz::ArchiveEntry> entries;
  omz::Failure error;
  if (!omz::ReadArchive(vz::ByteView(archive.data(), archive.size()), entries, error)) {
    record.Line("undecodable " + path + " " + error.text);
    return;
  }
  const std::string folder = unpackDir + "\\" + BaseName(path);
  {
    const int n = MultiByteToWideChar(CP_UTF8, 0, folder.data(), static_cast<int>(folder.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, folder.data(), static_cast<int>(folder.size()), wide.data(), n);
    CreateDirectoryW(wide.c_str(), nullptr);
  }
  for (const auto& entry : entries) {
    if (!entry.expanded) {
      record.Line("undecodable " + path + " entry " + entry.name + " does not expand");
      continue;
    }
    if (!WriteWhole(folder + "\\" + entry.name, entry.data)) {
      record.Line("undecodable " + path + " entry " + entry.name + " cannot be written");
      continue;
    }
    record.Line("entry " + path + " " + entry.name + " " + std::to_string(entry.data.size()));
  }
}

}  // namespace vz::standin
