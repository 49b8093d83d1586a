#include <gtest/gtest.h>

#include <functional>

#include "app/window/CommandLine.h"
#include "app/run/PathText.h"

namespace vz::app {
namespace {

constexpr double kMarch15_2001 = 36965;  // days since 1899-12-30
constexpr double kFromAfterOutputChange = 11111;

WindowSettings Initial() {
  WindowSettings s;
  s.run.msDir = WithDirSeparator("old");
  s.run.output = WithDirSeparator("out");
  s.run.from = 100;
  s.run.to = 200;
  s.run.selected = false;
  s.run.create = true;
  s.run.import = true;
  s.run.deleteData = true;
  s.deleteEnabled = true;
  // Flags left over from an earlier parse are reset by the next one.
  s.run.autoStart = true;
  s.run.autoClose = true;
  s.run.importDaily = false;
  s.run.importIntraday = false;
  return s;
}

// The settings after a parse of no arguments at all.
WindowSettings Reset() {
  WindowSettings s = Initial();
  s.run.autoStart = false;
  s.run.autoClose = false;
  s.run.importDaily = true;
  s.run.importIntraday = true;
  return s;
}

void ExpectSame(const WindowSettings& a, const WindowSettings& b) {
  EXPECT_EQ(a.run.format, b.run.format);
  EXPECT_EQ(a.run.msDir, b.run.msDir);
  EXPECT_EQ(a.run.output, b.run.output);
  EXPECT_EQ(a.run.from, b.run.from);
  EXPECT_EQ(a.run.to, b.run.to);
  EXPECT_EQ(a.run.selected, b.run.selected);
  EXPECT_EQ(a.run.create, b.run.create);
  EXPECT_EQ(a.run.import, b.run.import);
  EXPECT_EQ(a.run.deleteData, b.run.deleteData);
  EXPECT_EQ(a.deleteEnabled, b.deleteEnabled);
  EXPECT_EQ(a.run.autoStart, b.run.autoStart);
  EXPECT_EQ(a.run.autoClose, b.run.autoClose);
  EXPECT_EQ(a.run.importDaily, b.run.importDaily);
  EXPECT_EQ(a.run.importIntraday, b.run.importIntraday);
  EXPECT_EQ(a.run.memoryBudgetMiB, b.run.memoryBudgetMiB);
}

std::string Dir(const std::string& text) { return WithDirSeparator(text); }
// A path value as stored: kept as typed where file names are case-sensitive.
std::string PathValue(const std::string& typed) { return kCaseSensitiveFileNames ? typed : LowerAscii(typed); }

struct SwitchCase {
  std::vector<std::string> args;
  std::function<void(WindowSettings&)> expect;  // changes from Reset()
};

TEST(ParseCommandLine, AppliesEachArgumentByItsRules) {
  const SwitchCase cases[] = {
      {{}, [](WindowSettings&) {}},
      {{"/a:n"}, [](WindowSettings& s) { s.run.create = false; }},
      {{"/A:N"}, [](WindowSettings& s) { s.run.create = false; }},
      {{"-a:f", "/a"}, [](WindowSettings&) {}},
      {{"/a:-"}, [](WindowSettings& s) { s.run.create = false; }},
      {{"/ab", "/a:no", "/a:"}, [](WindowSettings&) {}},
      {{"/d:n"}, [](WindowSettings& s) { s.run.deleteData = false; }},
      {{"/s"}, [](WindowSettings& s) { s.run.selected = true; }},
      {{"/s:+", "/s:x"}, [](WindowSettings& s) { s.run.selected = true; }},
      {{"/i:n"},
       [](WindowSettings& s) {
         s.run.import = false;
         s.deleteEnabled = false;
       }},
      {{"/i:d"}, [](WindowSettings& s) { s.run.importIntraday = false; }},
      {{"/i:i"}, [](WindowSettings& s) { s.run.importDaily = false; }},
      {{"/i:n", "/i:y"}, [](WindowSettings&) {}},
      {{"/i:n", "/ix"},  // any /i argument sets Delete's enabled state
       [](WindowSettings& s) {
         s.run.import = false;
         s.deleteEnabled = false;
       }},
      {{"/f:20010315"}, [](WindowSettings& s) { s.run.from = kMarch15_2001; }},
      {{"/t:20010315xyz"}, [](WindowSettings& s) { s.run.to = kMarch15_2001; }},
      {{"/f:010315"}, [](WindowSettings& s) { s.run.from = kMarch15_2001; }},
      {{"/f:0103159"}, [](WindowSettings& s) { s.run.from = kMarch15_2001; }},
      {{"/f:20010230", "/f:2001", "/f:2001x315", "/f20010315", "/t:00000101"}, [](WindowSettings&) {}},
      {{"/m:"}, [](WindowSettings& s) { s.run.msDir = ""; }},
      {{"/m"}, [](WindowSettings& s) { s.run.msDir = "default-dir"; }},
      {{"/mx"}, [](WindowSettings& s) { s.run.msDir = "default-dir"; }},
      {{"/m:Data\\MS"}, [](WindowSettings& s) { s.run.msDir = Dir(PathValue("Data\\MS")); }},
      {{"/o:\"\"Out Dir\"\""},
       [](WindowSettings& s) {
         s.run.output = Dir(PathValue("Out Dir"));
         s.run.from = kFromAfterOutputChange;
       }},
      {{std::string("/o:x") + kDirSeparator},
       [](WindowSettings& s) {
         s.run.output = std::string("x") + kDirSeparator;
         s.run.from = kFromAfterOutputChange;
       }},
      {{"/o:out"}, [](WindowSettings&) {}},  // the same text: no change, From stays
      {{"/o"}, [](WindowSettings&) {}},
      // /f: before a changing /o: is overridden; after it, it stands.
      {{"/f:20010315", "/o:new"},
       [](WindowSettings& s) {
         s.run.output = Dir("new");
         s.run.from = kFromAfterOutputChange;
       }},
      {{"/o:new", "/f:20010315"},
       [](WindowSettings& s) {
         s.run.output = Dir("new");
         s.run.from = kMarch15_2001;
       }},
      {{"/go", "-xyz"},
       [](WindowSettings& s) {
         s.run.autoStart = true;
         s.run.autoClose = true;
       }},
      {{"a:n", "data/dir", "", "/", "-", "/z", "/?"}, [](WindowSettings&) {}},
      // The memory budget in MiB, floored at 64; malformed values leave it.
      {{"/b:256"}, [](WindowSettings& s) { s.run.memoryBudgetMiB = 256; }},
      {{"-B:4096", "/b:1"}, [](WindowSettings& s) { s.run.memoryBudgetMiB = 64; }},
      {{"/b:999999999"}, [](WindowSettings& s) { s.run.memoryBudgetMiB = 1048576; }},
      {{"/b", "/b:", "/b:-5", "/b:12x", "/b:1e3", "/b:1234567890", "/b256"}, [](WindowSettings&) {}},
  };
  for (const auto& c : cases) {
    std::string trace;
    for (const auto& a : c.args) trace += a + " ";
    SCOPED_TRACE(trace);
    WindowSettings settings = Initial();
    CommandLineHooks hooks;
    hooks.defaultMsDir = [] { return std::string("default-dir"); };
    hooks.outputChanged = [&settings] { settings.run.from = kFromAfterOutputChange; };
    ParseCommandLine(c.args, settings, hooks);
    WindowSettings expected = Reset();
    c.expect(expected);
    ExpectSame(settings, expected);
  }
}

TEST(SwitchProblem, NamesWhatTheWindowWouldIgnoreOrMisread) {
  const struct {
    const char* arg;
    const char* problem;  // empty: applies as written
  } cases[] = {
      {"/a", ""},
      {"-A:N", ""},
      {"/i:d", ""},
      {"/i:I", ""},
      {"/f:20261101", ""},
      {"/T:261101", ""},
      {"/m", ""},
      {"/m:", ""},
      {"/o:\"out dir\"", ""},
      {"/go", ""},
      {"-xyz", ""},
      {"/f:2026-11-01", "the date must be YYYYMMDD or YYMMDD"},
      {"/f:20261131", "there is no such date"},
      {"/f:2026110", "the date must be YYYYMMDD or YYMMDD"},
      {"/t:20261101x", "the date must be YYYYMMDD or YYMMDD"},
      {"/t:", "the date must be YYYYMMDD or YYMMDD"},
      {"/f20261101", "a date follows a colon: /f:YYYYMMDD"},
      {"/ab", "the value must be y, t or + (on), or n, f or - (off)"},
      {"/s:no", "the value must be y, t or + (on), or n, f or - (off)"},
      {"/i:x", "the value must be y, t, + (on), n, f, - (off), d or i"},
      {"/mnt/data", "a directory follows a colon: /m:DIR (/m alone is the default directory)"},
      {"/o", "a directory follows a colon: /o:DIR"},
      {"/b:256", ""},
      {"/b:1", ""},  // taken as the floor
      {"/b", "a memory budget in MiB follows a colon: /b:MiB"},
      {"/b:2g", "a memory budget in MiB follows a colon: /b:MiB"},
      {"/z", "unknown switch"},
      {"/?", "unknown switch"},
      {"data/dir", "not a switch (switches begin with / or -)"},
      {"-", "not a switch (switches begin with / or -)"},
      {"", "not a switch (switches begin with / or -)"},
  };
  for (const auto& c : cases) EXPECT_EQ(SwitchProblem(c.arg), c.problem) << c.arg;
}

TEST(ParseCommandLine, LowerCasesPathsOnlyWhereFileNamesIgnoreCase) {
  WindowSettings settings = Initial();
  ParseCommandLine({"/M:C:\\MetaStock"}, settings, {});
  EXPECT_EQ(settings.run.msDir, kCaseSensitiveFileNames ? "C:\\MetaStock/" : "c:\\metastock\\");
}

}  // namespace
}  // namespace vz::app
