#pragma once
// Tests about two programs sharing files start this same test executable a
// second time: `unit_tests --child=NAME args...` runs the child registered
// under NAME instead of the test suite and exits with its return value.
#include <functional>
#include <string>
#include <vector>

namespace vz::test {

using ChildMain = std::function<int(const std::vector<std::string>& args)>;

// Registers a child body; use VZ_TEST_CHILD below.
bool RegisterChild(const std::string& name, ChildMain body);

// Runs the child NAME in a new process and waits: its exit status, -1 when
// it could not be started.
int RunChild(const std::string& name, const std::vector<std::string>& args);

// Runs the child if argv asks for one; returns true and sets exitCode then.
bool DispatchChild(int argc, char** argv, int& exitCode);

// Command line that starts the child NAME (for tests that start several
// children at once through platform::TProcess).
std::vector<std::string> ChildCommand(const std::string& name, const std::vector<std::string>& args);

}  // namespace vz::test

#define VZ_TEST_CHILD_CAT2(a, b) a##b
#define VZ_TEST_CHILD_CAT(a, b) VZ_TEST_CHILD_CAT2(a, b)
// VZ_TEST_CHILD(name) { ... return 0; }   with `args` in scope.
#define VZ_TEST_CHILD(name)                                                              \
  static int VZ_TEST_CHILD_CAT(ChildBody_, name)(const std::vector<std::string>& args); \
  static const bool VZ_TEST_CHILD_CAT(childRegistered_, name) =                          \
      ::vz::test::RegisterChild(#name, &VZ_TEST_CHILD_CAT(ChildBody_, name));            \
  static int VZ_TEST_CHILD_CAT(ChildBody_, name)([[maybe_unused]] const std::vector<std::string>& args)
