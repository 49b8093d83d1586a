#pragma once
// ~MSFL.USR: the programs registered in a directory, up to eight slots.
//
// Format notes: a 71-byte header (magic 5D FE 01 4D, version at 4, stamp at
// 6, registered programs at 10, slots at 12, 1 at 16, "Feb 21 2002" at 17,
// "vH.TU" version text at 29) and one 71-byte record per slot: 1 at 0 for a
// registered slot, slot id at 1, "app:user" terminated at 5. A free slot is
// 71 zero bytes.
#include "bytes/ByteFields.h"
#include "metastock/MsDirectory.h"

namespace vz {

constexpr size_t kMsUserRecordSize = 71;
constexpr uint32_t kMsUserMagic = 0x4D01FE5D;

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
