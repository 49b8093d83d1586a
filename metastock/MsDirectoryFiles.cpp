// Paths, stamps, attributes and leftovers of a MetaStock directory.
#include <string>

#include "metastock/MsDirectory.h"
#include "platform/FileSystem.h"
#include "platform/TickClock.h"

namespace vz {

namespace {
thread_local MsFailure lastFailure;
}  // namespace

const MsFailure& MsLastFailure() { return lastFailure; }
std::string MsLastError() { return lastFailure.text; }
void MsClearFailure() { lastFailure = MsFailure{}; }
void MsSetFailure(MsError code, const std::string& path, const std::string& reason, const std::string& text) {
  lastFailure = MsFailure{code, path, reason, text.empty() ? reason + ": " + path : text};
}

MsError MsErrorOfFile(const platform::TSharedFile& file, MsError otherwise) {
  switch (file.ErrorKind()) {
    case platform::FileError::SharingViolation: return MsError::Busy;
    case platform::FileError::AccessDenied: return MsError::AccessDenied;
    case platform::FileError::NoSpace: return MsError::CannotWrite;
    case platform::FileError::NotRegular: return MsError::NotAFile;
    default: return otherwise;
  }
}

void MsSetFileFailure(const platform::TSharedFile& file, const std::string& path, const char* doing,
                      MsError otherwise) {
  MsSetFailure(MsErrorOfFile(file, otherwise), path, file.ErrorText(),
               std::string(doing) + " " + path + ": " + file.ErrorText());
}

std::string MsDescribeSkipped(const MsSkippedRecord& record) {
  const std::string count = std::to_string(record.count);
  const std::string& file = record.file;
  switch (record.code) {
    case MsError::GarbledRecord:
      return record.label.empty() ? count + " " + file + " records without a readable symbol or name"
                                  : record.label + ": garbled " + file + " record";
    case MsError::SecondRecord: return record.label + ": a second " + file + " record for a data file already listed";
    case MsError::BeyondFile: return count + " records that " + file + "'s header counts but the file does not hold";
    case MsError::OnlyInEmaster: return record.label + ": in EMASTER only, MASTER lists nothing";
    default: return record.label;
  }
}

std::vector<std::string> MsDescribeSkipped(const std::vector<MsSkippedRecord>& records) {
  std::vector<std::string> texts;
  for (const MsSkippedRecord& record : records) texts.push_back(MsDescribeSkipped(record));
  return texts;
}

size_t MsSkippedCount(const std::vector<MsSkippedRecord>& records) {
  size_t count = 0;
  for (const MsSkippedRecord& record : records) count += record.count;
  return count;
}

std::string MsJoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty() || platform::EndsWithSeparator(directory)) return directory + name;
  return directory + platform::PathSeparator() + name;
}

std::string MsFindFile(const std::string& directory, const std::string& name) {
  const std::string found = platform::FindFileNoCase(directory.empty() ? "." : directory, name);
  return MsJoinPath(directory, found.empty() ? name : found);
}

void MsCleanDirectory(MsDirectory& dir) {
  MsSetReadOnly(MsFindFile(dir.directory, kMsMasterName), false);
  MsSetReadOnly(MsFindFile(dir.directory, kMsEmasterName), false);
  for (const char* name : {kMsSecurityFileName, kMsIndexFileName, kMsUserFileName, kMsLockFileName}) {
    const std::string path = MsFindFile(dir.directory, name);
    if (platform::SetArchiveOnly(path)) platform::RemoveFile(path);
  }
  for (const std::string& name : platform::ListFileNames(dir.directory.empty() ? "." : dir.directory))
    if (platform::MatchesWildcard("MS????.TMP", name)) platform::RemoveFile(MsJoinPath(dir.directory, name));
}

uint32_t MsNewStamp(MsDirectory& dir, uint32_t previous) {
  // A stamp whose low 16 bits are 0 would register a slot with id 0, which
  // means "free"; such ticks are skipped like the previous stamp.
  uint32_t stamp = platform::TickCountMs();
  while (stamp == previous) stamp = platform::TickCountMs();
  if ((stamp & 0xFFFFu) == 0) stamp += stamp + 1 == previous ? 2 : 1;
  dir.stamp = stamp;
  return stamp;
}

int MsSetReadOnly(const std::string& path, bool readOnly) { return platform::SetReadOnly(path, readOnly) ? 1 : 0; }

}  // namespace vz
