#pragma once
// ~MSFL.USR: the programs registered in a directory, up to eight slots.
// Layout: MsWorkingFileLayout.h.
#include "bytes/ByteFields.h"
#include "metastock/MsDirectory.h"
#include "metastock/MsWorkingFileLayout.h"

namespace vz {


// Applies a user file's contents to the user table. False (nothing changed)
// when the bytes hold no whole header.
bool MsDecodeUserFile(MsDirectory& dir, std::span<const uint8_t> bytes);
Bytes MsBuildUserFile(const MsDirectory& dir);
// True when the bytes start with a whole header with its magic.
bool MsUserFileLooksValid(std::span<const uint8_t> bytes);

// Reads ~MSFL.USR into the user table (opening and closing it when it is not
// open); 1 when read, 0 when it could not be (the table is then unchanged).
int MsReadUserFile(MsDirectory& dir);
int MsWriteUserFile(MsDirectory& dir);
int MsRegisterUser(MsDirectory& dir);
int MsUnregisterUser(MsDirectory& dir);
// This program's bit in the user masks (0x80 >> slot), 0 without a slot.
int32_t MsUserBit(const MsDirectory& dir);

}  // namespace vz
