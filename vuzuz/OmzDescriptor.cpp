#include "vuzuz/OmzDescriptor.h"

#include "vuzuz/OmzFile.h"

namespace vz::omz {

Bytes BuildDescriptorFile() {
  Bytes bytes(kDescriptorSize, 0);
  bytes[2] = 4;  // the data set's format version
  return bytes;
}

bool WriteDescriptorFile(const std::filesystem::path& dir, const std::string& base, Failure& error) {
  if (!IsValidBaseName(base)) return Reject(error, Error::kInvalidBaseName, "invalid base name \"" + base + "\"");
  return WriteFileAtomically(PathIn(dir, base), BuildDescriptorFile(), error);
}

}  // namespace vz::omz
