#pragma once
// The MetaStock library's one vocabulary of failures. Whatever it refuses
// (an opening or a closing, a price read, a master record it leaves out of
// the list) is recorded with one of these codes next to its text for
// people, so that callers and tests can tell which fault they met.
//
//   code            set by                 meaning
//   None            -                      nothing failed
//   NotAFolder      open                   the path names no folder
//   NoMaster        open                   the folder holds no MASTER file
//   Busy            open, close, read      another program holds the file: it kept opening or
//                                          closing the directory past the wait, or holds a data
//                                          file without sharing it
//   AccessDenied    open, close, read      the system refused a file (permissions, read-only disk)
//   CannotRead      open, close, read      a master, working or data file could not be read
//   CannotWrite     open, close, read      a working, master or new data file could not be written
//                                          or created (a full disk)
//   CannotRemove    close                  a working file could not be removed: the directory
//                                          stays marked open
//   Damaged         open                   working files unreadable while other programs are
//                                          registered
//   NotInUse        read                   the security is a deleted slot of the list
//   NoDataFile      read                   no data file, and looking only may not create one
//   NotAFile        open, read             a working or data file is a folder, a pipe, a device or a
//                                          link loop
//   GarbledRecord   load                   a master record that is none (file number 0, a field
//                                          count no layout has, no period letter)
//   SecondRecord    load                   a second master record for a data file already listed
//   BeyondFile      load                   records a master header counts but the file does not hold
//   OnlyInEmaster   load                   EMASTER describes the security while MASTER lists nothing
#include <string>

namespace vz {

enum class MsError {
  None,
  NotAFolder,
  NoMaster,
  Busy,
  AccessDenied,
  CannotRead,
  CannotWrite,
  CannotRemove,
  Damaged,
  NotInUse,
  NoDataFile,
  NotAFile,
  GarbledRecord,
  SecondRecord,
  BeyondFile,
  OnlyInEmaster,
};

// One recorded failure: the code, the file or folder concerned, the
// system's reason or what is wrong, and the whole text for people
// ("cannot open /data/ms/~MSFL.USR: Permission denied").
struct MsFailure {
  MsError code = MsError::None;
  std::string path;
  std::string reason;
  std::string text;
};

}  // namespace vz
