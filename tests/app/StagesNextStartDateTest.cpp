// The From date that follows the archives already in an output directory.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/run/Conversion.h"
#include "support/ScratchDir.h"
#include "vuzuz/Dates.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;

double Date(int y, int m, int d) {
  double v = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, v));
  return v;
}

struct NextStartCase {
  const char* what;
  std::vector<std::string> entries;  // "folder/" or "folder/file"
  double expected;
};

// Today is 2001-05-31 13:00 in every case; three months back is 2001-02-28.
const double kToday = Date(2001, 5, 31) + 13.0 / 24;

class FindNextStartDateTest : public testing::TestWithParam<NextStartCase> {};

TEST_P(FindNextStartDateTest, FindsNewestDayArchive) {
  const NextStartCase& c = GetParam();
  test::TScratchDir dir;
  for (const std::string& entry : c.entries) {
    const fs::path path = dir.Path() / entry;
    if (entry.back() == '/') {
      fs::create_directories(path);
    } else {
      fs::create_directories(path.parent_path());
      test::WriteFileBytes(path, "x");
    }
  }
  EXPECT_EQ(FindNextStartDate(dir.Path().string() + "/", kToday), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindNextStartDateTest,
    testing::Values(
        NextStartCase{"no month folders: three months back, day cut to February's end",
                      {"d0105.omz", "backup/"}, Date(2001, 2, 28)},
        NextStartCase{"newest day of newest folder",
                      {"2001_03/i010310.omz", "2001_04/i010402.omz", "2001_04/i010405.omz"}, Date(2001, 4, 5)},
        NextStartCase{"empty newest folder passed over", {"2001_03/i010310.omz", "2001_04/"}, Date(2001, 3, 10)},
        NextStartCase{"another month's archive does not count",
                      {"2001_03/i010310.omz", "2001_04/i010305.omz"}, Date(2001, 3, 10)},
        NextStartCase{"names that do not fit are ignored; empty fields do not count",
                      {"2001_03/i010310.omz", "2001_04_old/i010420.omz", "2001-04/i010420.omz",
                       "_2001_02_/i010207.omz"},
                      Date(2001, 3, 10)},
        NextStartCase{"_2001_04_ is read as 2001_04 (and its folder is 2001_04)",
                      {"_2001_04_/", "2001_04/i010407.omz"}, Date(2001, 4, 7)},
        NextStartCase{"2199_01 is never chosen", {"2199_01/i990101.omz", "2001_01/i010103.omz"}, Date(2001, 1, 3)},
        NextStartCase{"a day the month lacks is skipped", {"2001_04/i010431.omz", "2001_04/i010429.omz"},
                      Date(2001, 4, 29)},
        NextStartCase{"only an impossible day: earlier folder", {"2001_04/i010431.omz", "2001_03/i010331.omz"},
                      Date(2001, 3, 31)},
        NextStartCase{"2001_4 looked up as 2001_04", {"2001_4/i010402.omz", "2000_12/i001205.omz"},
                      Date(2000, 12, 5)},
        NextStartCase{"first letter not looked at; other extensions ignored",
                      {"2001_04/x010409.omz", "2001_04/i010411.txt"}, Date(2001, 4, 9)}));

TEST(FindNextStartDate, AbsentOutputDirectoryFallsBackThreeMonths) {
  test::TScratchDir dir;
  EXPECT_EQ(FindNextStartDate(dir.File("missing/"), Date(2001, 1, 15)), Date(2000, 10, 15));
}

}  // namespace
}  // namespace vz::app
