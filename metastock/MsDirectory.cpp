// Opening and closing a MetaStock directory shared with other programs.
//
// Sharing of the files (others may meanwhile):
//   ~MSFL.INX, ~MSFL.LCK, ~MSFL.SEC  read and write
//   ~MSFL.USR                         read only (one program registers at a time)
//   MASTER, EMASTER, XMASTER          nothing
// ~MSFL.USR is held only while a program opens or closes the directory, and
// a first opener holds the master files from before it looks for ~MSFL.USR
// until it has written it, so the steps of two programs never overlap. A
// program that meets such a holder tries again for a few seconds.
//
// Files the program creates in the directory take the sharing of the master
// files (their permissions, the folder's group), so that every program and
// person that may write the masters may also join through the working files.
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "metastock/MsDirectory.h"
#include "metastock/MsLockFile.h"
#include "metastock/MsMasters.h"
#include "metastock/MsUserFile.h"
#include "platform/FileSystem.h"

namespace vz {

namespace {

using platform::FileAccess;
using platform::FileDisposition;
using platform::FileError;
using platform::FileOpenMode;
using platform::FileShare;

constexpr int kBusyPauseMs = 50;

FileShare ShareOf(const char* name) {
  if (std::strcmp(name, kMsUserFileName) == 0) return FileShare::Read;
  if (std::strcmp(name, kMsMasterName) == 0 || std::strcmp(name, kMsEmasterName) == 0) return FileShare::None;
  return FileShare::ReadWrite;
}

platform::TSharedFile& HandleOf(MsDirectory& dir, const char* name) {
  if (std::strcmp(name, kMsSecurityFileName) == 0) return dir.securityFile;
  if (std::strcmp(name, kMsIndexFileName) == 0) return dir.indexFile;
  if (std::strcmp(name, kMsUserFileName) == 0) return dir.userFile;
  if (std::strcmp(name, kMsLockFileName) == 0) return dir.lockFile;
  if (std::strcmp(name, kMsMasterName) == 0) return dir.masterFile;
  return dir.emasterFile;
}

// Records why a file of the directory could not be opened, read or written:
// a holder is another program opening or closing (worth waiting for); a
// refusal by the system names the file and the system's reason; anything
// else counts as `otherwise`.
void RecordFileFailure(const platform::TSharedFile& file, const std::string& path, const char* doing,
                       MsError otherwise) {
  MsSetFileFailure(file, path, doing, otherwise);
  if (MsLastFailure().code == MsError::Busy)
    MsSetFailure(MsError::Busy, path, file.ErrorText(),
                 MsLastError() + " (another program is opening or closing the directory)");
}

// Opens one of the directory's files into its handle; records why on failure.
bool OpenNamed(MsDirectory& dir, const char* name, FileDisposition disposition) {
  platform::TSharedFile& file = HandleOf(dir, name);
  const std::string path = MsFindFile(dir.directory, name);
  FileOpenMode mode;
  mode.access = FileAccess::ReadWrite;
  mode.share = ShareOf(name);
  mode.disposition = disposition;
  mode.archive = disposition == FileDisposition::CreateAlways;
  if (disposition == FileDisposition::CreateAlways) mode.createLike = MsFindFile(dir.directory, kMsMasterName);
  if (file.Open(path, mode)) return true;
  if (disposition == FileDisposition::CreateAlways)
    RecordFileFailure(file, path, "cannot create", MsError::CannotWrite);
  else
    RecordFileFailure(file, path, "cannot open", MsError::CannotRead);
  return false;
}

// A master file, held exclusively. The rewrite goes through a new file put
// in its place, so read access is enough where the system refuses writing
// (a group member who may replace the file but not write into it).
bool OpenMaster(MsDirectory& dir, const char* name) {
  if (OpenNamed(dir, name, FileDisposition::OpenExisting)) return true;
  if (MsLastFailure().code != MsError::AccessDenied) return false;
  FileOpenMode mode;
  mode.access = FileAccess::Read;
  mode.share = FileShare::None;
  const std::string path = MsFindFile(dir.directory, name);
  if (HandleOf(dir, name).Open(path, mode)) return true;
  RecordFileFailure(HandleOf(dir, name), path, "cannot open", MsError::CannotRead);
  return false;
}

bool IsEmaster(const char* name) { return std::strcmp(name, kMsEmasterName) == 0; }

bool HasEmaster(const MsDirectory& dir) { return platform::FileExists(MsFindFile(dir.directory, kMsEmasterName)); }

void CloseAll(MsDirectory& dir) {
  for (platform::TSharedFile* f :
       {&dir.masterFile, &dir.emasterFile, &dir.indexFile, &dir.userFile, &dir.securityFile, &dir.lockFile})
    f->Close();
}

// Reads a file of the directory for looking only, sharing it with every
// holder that lets others read.
bool ReadShared(const std::string& path, FileShare share, Bytes& bytes, const MsMasterKind* kind = nullptr) {
  platform::TSharedFile file;
  FileOpenMode mode;
  mode.access = FileAccess::Read;
  mode.share = share;
  const bool read = file.Open(path, mode) && (kind ? MsReadMasterFile(file, *kind, bytes) : file.ReadAll(bytes));
  if (!read) RecordFileFailure(file, path, "cannot read", MsError::CannotRead);
  return read;
}

bool ReadOptionalXmaster(MsDirectory& dir, Bytes& bytes) {
  bytes.clear();
  const std::string path = MsFindFile(dir.directory, kMsXmasterName);
  if (!platform::FileExists(path)) return true;
  const MsMasterKind kind = MsMasterKind::Xmaster;
  return ReadShared(path, FileShare::Read, bytes, &kind);
}

// Whether ~MSFL.USR registers programs: a whole header with its magic.
bool UserFileInUse(const MsDirectory& dir) {
  const std::string path = MsFindFile(dir.directory, kMsUserFileName);
  if (!platform::FileExists(path)) return false;
  Bytes users;
  return ReadShared(path, FileShare::ReadWrite, users) && MsUserFileLooksValid(users);
}

// Rewrites a master file held open, closes it and sets it read-only or
// writable again (with the write permissions the working files kept).
void RewriteAndClose(MsDirectory& dir, const char* name, int (*write)(MsDirectory&), bool readOnly, bool& ok) {
  if (!HandleOf(dir, name).IsOpen()) return;  // no EMASTER in this directory
  if (write(dir) != 1) ok = false;
  HandleOf(dir, name).Close();
  const std::string path = MsFindFile(dir.directory, name);
  if (readOnly)
    MsSetReadOnly(path, true);
  else
    platform::RestoreWritable(path, MsFindFile(dir.directory, kMsUserFileName));
}

enum class TAttempt { Opened, Failed, Busy };

// A failed attempt: worth another try only when a file was held.
TAttempt FailedAttempt() {
  return MsLastFailure().code == MsError::Busy ? TAttempt::Busy : TAttempt::Failed;
}

TAttempt FirstOpening(MsDirectory& dir) {
  // Masters first and exclusively: a program starting at the same moment
  // meets them held and waits, instead of cleaning away our working files.
  const std::string userPath = MsFindFile(dir.directory, kMsUserFileName);
  for (const char* name : {kMsMasterName, kMsEmasterName}) {
    if (IsEmaster(name) && !HasEmaster(dir)) continue;
    platform::RestoreWritable(MsFindFile(dir.directory, name), userPath);
    if (!OpenMaster(dir, name)) return CloseAll(dir), FailedAttempt();
  }
  if (UserFileInUse(dir)) {
    // Another program finished its first opening meanwhile: join it.
    CloseAll(dir);
    MsSetFailure(MsError::Busy, userPath, "another program opened the directory meanwhile");
    return TAttempt::Busy;
  }
  MsCleanDirectory(dir);
  for (const char* name : {kMsIndexFileName, kMsLockFileName, kMsSecurityFileName, kMsUserFileName})
    if (!OpenNamed(dir, name, FileDisposition::CreateAlways)) return CloseAll(dir), FailedAttempt();

  Bytes master, emaster, xmaster;
  if (!MsReadMasterFile(dir.masterFile, MsMasterKind::Master, master) ||
      (dir.emasterFile.IsOpen() && !MsReadMasterFile(dir.emasterFile, MsMasterKind::Emaster, emaster))) {
    MsSetFailure(MsError::CannotRead, dir.directory, "cannot read the master files",
                     "cannot read the master files of " + dir.directory);
    return CloseAll(dir), TAttempt::Failed;
  }
  if (!ReadOptionalXmaster(dir, xmaster)) return CloseAll(dir), FailedAttempt();
  MsLoadFromMasters(dir, master, emaster, xmaster);

  const std::pair<platform::TSharedFile*, Bytes> working[] = {{&dir.indexFile, MsBuildIndexFile(dir)},
                                                               {&dir.lockFile, MsBuildLockFile(dir)},
                                                               {&dir.securityFile, MsBuildSecurityFile(dir)}};
  dir.userCount = 0;
  dir.slotCount = 0;
  dir.mySlot = -1;
  for (MsSlot& slot : dir.slots) slot = MsSlot{};
  MsRegisterUser(dir);
  for (const auto& [file, bytes] : working) {
    if (MsWriteWholeFile(*file, bytes) != 1) {
      // The masters are untouched and stay writable.
      RecordFileFailure(*file, dir.directory, "cannot write the working files of", MsError::CannotWrite);
      return CloseAll(dir), TAttempt::Failed;
    }
  }
  // The master files are rewritten while ~MSFL.USR is still held, so no
  // program can join and change the list before they are.
  bool mastersOk = true;
  RewriteAndClose(dir, kMsMasterName, MsWriteMaster, true, mastersOk);
  RewriteAndClose(dir, kMsEmasterName, MsWriteEmaster, true, mastersOk);
  if (MsWriteUserFile(dir) != 1) {
    RecordFileFailure(dir.userFile, userPath, "cannot write", MsError::CannotWrite);
    return CloseAll(dir), TAttempt::Failed;
  }
  dir.userFile.Close();
  return TAttempt::Opened;
}

enum class TJoin { Joined, Failed, Busy, Leftovers };

TJoin Joining(MsDirectory& dir) {
  for (const char* name : {kMsSecurityFileName, kMsLockFileName, kMsIndexFileName, kMsUserFileName}) {
    if (!OpenNamed(dir, name, FileDisposition::OpenExisting)) {
      CloseAll(dir);
      return FailedAttempt() == TAttempt::Busy ? TJoin::Busy : TJoin::Failed;
    }
  }
  Bytes security, users, locks;
  dir.securityFile.ReadAll(security);
  dir.userFile.ReadAll(users);
  // A user file without a header registers nobody: the working files are
  // what a failed first opening left behind, and the directory is not open.
  if (!MsUserFileLooksValid(users)) return CloseAll(dir), TJoin::Leftovers;
  if (!MsSecurityFileLooksValid(security)) {
    const std::string path = MsFindFile(dir.directory, kMsSecurityFileName);
    MsSetFailure(MsError::Damaged, path, "damaged working file while other programs are registered",
                     "damaged working file " + path + " while other programs are registered");
    return CloseAll(dir), TJoin::Failed;
  }
  MsDecodeSecurityFile(dir, security);
  dir.lockFile.ReadAll(locks);
  MsDecodeUserFile(dir, users);
  if (!locks.empty()) MsDecodeLockFile(dir, locks);
  MsClearStaleLocks(dir);
  MsRegisterUser(dir);
  if (MsWriteUserFile(dir) != 1) {
    RecordFileFailure(dir.userFile, MsFindFile(dir.directory, kMsUserFileName), "cannot write",
                      MsError::CannotWrite);
    return CloseAll(dir), TJoin::Failed;
  }
  dir.userFile.Close();
  return TJoin::Joined;
}

template <size_t n>
void CopyName(char (&field)[n], const std::string& text) {
  std::memset(field, 0, n);
  std::memcpy(field, text.data(), std::min(text.size(), kMsNameFieldChars));
}

// Other programs hold ~MSFL.USR only while they open or close; closing waits
// a little for them instead of deciding without the file.
bool OpenUserFileForClosing(MsDirectory& dir) {
  const std::string path = MsFindFile(dir.directory, kMsUserFileName);
  FileOpenMode mode;
  mode.share = FileShare::Read;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMsBusyWaitMs);
  for (;;) {
    if (dir.userFile.Open(path, mode)) return true;
    if (dir.userFile.ErrorKind() != FileError::SharingViolation || std::chrono::steady_clock::now() >= deadline) {
      MsSetFileFailure(dir.userFile, path, "cannot open", MsError::CannotRead);
      MsSetFailure(MsLastFailure().code, path, dir.userFile.ErrorText(),
                   "cannot open " + path + " to close the directory: " + dir.userFile.ErrorText());
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyPauseMs));
  }
}

// The last program out writes the masters back and removes the working
// files. False, with the reason recorded, when it could not: the working
// files then stay (the list lives only there) with nobody registered, the
// masters stay read-only, and the next program to open joins and closes
// in its turn.
bool LastClose(MsDirectory& dir) {
  // Take up what other programs changed in the list since we opened.
  Bytes security;
  if (dir.securityFile.ReadAll(security) && MsSecurityFileLooksValid(security)) MsDecodeSecurityFile(dir, security);
  const std::string userPath = MsFindFile(dir.directory, kMsUserFileName);
  bool mastersOk = true;
  for (const char* name : {kMsMasterName, kMsEmasterName}) {
    if (IsEmaster(name) && !HasEmaster(dir)) continue;
    platform::RestoreWritable(MsFindFile(dir.directory, name), userPath);
    if (mastersOk && !OpenMaster(dir, name)) mastersOk = false;
  }
  // The first failure is the one reported.
  MsFailure why = mastersOk ? MsFailure{} : MsLastFailure();
  if (mastersOk) {
    const auto failed = [&](const char* name) {
      mastersOk = false;
      if (why.code != MsError::None) return;
      why = MsLastFailure();
      if (why.code == MsError::None) why.code = MsError::CannotWrite;
      why.text = "cannot rewrite " + MsFindFile(dir.directory, name) + ": " + why.text;
    };
    const auto rewrite = [&](const char* name, int (*write)(MsDirectory&)) {
      bool ok = true;
      RewriteAndClose(dir, name, write, false, ok);
      if (!ok) failed(name);
    };
    rewrite(kMsMasterName, MsWriteMaster);
    rewrite(kMsEmasterName, MsWriteEmaster);
    if (MsWriteXmaster(dir) != 1) failed(kMsXmasterName);
  }
  if (!mastersOk) {
    for (const char* name : {kMsMasterName, kMsEmasterName}) {
      HandleOf(dir, name).Close();
      MsSetReadOnly(MsFindFile(dir.directory, name), true);
    }
    MsWriteUserFile(dir);
    CloseAll(dir);
    MsSetFailure(why.code, why.path, why.reason,
                 "the directory " + dir.directory + " could not be closed (" + why.text +
                     "); it stays marked open and the next program to use it closes it");
    return false;
  }
  CloseAll(dir);
  // Without ~MSFL.USR the directory is closed; working files another
  // program still holds (a ninth one without a slot, on Windows) go at the
  // next first opening.
  for (const char* name : {kMsIndexFileName, kMsLockFileName, kMsSecurityFileName, kMsUserFileName})
    platform::RemoveFile(MsFindFile(dir.directory, name));
  if (!platform::EntryExists(userPath)) return true;
  MsSetFailure(MsError::CannotRemove, userPath, "cannot remove it",
               "cannot remove " + userPath + ": the directory stays marked open");
  return false;
}

// Where opening starts: the folder and its MASTER must be there.
bool CheckFolder(const std::string& directory) {
  if (!platform::DirectoryExists(directory.empty() ? "." : directory)) {
    MsSetFailure(MsError::NotAFolder, directory, "no such folder");
    return false;
  }
  const std::string master = MsFindFile(directory, kMsMasterName);
  if (!platform::FileExists(master)) {
    MsSetFailure(MsError::NoMaster, directory,
                     platform::EntryExists(master) ? "MASTER is not a file" : "no MASTER file",
                     "no MASTER file in " + directory + (platform::EntryExists(master) ? " (not a file)" : ""));
    return false;
  }
  return true;
}

// Runs attempts until one ends other than busy, or the wait is over.
template <class Attempt>
MsDirectory* WithBusyWait(Attempt attempt) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMsBusyWaitMs);
  for (;;) {
    MsClearFailure();
    std::unique_ptr<MsDirectory> dir;
    const TAttempt outcome = attempt(dir);
    if (outcome == TAttempt::Opened) {
      MsClearFailure();  // what a look-up on the way recorded is no failure
      return dir.release();
    }
    if (outcome == TAttempt::Failed || std::chrono::steady_clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyPauseMs));
  }
}

}  // namespace

MsDirectory* MsOpenDirectory(const std::string& directory, int32_t version, const std::string& appName,
                             const std::string& userName) {
  MsClearFailure();
  if (!CheckFolder(directory)) return nullptr;
  return WithBusyWait([&](std::unique_ptr<MsDirectory>& dir) {
    dir = std::make_unique<MsDirectory>();
    dir->directory = directory;
    dir->version = version;
    CopyName(dir->appName, appName);
    CopyName(dir->userName, userName);
    if (!platform::FileExists(MsFindFile(directory, kMsUserFileName))) return FirstOpening(*dir);
    switch (Joining(*dir)) {
      case TJoin::Joined: return TAttempt::Opened;
      case TJoin::Busy: return TAttempt::Busy;
      case TJoin::Leftovers: return FirstOpening(*dir);
      case TJoin::Failed: break;
    }
    return TAttempt::Failed;
  });
}

MsDirectory* MsOpenDirectoryToRead(const std::string& directory) {
  MsClearFailure();
  if (!CheckFolder(directory)) return nullptr;
  return WithBusyWait([&](std::unique_ptr<MsDirectory>& dir) {
    dir = std::make_unique<MsDirectory>();
    dir->directory = directory;
    dir->readOnly = true;
    // Open by other programs: the list they share is in ~MSFL.SEC.
    Bytes security;
    if (UserFileInUse(*dir) &&
        ReadShared(MsFindFile(directory, kMsSecurityFileName), FileShare::ReadWrite, security) &&
        MsSecurityFileLooksValid(security)) {
      MsDecodeSecurityFile(*dir, security);
      return TAttempt::Opened;
    }
    MsClearFailure();
    Bytes master, emaster, xmaster;
    const MsMasterKind masterKind = MsMasterKind::Master, emasterKind = MsMasterKind::Emaster;
    if (!ReadShared(MsFindFile(directory, kMsMasterName), FileShare::Read, master, &masterKind))
      return FailedAttempt();
    if (HasEmaster(*dir) &&
        !ReadShared(MsFindFile(directory, kMsEmasterName), FileShare::Read, emaster, &emasterKind))
      return FailedAttempt();
    if (!ReadOptionalXmaster(*dir, xmaster)) return FailedAttempt();
    MsLoadFromMasters(*dir, master, emaster, xmaster);
    return TAttempt::Opened;
  });
}

int MsCloseDirectory(MsDirectory* dir) {
  if (dir == nullptr) return 1;
  MsClearFailure();
  std::unique_ptr<MsDirectory> owned(dir);
  for (MsSecurity& s : dir->securities) s.dataFile.Close();
  if (dir->readOnly) return 1;
  if (!OpenUserFileForClosing(*dir)) {
    // Without the user file this program cannot know whether it is the last
    // one; it leaves its registration (reused when it opens again) and only
    // gives back its locks.
    MsReadLockFile(*dir);
    MsReleaseOwnLocks(*dir);
    MsWriteLockFile(*dir);
    CloseAll(*dir);
    return 0;
  }
  MsReadUserFile(*dir);
  // Own locks are found by this program's user bit, so they are released
  // (in memory) while the slot is still known.
  MsReadLockFile(*dir);
  MsReleaseOwnLocks(*dir);
  MsUnregisterUser(*dir);
  if (dir->userCount == 0) return LastClose(*dir) ? 1 : 0;
  const bool locks = MsWriteLockFile(*dir) == 1;
  const bool users = MsWriteUserFile(*dir) == 1;
  if (!locks || !users) {
    const platform::TSharedFile& failed = users ? dir->lockFile : dir->userFile;
    MsSetFileFailure(failed, MsFindFile(dir->directory, users ? kMsLockFileName : kMsUserFileName), "cannot write",
                     MsError::CannotWrite);
  }
  CloseAll(*dir);
  return locks && users ? 1 : 0;
}

}  // namespace vz
