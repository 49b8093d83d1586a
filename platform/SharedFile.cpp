#include "platform/SharedFile.h"

#include <atomic>

namespace vz::platform {

namespace {
std::atomic<bool> diskFull{false};
}  // namespace

void SimulateDiskFullForTesting(bool on) { diskFull = on; }
bool DiskFullSimulated() { return diskFull; }

bool TSharedFile::ReadAll(std::vector<uint8_t>& out) const {
  // Resized, not cleared first: a reused buffer is not zero-filled again.
  const int64_t size = Size();
  if (size < 0) {
    out.clear();
    return false;
  }
  out.resize(static_cast<size_t>(size));
  size_t got = 0;
  const bool ok = ReadAt(0, out.data(), out.size(), got);
  out.resize(got);
  return ok;
}

}  // namespace vz::platform
