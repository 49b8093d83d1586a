#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "support/ChildProcess.h"
#include "support/ScratchDir.h"

namespace {

// Runs made by the tests keep their run log in a scratch folder, not in the
// user's own state folder.
void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  int exitCode = 0;
  if (vz::test::DispatchChild(argc, argv, exitCode)) return exitCode;
  testing::InitGoogleTest(&argc, argv);
  auto state = std::make_unique<vz::test::TScratchDir>();
  SetEnvironment("XDG_STATE_HOME", state->Path().string());
  SetEnvironment("LOCALAPPDATA", state->Path().string());
  return RUN_ALL_TESTS();
}
