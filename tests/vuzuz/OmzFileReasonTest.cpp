// A file that cannot be written says why, in the system's words, not only
// which temporary file it was.
#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

#include "support/ScratchDir.h"
#include "vuzuz/OmzFile.h"

namespace vz::omz {
namespace {

TEST(WriteFileAtomically, FailureCarriesTheSystemsReason) {
  test::TScratchDir dir;
  const Bytes bytes(16, 1);
  Failure error;
  EXPECT_FALSE(WriteFileAtomically(dir.Path() / "missing" / "d2611.omz", bytes, error));
  EXPECT_EQ(error.code, Error::kCannotWrite);
  EXPECT_NE(error.text.find("d2611.omz"), std::string::npos) << error;
  EXPECT_NE(error.text.find(": " + std::generic_category().message(ENOENT)), std::string::npos) << error;
  EXPECT_EQ(SystemReason(0), "");
  EXPECT_EQ(SystemReason(ENOSPC), ": " + std::generic_category().message(ENOSPC));
}

}  // namespace
}  // namespace vz::omz
