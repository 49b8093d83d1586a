#pragma once
// An open MetaStock directory shared with other programs, and the two entry
// points that open and close it.
//
// Protocol (working files inside the directory):
// - ~MSFL.USR registers up to eight programs; ~MSFL.LCK holds a lock byte
//   and a user-bit byte per security; ~MSFL.SEC and ~MSFL.INX hold the list.
// - The first opener (no ~MSFL.USR yet) builds the list from the master
//   files, writes the working files and makes MASTER and EMASTER read-only;
//   later openers join by reading the working files; the last closer writes
//   the master files back from the list and deletes the working files.
#include <cstdint>
#include <string>
#include <vector>

#include "metastock/MsSecurity.h"
#include "platform/SharedFile.h"

namespace vz {

constexpr int kMsSlotCount = 8;
// Longest application or user name kept (the fields hold 32 bytes with the
// terminator); longer names are cut to this many bytes.
constexpr size_t kMsNameFieldChars = 31;

struct MsSlot {
  uint16_t id = 0;  // 0 = free; else low 16 bits of the stamp at registration
  char app[32] = {};
  char user[32] = {};
};

struct MsDirectory {
  platform::TSharedFile masterFile, emasterFile;
  platform::TSharedFile indexFile, userFile, securityFile, lockFile;
  uint32_t stamp = 0;
  std::string directory;
  int32_t version = 0;
  int32_t activeCount = 0;
  int32_t lastFileNumber = 0;
  char appName[32] = {};
  char userName[32] = {};
  int32_t userCount = 0;
  int32_t slotCount = 0;
  int32_t mySlot = -1;
  MsSlot slots[kMsSlotCount];
  int32_t securityCount = 0;  // always securities.size()
  std::vector<MsSecurity> securities;
};

// Opens the directory as a registered program. Returns none (nullptr) when it
// cannot be opened; MsLastError() then says why.
MsDirectory* MsOpenDirectory(const std::string& directory, int32_t version, const std::string& appName,
                             const std::string& userName);
// Unregisters, writes the master files back when this was the last program,
// and releases the object. Accepts nullptr.
void MsCloseDirectory(MsDirectory* dir);

// Why the last MsOpenDirectory of this thread failed ("" after a success).
std::string MsLastError();
void MsSetLastError(const std::string& text);

// Directory text, a separator unless it already ends with one, the name.
std::string MsJoinPath(const std::string& directory, const std::string& name);
// Path of a file of the directory, matched without regard to case; the
// name as given when no entry matches (for creating it).
std::string MsFindFile(const std::string& directory, const std::string& name);

// Removes leftovers of earlier openings: the working files and MS????.TMP.
void MsCleanDirectory(MsDirectory& dir);
// Reads the tick counter until it differs from `previous`; sets dir.stamp.
uint32_t MsNewStamp(MsDirectory& dir, uint32_t previous);
// Sets or clears the read-only attribute; returns whether the file exists.
int MsSetReadOnly(const std::string& path, bool readOnly);

// Working and master file names.
inline constexpr const char* kMsMasterName = "MASTER";
inline constexpr const char* kMsEmasterName = "EMASTER";
inline constexpr const char* kMsXmasterName = "XMASTER";
inline constexpr const char* kMsSecurityFileName = "~MSFL.SEC";
inline constexpr const char* kMsIndexFileName = "~MSFL.INX";
inline constexpr const char* kMsUserFileName = "~MSFL.USR";
inline constexpr const char* kMsLockFileName = "~MSFL.LCK";

}  // namespace vz
