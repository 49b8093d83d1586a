#include "app/window/DirectoryChecks.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "app/run/PathText.h"
#include "support/ScratchDir.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;

TEST(MsDirectoryProblem, SaysWhatIsMissingAndWhere) {
  test::TScratchDir scratch;
  const fs::path root = scratch.Path();
  fs::create_directories(root / "only-master");
  test::WriteFileBytes(root / "only-master" / "MASTER", "");
  fs::create_directories(root / "only-emaster");
  test::WriteFileBytes(root / "only-emaster" / "emaster", "");
  fs::create_directories(root / "both");
  test::WriteFileBytes(root / "both" / "Master", "");
  test::WriteFileBytes(root / "both" / "EMASTER", "");
  fs::create_directories(root / "folders" / "MASTER");
  fs::create_directories(root / "folders" / "EMASTER");
  test::WriteFileBytes(root / "file", "x");
  const struct {
    const char* name;
    const char* problem;  // after "<dir>: "; empty: fine
  } cases[] = {
      {"both", ""},
      {"only-master", ""},
      {"only-emaster", "no MASTER file"},
      {"folders", "no MASTER file"},
      {"missing", "no such folder"},
      {"file", "not a folder"},
  };
  for (const auto& c : cases) {
    const std::string dir = WithDirSeparator((root / c.name).string());
    const std::string expected = *c.problem ? dir + ": " + c.problem : "";
    EXPECT_EQ(MsDirectoryProblem(dir), expected) << c.name;
  }
}

TEST(OutputChecks, CreateTheFolderOrSayWhyNot) {
  test::TScratchDir scratch;
  const fs::path root = scratch.Path();
  const std::string deep = WithDirSeparator((root / "a" / "b").string());
  EXPECT_EQ(CreateOutputProblem(deep), "");
  EXPECT_TRUE(fs::is_directory(root / "a" / "b"));
  EXPECT_EQ(WriteOutputProblem(deep), "");
  EXPECT_TRUE(fs::is_empty(root / "a" / "b"));  // the probe leaves nothing behind

  test::WriteFileBytes(root / "file", "x");
  const std::string blocked = WithDirSeparator((root / "file" / "sub").string());
  const std::string problem = CreateOutputProblem(blocked);
  EXPECT_EQ(problem.rfind(blocked + ": ", 0), 0u) << problem;
  EXPECT_GT(problem.size(), blocked.size() + 2);  // with the system's reason
  EXPECT_EQ(CreateOutputProblem((root / "file").string()), (root / "file").string() + ": not a folder");

  const std::string missing = WithDirSeparator((root / "missing").string());
  EXPECT_EQ(WriteOutputProblem(missing), missing + ": " + std::generic_category().message(ENOENT));
}

}  // namespace
}  // namespace vz::app
