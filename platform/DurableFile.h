#pragma once
// Making a file that was written and renamed into place survive a power
// cut: its data flushed to the disk before the rename, the rename itself
// flushed after it. Without both, some file systems leave an empty or
// partly written file where a complete one stood.
#include <filesystem>
#include <system_error>

namespace vz::platform {

// Flushes the data of a closed, written file to the disk; the system's
// error when the file cannot be opened for it or the flush fails.
std::error_code FlushFileToDisk(const std::filesystem::path& file);

// Renames `from` over `to` (replacing it) so that the new name is on the
// disk when the call returns: on POSIX the folder is flushed after the
// rename, on Windows the move is written through. The system's error when
// the rename fails; a failed folder flush after a good rename is no error,
// as some file systems cannot flush folders.
std::error_code RenameDurably(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace vz::platform
