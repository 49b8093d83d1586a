#include <gtest/gtest.h>

#include "support/ChildProcess.h"

int main(int argc, char** argv) {
  int exitCode = 0;
  if (vz::test::DispatchChild(argc, argv, exitCode)) return exitCode;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
