#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/FileSystem.h"
#include "support/ScratchDir.h"

namespace vz::platform {
namespace {

// A Cyrillic folder name and a character outside the BMP, as UTF-8.
const std::string kName = "\xD0\x90\xD1\x80\xD1\x85\xD0\xB8\xD0\xB2 \xF0\x9F\x93\x88";

TEST(Utf8Path, FolderNamesSurviveTheWayThereAndBack) {
  test::TScratchDir scratch;
  const std::string dir = Utf8FromPath(scratch.Path()) + PathSeparator() + kName;
  ASSERT_TRUE(std::filesystem::create_directory(PathFromUtf8(dir)));
  std::string listed;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.Path())) listed = Utf8FromPath(entry.path().filename());
  EXPECT_EQ(listed, kName);
  EXPECT_TRUE(DirectoryExists(dir));  // the platform's own functions agree
}

}  // namespace
}  // namespace vz::platform
