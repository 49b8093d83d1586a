#pragma once
// The descriptor file of a GlobalServer file set: 32 bytes, named by the base
// name alone, first entry of every archive.
#include <filesystem>
#include <string>

#include "bytes/ByteFields.h"

namespace vz::omz {

constexpr size_t kDescriptorSize = 32;

Bytes BuildDescriptorFile();

// Writes dir/base. False with a message when the file cannot be written.
bool WriteDescriptorFile(const std::filesystem::path& dir, const std::string& base, std::string& error);

}  // namespace vz::omz
