#pragma once
// The descriptor file of a GlobalServer file set: 32 bytes, named by the base
// name alone, first entry of every archive.
#include <filesystem>
#include <string>

#include "bytes/ByteFields.h"
#include "vuzuz/OmzError.h"

namespace vz::omz {

constexpr size_t kDescriptorSize = 32;

Bytes BuildDescriptorFile();

// Writes dir/base. False when the base name is not valid or the file cannot
// be written.
bool WriteDescriptorFile(const std::filesystem::path& dir, const std::string& base, Failure& error);

}  // namespace vz::omz
