#include <gtest/gtest.h>

#include <filesystem>

#include "app/run/ImportLists.h"
#include "app/run/PathText.h"
#include "support/ScratchDir.h"

namespace vz::app {
namespace {

constexpr double kMarch1_2001 = 36951;
constexpr double kMay31_2001 = 37042;
constexpr double kDec30_2099 = 73049;

class ImportListsTest : public testing::Test {
protected:
  void SetUp() override {
    const auto& dir = scratch_.Path();
    for (const char* folder : {"2001_03", "2001_05", "2099_12", "nounderscore", "with.dot_x", "2001_04.omz"})
      std::filesystem::create_directories(dir / folder);
    for (const char* name : {"d0103.omz", "d0105.omz", "i010316.OMZ", "i0103.omz", "2001_03/i010315.omz",
                             "2001_03/i010301.omz", "2001_03/i010230.omz", "2001_03/ia10305.omz", "2001_03/notes.txt",
                             "2001_05/i010531.omz", "2001_05/i010601.omz", "2099_12/i991231.omz",
                             "nounderscore/i010302.omz", "with.dot_x/i010303.omz"})
      test::WriteFileBytes(dir / name, "x");
    root_ = WithDirSeparator(dir.generic_string());
    if (kDirSeparator != '/') root_ = WithDirSeparator(dir.string());
  }
  std::string In(const std::string& folder, const std::string& name) const {
    return root_ + (folder.empty() ? "" : folder + kDirSeparator) + name;
  }

  test::TScratchDir scratch_;
  std::string root_;
};

TEST_F(ImportListsTest, ScanTakesMonthFoldersFirstAndKeepsDaysInTheRange) {
  std::vector<std::string> list{"stale"};
  BuildImportList(root_, list, kMay31_2001, kMarch1_2001);
  // i010230.omz names no date, d0103.omz and ia10305.omz do not parse,
  // i010601.omz lies after the range; folders without "_" or with "." are
  // not entered.
  EXPECT_EQ(list, (std::vector<std::string>{In("2001_03", "i010301.omz"), In("2001_03", "i010315.omz"),
                                            In("2001_05", "i010531.omz"), In("", "i010316.OMZ")}));
}

TEST_F(ImportListsTest, TwoDigitYearsReadAsTwoThousandAndSomething) {
  std::vector<std::string> list;
  ScanArchives(root_, list, kDec30_2099 + 1, kDec30_2099 + 1);
  EXPECT_EQ(list, (std::vector<std::string>{In("2099_12", "i991231.omz")}));
  ScanArchives(root_, list, kDec30_2099, kDec30_2099);  // appends nothing
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(ImportListsTest, DailyListHoldsTheMonthsThatHaveAnArchive) {
  // Days and times inside the first and last month do not matter.
  EXPECT_EQ(BuildDailyImportList(root_, kMarch1_2001 + 10.5, kMay31_2001 + 0.9),
            (std::vector<std::string>{root_ + "d0103", root_ + "d0105"}));
  EXPECT_TRUE(BuildDailyImportList(root_, kMay31_2001 + 1, kMay31_2001 + 40).empty());
  EXPECT_TRUE(BuildDailyImportList(root_, kMay31_2001, kMarch1_2001).empty());
}

TEST_F(ImportListsTest, MissingDirectoryGivesAnEmptyList) {
  std::vector<std::string> list{"stale"};
  BuildImportList(root_ + "absent" + kDirSeparator, list, kMay31_2001, kMarch1_2001);
  EXPECT_TRUE(list.empty());
}

TEST_F(ImportListsTest, ArchivesToImportAreCheckedReadableBeforeAnythingIsDeleted) {
  // The daily list names its archives without the extension.
  EXPECT_EQ(ArchiveFileOf(In("", "d0103")), In("", "d0103.omz"));
  EXPECT_EQ(ArchiveFileOf(In("2001_03", "i010315.omz")), In("2001_03", "i010315.omz"));
  EXPECT_EQ(UnreadableArchive({In("", "d0103"), In("2001_03", "i010315.omz")}), "");
  EXPECT_EQ(UnreadableArchive({}), "");
  EXPECT_EQ(UnreadableArchive({In("", "d0103"), In("", "d0104")}), In("", "d0104.omz") + " is missing");
  // A folder bearing an archive's name is no archive.
  EXPECT_EQ(UnreadableArchive({In("", "2001_04")}), In("", "2001_04.omz") + " is missing");
}

}  // namespace
}  // namespace vz::app
