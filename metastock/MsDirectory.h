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
// - A directory with MASTER but no EMASTER opens all the same (several data
//   services write such directories): the list comes from MASTER (and
//   XMASTER) and no EMASTER is ever created in it, so programs that read
//   MASTER alone go on reading it as before.
#include <cstdint>
#include <string>
#include <vector>

#include "metastock/MsError.h"
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

// Master records the list leaves out, with their reason: GarbledRecord,
// SecondRecord, BeyondFile or OnlyInEmaster (MsError.h). Each entry names
// one record, except that records which cannot be named (no symbol, name or
// file number; those a header counts but the file does not hold) are
// counted in one entry per reason and file.
struct MsSkippedRecord {
  MsError code = MsError::None;
  std::string label;            // "ABC (F12)", "ABC", "F12"; "" for a counted entry
  size_t count = 1;             // records this entry stands for
  std::string file = "MASTER";  // the master file that holds them
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

  // Opened by MsOpenDirectoryToRead: nothing in the directory is created,
  // changed or deleted, and no lock bytes are set around reads.
  bool readOnly = false;
  // Master records the list leaves out because they cannot be taken,
  // each with its reason (see MsSkippedRecord).
  std::vector<MsSkippedRecord> skippedRecords;
  // Why the last MsReadBars of this directory returned -1 (code None
  // otherwise).
  MsFailure readFailure;
};

// Opens the directory as a registered program. Returns none (nullptr) when it
// cannot be opened; MsLastFailure() then says why. An opening that meets
// another program opening or closing the directory (its files held) tries
// again for up to kMsBusyWaitMs before giving up as Busy.
MsDirectory* MsOpenDirectory(const std::string& directory, int32_t version, const std::string& appName,
                             const std::string& userName);
// Opens the directory only to look at it: the list is read from the working
// files when other programs have the directory open, else from the master
// files, each opened for reading under the sharing rules (a writer holding
// one is waited for as above). Nothing in the directory is created, changed
// or deleted, now or by MsReadBars or MsCloseDirectory.
MsDirectory* MsOpenDirectoryToRead(const std::string& directory);
// Unregisters, writes the master files back when this was the last program,
// and releases the object. Accepts nullptr. Returns 1 when the closing
// finished, 0 when it could not (a full disk, a file the system refused):
// MsLastFailure() then says why, and the directory is left as the next
// opener repairs it (still marked open, the list in the working files).
int MsCloseDirectory(MsDirectory* dir);

constexpr int kMsBusyWaitMs = 3000;

// Why the last MsOpenDirectory, MsOpenDirectoryToRead or MsCloseDirectory
// of this thread failed: the code, the path concerned, the reason and the
// whole text (code None and no text after a success). For messages such as
// "Invalid MetaStock directory." followed by the reason and the path.
const MsFailure& MsLastFailure();
// The text of MsLastFailure().
std::string MsLastError();
// Records a failure; its text becomes "reason: path" unless `text` gives a
// fuller one.
void MsSetFailure(MsError code, const std::string& path, const std::string& reason, const std::string& text = {});
void MsClearFailure();
// The same for a failure of a file the system refused or another program
// holds: the code follows the file's error (Busy, AccessDenied,
// CannotWrite for a full disk, NotAFile), else `otherwise`; the text is
// "doing path: system reason".
void MsSetFileFailure(const platform::TSharedFile& file, const std::string& path, const char* doing,
                      MsError otherwise);
// The code of a file's last error as above.
MsError MsErrorOfFile(const platform::TSharedFile& file, MsError otherwise);

// The texts the run lists as left out: "ABC (F12): garbled MASTER record",
// "3 records that MASTER's header counts but the file does not hold".
std::string MsDescribeSkipped(const MsSkippedRecord& record);
std::vector<std::string> MsDescribeSkipped(const std::vector<MsSkippedRecord>& records);
// Records the list leaves out, counted.
size_t MsSkippedCount(const std::vector<MsSkippedRecord>& records);

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
