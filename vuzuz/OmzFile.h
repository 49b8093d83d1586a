#pragma once
// Whole-file input and output for the GlobalServer files and archives. A file
// is written under a temporary name in its own folder and renamed over the
// final name only when every byte was written, so a failure never leaves a
// half-written file where a complete one stood.
#include <cstddef>
#include <filesystem>
#include <string>

#include "bytes/ByteFields.h"
#include "vuzuz/OmzError.h"

namespace vz::omz {

// ": " and the system's text for an errno value ("No space left on device"),
// or nothing for 0: what a failed write appends to its message.
std::string SystemReason(int errorNumber);

// dir / name, or name alone when dir is empty (the current directory).
std::filesystem::path PathIn(const std::filesystem::path& dir, const std::string& name);

// A fresh name for a temporary file next to `path`.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& path);

// Whether `name` is one TemporaryPathFor gives a file named `finalName`:
// finalName + "." + digits + "-" + digits + ".tmp".
bool IsTemporaryNameFor(const std::string& name, const std::string& finalName);

// Flushes a complete, closed temporary file to the disk, so that renaming
// it over an older file can never leave an empty one after a power cut; on
// failure removes the temporary and says why (kCannotWrite).
bool FlushToDisk(const std::filesystem::path& temp, Failure& error);

// Renames a complete temporary file over its final name, the rename itself
// flushed to the disk; on failure removes the temporary and says why
// (kCannotPutInPlace).
bool MoveIntoPlace(const std::filesystem::path& temp, const std::filesystem::path& path, Failure& error);

// Removes the temporary archives a killed run left in a folder: files
// named base + ".omz." + digits + "-" + digits + ".tmp", the pattern
// TemporaryPathFor gives an archive. Nothing else is touched. Returns how
// many were removed.
size_t RemoveLeftoverArchiveTemporaries(const std::filesystem::path& folder);

// Writes a whole file under a temporary name, flushes it and puts it in
// place (kCannotWrite, kCannotPutInPlace).
bool WriteFileAtomically(const std::filesystem::path& path, ByteView bytes, Failure& error);

// Reads a whole file of at most maxSize bytes (kCannotOpen, kCannotRead,
// kTooLarge).
bool ReadWholeFile(const std::filesystem::path& path, Bytes& bytes, Failure& error, size_t maxSize = size_t{1} << 30);

// A base name of a file set: 1 to 8 letters, digits, '_' or '-', so that the
// set's file names (base + ".IDX" at most) fit the archive's 12-character
// entry names and stay inside the folder.
bool IsValidBaseName(const std::string& base);

}  // namespace vz::omz
