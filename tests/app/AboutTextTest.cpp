#include <gtest/gtest.h>

#include <string>

#include "app/window/AboutText.h"

namespace vz::app {
namespace {

TEST(AboutText, NamesTheVersionAndTheRunLog) {
  struct Case {
    const char* log;
    const char* text;
  };
  const Case cases[] = {
      {"C:\\Users\\ann\\AppData\\Local\\Vuzuz archive creator\\runs.log",
       "Vuzuz archive creator\nVersion 2.3.1\n\nRun log:\n"
       "C:\\Users\\ann\\AppData\\Local\\Vuzuz archive creator\\runs.log"},
      {"", "Vuzuz archive creator\nVersion 2.3.1\n\nRuns keep no log: /l: was given without a file."},
  };
  for (const Case& c : cases) EXPECT_EQ(AboutText("2.3.1", c.log), c.text);
}

}  // namespace
}  // namespace vz::app
