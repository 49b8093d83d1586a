#include <gtest/gtest.h>

#include "app/console/SampleDir.h"

namespace vz::app {
namespace {

TEST(SampleDir, BesideTheProgramUnlessInstalledInASystemFolder) {
  struct Case {
    const char* programDir;
    const char* xdgDataHome;
    const char* home;
    const char* expected;
  };
  const Case cases[] = {
      {"/home/ann/vz/build/app", "", "/home/ann", "/home/ann/vz/build/app/sample"},
      {"/home/ann/vz/build/app/", "/x", "/home/ann", "/home/ann/vz/build/app/sample"},
      {"/usrlocal/app", "", "/home/ann", "/usrlocal/app/sample"},  // only the folder /usr itself counts
      {"/usr/bin", "", "/home/ann", "/home/ann/.local/share/vuzuz-archive-creator/sample"},
      {"/usr/local/bin", "", "/home/ann/", "/home/ann/.local/share/vuzuz-archive-creator/sample"},
      {"/opt/vz/bin", "/data/xdg/", "/home/ann", "/data/xdg/vuzuz-archive-creator/sample"},
      {"/bin", "relative/xdg", "/root", "/root/.local/share/vuzuz-archive-creator/sample"},
      {"/usr/bin", "", "", "/usr/bin/sample"},  // no data folder: the write there fails and says so
  };
  for (const Case& c : cases)
    EXPECT_EQ(PosixSampleDir(c.programDir, c.xdgDataHome, c.home), c.expected) << c.programDir;
}

}  // namespace
}  // namespace vz::app
