// Paths, stamps, attributes and leftovers of a MetaStock directory.
#include <string>

#include "metastock/MsDirectory.h"
#include "platform/FileSystem.h"
#include "platform/TickClock.h"

namespace vz {

namespace {
thread_local std::string lastError;
thread_local MsOpenFailure lastOpenFailure;
}  // namespace

std::string MsLastError() { return lastError; }
void MsSetLastError(const std::string& text) {
  lastError = text;
  if (text.empty()) lastOpenFailure = MsOpenFailure{};
}
const MsOpenFailure& MsLastOpenFailure() { return lastOpenFailure; }
void MsSetOpenFailure(MsOpenError code, const std::string& path, const std::string& reason, const std::string& text) {
  lastOpenFailure = MsOpenFailure{code, path, reason};
  lastError = text.empty() ? reason + ": " + path : text;
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
