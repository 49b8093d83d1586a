// Whole-file writing: complete files only, flushed before they replace
// anything, and the temporaries of a killed run told apart from other files.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/ScratchDir.h"
#include "vuzuz/OmzFile.h"

namespace vz::omz {
namespace {

namespace fs = std::filesystem;

TEST(OmzFile, ReplacesAFileWholeAndLeavesNoTemporary) {
  test::TScratchDir dir;
  test::WriteFileBytes(dir.Path() / "d0104.omz", "old archive");
  const Bytes bytes = {1, 2, 3};
  Failure error;
  ASSERT_TRUE(WriteFileAtomically(dir.Path() / "d0104.omz", bytes, error)) << error;
  EXPECT_EQ(test::ReadFileBytes(dir.Path() / "d0104.omz"), std::string("\x01\x02\x03"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
  // A temporary that cannot be flushed is not put in place, and the reason says which.
  EXPECT_FALSE(FlushToDisk(dir.Path() / "gone.tmp", error));
  EXPECT_NE(error.text.find("gone.tmp"), std::string::npos) << error;
  EXPECT_EQ(error.code, Error::kCannotWrite);
  EXPECT_FALSE(WriteFileAtomically(dir.Path() / "missing" / "d0105.omz", bytes, error));
  EXPECT_EQ(error.code, Error::kCannotWrite);
  EXPECT_EQ(test::ReadFileBytes(dir.Path() / "d0104.omz"), std::string("\x01\x02\x03"));
  // A complete temporary that cannot be renamed into place is removed.
  test::WriteFileBytes(dir.Path() / "t.tmp", "x");
  EXPECT_FALSE(MoveIntoPlace(dir.Path() / "t.tmp", dir.Path() / "missing" / "d0106.omz", error));
  EXPECT_EQ(error.code, Error::kCannotPutInPlace);
  EXPECT_FALSE(fs::exists(dir.Path() / "t.tmp"));
}

TEST(OmzFile, WholeFileReadsSayWhyTheyFail) {
  test::TScratchDir dir;
  test::WriteFileBytes(dir.Path() / "five", "12345");
  fs::create_directory(dir.Path() / "folder");
  const struct {
    const char* name;
    size_t maxSize;
    Error fault;
  } cases[] = {
      {"missing", 100, Error::kCannotOpen},
      {"folder", 100, Error::kCannotOpen},
      {"five", 4, Error::kTooLarge},
  };
  for (const auto& c : cases) {
    Bytes bytes;
    Failure error;
    EXPECT_FALSE(ReadWholeFile(dir.Path() / c.name, bytes, error, c.maxSize)) << c.name;
    EXPECT_EQ(error.code, c.fault) << c.name << ": " << error;
    EXPECT_NE(error.text.find(c.name), std::string::npos) << error;
  }
  Bytes bytes;
  Failure error;
  ASSERT_TRUE(ReadWholeFile(dir.Path() / "five", bytes, error, 5)) << error;
  EXPECT_EQ(bytes, (Bytes{'1', '2', '3', '4', '5'}));
}

TEST(OmzFile, RemovesOnlyTheArchiveTemporariesOfAKilledRun) {
  test::TScratchDir dir;
  const char* removed[] = {"d0104.omz.123456-0.tmp", "i260112.omz.7-12.tmp"};
  const char* kept[] = {"d0104.omz",          "d0104.omz.tmp",   "d0104.omz.1-.tmp", "d0104.omz.-1.tmp",
                        "d0104.omz.1-2.tmp.x", "a b.omz.1-2.tmp", "d0104.DAT.1-2.tmp", "notes.tmp",
                        "toolongname.omz.1-2.tmp"};
  for (const char* name : removed) test::WriteFileBytes(dir.Path() / name, "x");
  for (const char* name : kept) test::WriteFileBytes(dir.Path() / name, "x");
  test::WriteFileBytes(dir.Path() / fs::path(u8"d0104\u00e9.omz.1-2.tmp"), "x");  // another script: kept
  fs::create_directory(dir.Path() / "i260113.omz.1-2.tmp");  // a folder of that name stays
  EXPECT_EQ(RemoveLeftoverArchiveTemporaries(dir.Path()), 2u);
  for (const char* name : removed) EXPECT_FALSE(fs::exists(dir.Path() / name)) << name;
  for (const char* name : kept) EXPECT_TRUE(fs::exists(dir.Path() / name)) << name;
  EXPECT_TRUE(fs::is_directory(dir.Path() / "i260113.omz.1-2.tmp"));
  EXPECT_EQ(RemoveLeftoverArchiveTemporaries(dir.Path() / "missing"), 0u);
}

}  // namespace
}  // namespace vz::omz
