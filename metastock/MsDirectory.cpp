// Opening and closing a MetaStock directory shared with other programs.
//
// Sharing of the files (others may meanwhile):
//   ~MSFL.INX, ~MSFL.LCK, ~MSFL.SEC  read and write
//   ~MSFL.USR                         read only (one program registers at a time)
//   MASTER, EMASTER, XMASTER          nothing
// ~MSFL.USR is held only while a program opens or closes the directory, so
// the steps of two programs never overlap; a program that meets a holder
// fails at once.
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
using platform::FileOpenMode;
using platform::FileShare;

FileOpenMode Mode(FileShare share, FileDisposition disposition) {
  FileOpenMode mode;
  mode.access = FileAccess::ReadWrite;
  mode.share = share;
  mode.disposition = disposition;
  mode.archive = disposition == FileDisposition::CreateAlways;
  return mode;
}

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

// Opens one of the directory's files into its handle; records why on failure.
bool OpenNamed(MsDirectory& dir, const char* name, FileDisposition disposition) {
  platform::TSharedFile& file = HandleOf(dir, name);
  const std::string path = MsFindFile(dir.directory, name);
  if (file.Open(path, Mode(ShareOf(name), disposition))) return true;
  MsSetLastError(std::string(disposition == FileDisposition::CreateAlways ? "cannot create " : "cannot open ") + path +
                 ": " + file.ErrorText());
  return false;
}

void CloseAll(MsDirectory& dir) {
  for (platform::TSharedFile* f :
       {&dir.masterFile, &dir.emasterFile, &dir.indexFile, &dir.userFile, &dir.securityFile, &dir.lockFile})
    f->Close();
}

bool ReadOptionalXmaster(MsDirectory& dir, TBytes& bytes) {
  bytes.clear();
  const std::string path = MsFindFile(dir.directory, kMsXmasterName);
  if (!platform::FileExists(path)) return true;
  platform::TSharedFile file;
  FileOpenMode mode;
  mode.access = FileAccess::Read;
  mode.share = FileShare::Read;
  if (!file.Open(path, mode) || !file.ReadAll(bytes)) {
    MsSetLastError("cannot read " + path + ": " + file.ErrorText());
    return false;
  }
  return true;
}

// Rewrites a master file held open, closes it and sets it read-only or not.
void RewriteAndClose(MsDirectory& dir, const char* name, int (*write)(MsDirectory&), bool readOnly, bool& ok) {
  if (write(dir) != 1) ok = false;
  HandleOf(dir, name).Close();
  MsSetReadOnly(MsFindFile(dir.directory, name), readOnly);
}

bool FirstOpening(MsDirectory& dir) {
  MsCleanDirectory(dir);
  for (const char* name : {kMsIndexFileName, kMsLockFileName, kMsSecurityFileName, kMsUserFileName})
    if (!OpenNamed(dir, name, FileDisposition::CreateAlways)) return CloseAll(dir), false;
  for (const char* name : {kMsMasterName, kMsEmasterName})
    if (!OpenNamed(dir, name, FileDisposition::OpenExisting)) return CloseAll(dir), false;

  TBytes master, emaster, xmaster;
  if (!dir.masterFile.ReadAll(master) || !dir.emasterFile.ReadAll(emaster)) {
    MsSetLastError("cannot read the master files of " + dir.directory);
    return CloseAll(dir), false;
  }
  if (!ReadOptionalXmaster(dir, xmaster)) return CloseAll(dir), false;
  MsLoadFromMasters(dir, master, emaster, xmaster);

  bool written = MsWriteIndexFile(dir) == 1;
  written = MsWriteLockFile(dir) == 1 && written;
  written = MsWriteSecurityFile(dir) == 1 && written;
  dir.userCount = 0;
  dir.slotCount = 0;
  dir.mySlot = -1;
  for (MsSlot& slot : dir.slots) slot = MsSlot{};
  MsRegisterUser(dir);
  // The master files are rewritten while ~MSFL.USR is still held, so no
  // program can join and change the list before they are.
  bool mastersOk = true;
  RewriteAndClose(dir, kMsMasterName, MsWriteMaster, true, mastersOk);
  RewriteAndClose(dir, kMsEmasterName, MsWriteEmaster, true, mastersOk);
  written = MsWriteUserFile(dir) == 1 && written;
  dir.userFile.Close();
  if (!written) {
    MsSetLastError("cannot write the working files of " + dir.directory);
    return CloseAll(dir), false;
  }
  return true;
}

enum class TJoin { Joined, Failed, Leftovers };

TJoin Joining(MsDirectory& dir) {
  for (const char* name : {kMsSecurityFileName, kMsLockFileName, kMsIndexFileName, kMsUserFileName}) {
    if (!OpenNamed(dir, name, FileDisposition::OpenExisting)) {
      MsSetLastError(MsLastError() + " (another program may be opening or closing the directory)");
      return CloseAll(dir), TJoin::Failed;
    }
  }
  TBytes security, users, locks;
  dir.securityFile.ReadAll(security);
  dir.userFile.ReadAll(users);
  // A user file without a header registers nobody: the working files are
  // what a failed first opening left behind, and the directory is not open.
  if (!MsUserFileLooksValid(users)) return CloseAll(dir), TJoin::Leftovers;
  if (!MsSecurityFileLooksValid(security)) {
    MsSetLastError("damaged working file " + MsFindFile(dir.directory, kMsSecurityFileName) +
                   " while other programs are registered");
    return CloseAll(dir), TJoin::Failed;
  }
  MsDecodeSecurityFile(dir, security);
  dir.lockFile.ReadAll(locks);
  MsDecodeUserFile(dir, users);
  if (!locks.empty()) MsDecodeLockFile(dir, locks);
  MsClearStaleLocks(dir);
  MsRegisterUser(dir);
  MsWriteUserFile(dir);
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
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (dir.userFile.Open(MsFindFile(dir.directory, kMsUserFileName), Mode(FileShare::Read, FileDisposition::OpenExisting)))
      return true;
    if (!platform::FileExists(MsFindFile(dir.directory, kMsUserFileName))) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void LastClose(MsDirectory& dir) {
  // Take up what other programs changed in the list since we opened.
  TBytes security;
  if (dir.securityFile.ReadAll(security) && MsSecurityFileLooksValid(security)) MsDecodeSecurityFile(dir, security);
  bool mastersOk = true;
  for (const char* name : {kMsMasterName, kMsEmasterName}) {
    MsSetReadOnly(MsFindFile(dir.directory, name), false);
    if (!OpenNamed(dir, name, FileDisposition::OpenExisting)) mastersOk = false;
  }
  if (mastersOk) {
    RewriteAndClose(dir, kMsMasterName, MsWriteMaster, false, mastersOk);
    RewriteAndClose(dir, kMsEmasterName, MsWriteEmaster, false, mastersOk);
    mastersOk = MsWriteXmaster(dir) == 1 && mastersOk;
  }
  if (!mastersOk) {
    // Keep the working files (the list lives only there now) and the
    // directory marked open; the next program to close as last writes the
    // masters again.
    for (const char* name : {kMsMasterName, kMsEmasterName}) {
      HandleOf(dir, name).Close();
      MsSetReadOnly(MsFindFile(dir.directory, name), true);
    }
    MsWriteUserFile(dir);
    CloseAll(dir);
    return;
  }
  CloseAll(dir);
  for (const char* name : {kMsIndexFileName, kMsLockFileName, kMsSecurityFileName, kMsUserFileName})
    platform::RemoveFile(MsFindFile(dir.directory, name));
}

}  // namespace

MsDirectory* MsOpenDirectory(const std::string& directory, int32_t version, const std::string& appName,
                             const std::string& userName) {
  MsSetLastError({});
  for (const char* name : {kMsMasterName, kMsEmasterName}) {
    if (!platform::FileExists(MsFindFile(directory, name))) {
      MsSetLastError(std::string("no ") + name + " file in " + directory +
                     (platform::DirectoryExists(directory) ? "" : " (no such directory)"));
      return nullptr;
    }
  }
  auto dir = std::make_unique<MsDirectory>();
  dir->directory = directory;
  dir->version = version;
  CopyName(dir->appName, appName);
  CopyName(dir->userName, userName);

  bool opened = false;
  if (!platform::FileExists(MsFindFile(directory, kMsUserFileName))) {
    opened = FirstOpening(*dir);
  } else {
    switch (Joining(*dir)) {
      case TJoin::Joined: opened = true; break;
      case TJoin::Failed: opened = false; break;
      case TJoin::Leftovers: opened = FirstOpening(*dir); break;
    }
  }
  if (!opened) return nullptr;
  return dir.release();
}

void MsCloseDirectory(MsDirectory* dir) {
  if (dir == nullptr) return;
  std::unique_ptr<MsDirectory> owned(dir);
  for (MsSecurity& s : dir->securities) s.dataFile.Close();
  if (!OpenUserFileForClosing(*dir)) {
    // Without the user file this program cannot know whether it is the last
    // one; it leaves its registration (reused when it opens again) and only
    // gives back its locks.
    MsReadLockFile(*dir);
    MsReleaseOwnLocks(*dir);
    MsWriteLockFile(*dir);
    CloseAll(*dir);
    return;
  }
  MsReadUserFile(*dir);
  // Own locks are found by this program's user bit, so they are released
  // (in memory) while the slot is still known.
  MsReadLockFile(*dir);
  MsReleaseOwnLocks(*dir);
  MsUnregisterUser(*dir);
  if (dir->userCount == 0) {
    LastClose(*dir);
    return;
  }
  MsWriteLockFile(*dir);
  MsWriteUserFile(*dir);
  CloseAll(*dir);
}

}  // namespace vz
