#pragma once
// The security list and the files that describe it: MASTER, EMASTER,
// XMASTER (file numbers above 255) and the working copies ~MSFL.SEC and
// ~MSFL.INX. Their layouts: Ms*Layout.h.
//
// Loading at the first opening trusts MASTER about which securities exist
// and takes each one's details from EMASTER when EMASTER holds a valid record
// for the same file number and symbol; otherwise MASTER's record fills the
// slot. XMASTER's securities follow. Writing keeps every byte of the old
// files unless the list holds a different value for its field (see
// MsMasterWrite.cpp).
#include <cstdint>
#include <span>

#include "bytes/ByteFields.h"
#include "metastock/MsDirectory.h"
#include "metastock/MsEmasterLayout.h"
#include "metastock/MsMasterLayout.h"
#include "metastock/MsSecurityFileLayout.h"
#include "metastock/MsXmasterLayout.h"

namespace vz {

// Notice text of the EMASTER, XMASTER and ~MSFL.SEC headers: 41 characters.
inline constexpr char kMsNoticeText[] = "MetaStock-format data, Vuzuz archive tool";
static_assert(sizeof kMsNoticeText == 42);

using TByteSpan = std::span<const uint8_t>;

enum class MsMasterKind { Master, Emaster, Xmaster };
// Bytes after a master file's counted records that are read and kept when
// the file is rewritten; anything beyond is neither read nor kept.
constexpr size_t kMsMasterTailBytes = 64 * 1024;
// Reads a master file from its start: the header, the records its header
// counts (a 16-bit count, so at most 65,535 records of the kind's size) and
// at most kMsMasterTailBytes after them, never more than the file holds. A
// huge or sparse file costs no more than its counted records. False when
// reading fails (`out` then holds what was read).
bool MsReadMasterFile(const platform::TSharedFile& file, MsMasterKind kind, Bytes& out);

// Field mask for a MASTER field count (5..8) and period; 0 when no layout
// has that many fields.
int32_t MsMaskForFieldCount(int32_t fieldCount, int32_t period);
// Number of 4-byte fields a mask selects.
int32_t MsFieldsOfMask(int32_t fieldMask);

// Record decoders: fill `out` from one record; false when the record is not
// a valid one (file number 0, a field count no layout has, no period letter).
bool MsDecodeMasterRecord(TByteView record, MsSecurity& out);
bool MsDecodeEmasterRecord(TByteView record, MsSecurity& out);
bool MsDecodeXmasterRecord(TByteView record, MsSecurity& out);

// Builds the list at the first opening from MASTER, EMASTER and XMASTER
// contents (EMASTER and XMASTER may be empty: not in the directory); draws
// a new stamp. Every count is bounded by the bytes present. MASTER records
// that cannot be listed are described in dir.skippedRecords. Returns 1.
int MsLoadFromMasters(MsDirectory& dir, TByteSpan master, TByteSpan emaster, TByteSpan xmaster = {});

// Later openers: the list from ~MSFL.SEC (dir.securityFile). Returns 1.
int MsLoadFromSecurityFile(MsDirectory& dir);
// The same from bytes already read.
void MsDecodeSecurityFile(MsDirectory& dir, TByteSpan bytes);
// True when the bytes start with a whole ~MSFL.SEC header with its magic.
bool MsSecurityFileLooksValid(TByteSpan bytes);

Bytes MsBuildSecurityFile(const MsDirectory& dir);
Bytes MsBuildIndexFile(const MsDirectory& dir);
int MsWriteSecurityFile(MsDirectory& dir);
int MsWriteIndexFile(MsDirectory& dir);

// Master files rebuilt from the list over their previous contents (which
// may be empty: a new file). MASTER and EMASTER take the in-use securities
// with file numbers up to 255, XMASTER those above. Of a header only the
// counts, the last file number and the stamp change; the program's notice
// text goes only into a file it creates.
Bytes MsBuildMaster(const MsDirectory& dir, TByteSpan previous);
Bytes MsBuildEmaster(const MsDirectory& dir, TByteSpan previous);
Bytes MsBuildXmaster(const MsDirectory& dir, TByteSpan previous);
// True when XMASTER has to be written: the list holds a security above 255.
bool MsNeedsXmaster(const MsDirectory& dir);

// Rewrite the master file held open in dir.masterFile / dir.emasterFile:
// the current contents are read again, the new file is written completely
// under a temporary name, given the old file's owner, group and permissions
// (as far as the system allows) and then put in place, so a crash leaves
// either the old or the new file. The handle then refers to the new file.
// 1 / 0 (MsLastError() then says why).
int MsWriteMaster(MsDirectory& dir);
int MsWriteEmaster(MsDirectory& dir);
// Opens XMASTER exclusively and rewrites it the same way when the list
// needs it; 1 when written or not needed, 0 on failure.
int MsWriteXmaster(MsDirectory& dir);

// Writes bytes over a shared working file from offset 0 and cuts it to their
// size; 1 / 0.
int MsWriteWholeFile(platform::TSharedFile& file, const Bytes& bytes);

}  // namespace vz
