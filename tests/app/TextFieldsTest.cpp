#include <gtest/gtest.h>

#include "app/run/TextFields.h"

namespace vz::app {
namespace {

struct FieldCase {
  std::string text;
  char separator;
  int count;
  std::vector<std::string> fields;  // fields 1..count
};

TEST(TextFields, SkipEmptyFieldsAtEitherEndAndInRuns) {
  const FieldCase cases[] = {
      {"", ';', 0, {}},
      {";;;", ';', 0, {}},
      {"a;;b;", ';', 2, {"a", "b"}},
      {";a", ';', 1, {"a"}},
      {"one two  three", ' ', 3, {"one", "two", "three"}},
      {"a;b", ',', 1, {"a;b"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CountTextFields(c.text, c.separator), c.count);
    for (int n = 1; n <= c.count; ++n) EXPECT_EQ(ExtractTextField(c.text, n, c.separator), c.fields[n - 1]);
    EXPECT_EQ(ExtractTextField(c.text, c.count + 1, c.separator), "");
    EXPECT_EQ(ExtractTextField(c.text, 0, c.separator), "");
    EXPECT_EQ(ExtractTextField(c.text, -1, c.separator), "");
  }
}

}  // namespace
}  // namespace vz::app
