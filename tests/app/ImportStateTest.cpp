// The file of days GlobalServer has not received: its text read and
// written, ranges added and removed, the file on disk, and what a run reads
// from it (the next From and the notes).
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "app/record/ImportState.h"
#include "app/record/ImportStateFile.h"
#include "app/record/ImportStateRun.h"
#include "app/run/DayText.h"
#include "app/run/PathText.h"
#include "platform/FileFault.h"
#include "support/ScratchDir.h"
#include "vuzuz/Dates.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

double Day(int y, int m, int d) {
  double v = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, v));
  return v;
}

// "2002-03-08..2002-03-11 [run] why", the way the cases read.
Lines Shown(const ImportState& state) {
  Lines out;
  for (const auto& r : state.ranges)
    out.push_back(IsoDayText(r.first) + ".." + IsoDayText(r.last) + " [" + r.run + "] " + r.why);
  return out;
}

struct ParseCase {
  const char* name;
  std::string text;
  Lines ranges;
  size_t damaged;
};

TEST(ImportStateText, ReadsRangesCautiouslyAndNamesDamagedLines) {
  const ParseCase cases[] = {
      {"empty", "", {}, 0},
      {"comments, blanks and CR LF",
       "# a comment\r\n\r\n  2002-03-08 to 2002-03-11 (run of 2026-12-10 22:30): import failed  \r\n", 
       {"2002-03-08..2002-03-11 [2026-12-10 22:30] import failed"}, 0},
      {"reversed days", "2002-03-11 to 2002-03-08 (run of R): x", {"2002-03-08..2002-03-11 [R] x"}, 0},
      {"reason without run", "2002-03-08 to 2002-03-08 a person wrote this",
       {"2002-03-08..2002-03-08 [] a person wrote this"}, 0},
      {"no reason at all", "2002-03-08 to 2002-03-09", {"2002-03-08..2002-03-09 [] "}, 0},
      // One run's ranges that overlap or touch are merged; other runs' stay
      // apart with their own reasons.
      {"sorted by day, one run's ranges merged",
       "2002-04-01 to 2002-04-02 (run of 2026-12-03 22:30): c\n"
       "2002-03-01 to 2002-03-02 (run of 2026-12-01 22:30): a\n"
       "2002-03-02 to 2002-03-04 (run of 2026-12-02 22:30): b\n"
       "2002-03-03 to 2002-03-05 (run of 2026-12-01 22:30): a\n"
       "2002-03-06 to 2002-03-06 (run of 2026-12-01 22:30): a\n"
       "2002-03-08 to 2002-03-09 (run of 2026-12-01 22:30): a\n",
       {"2002-03-01..2002-03-06 [2026-12-01 22:30] a", "2002-03-02..2002-03-04 [2026-12-02 22:30] b",
        "2002-03-08..2002-03-09 [2026-12-01 22:30] a", "2002-04-01..2002-04-02 [2026-12-03 22:30] c"},
       0},
      // Damaged lines: the days between the dates they show count as not
      // received; without a date there is nothing to go on.
      {"a day the month lacks", "2002-02-30 to 2002-03-02 (run of R): x",
       {"2002-03-02..2002-03-02 [] read from a damaged line"}, 1},
      {"dates in prose", "lost 2002-03-09, and 2002-03-04 too",
       {"2002-03-04..2002-03-09 [] read from a damaged line"}, 1},
      {"no date", "garbage\n\x01\x02\x7f", {}, 2},
      {"years far from any data", "0001-01-01 to 9999-12-31", {}, 1},
      {"NUL inside", std::string("2002-03-08 to 2002-03-0\0", 24), {"2002-03-08..2002-03-08 [] read from a damaged line"},
       1},
      {"truncated", "2002-03-08 to 2002-0", {"2002-03-08..2002-03-08 [] read from a damaged line"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ImportState state = ParseImportState(c.text);
    EXPECT_EQ(Shown(state), c.ranges);
    EXPECT_EQ(state.damaged.size(), c.damaged);
    for (const std::string& line : state.damaged)
      for (const char ch : line) EXPECT_GE(static_cast<unsigned char>(ch), 0x20u) << line;
  }
}

TEST(ImportStateText, WrittenTextReadsBackAndKeepsDamagedLinesAsComments) {
  const std::string longLine(500, 'x');
  const ImportState state = ParseImportState(
      "2002-03-08 to 2002-03-11 (run of 2026-12-10 22:30): import failed\n"
      "2002-05-01 to 2002-05-01 a note\n"
      "2002-06-01 to 2002-06-02 (run of 2026-12-11 22:30):\n"
      "broken 2002-07-04\n" + longLine + "\n");
  ASSERT_EQ(state.damaged.size(), 2u);
  EXPECT_LT(state.damaged[1].size(), 210u);  // a long line is cut
  const std::string text = FormatImportState(state);
  EXPECT_TRUE(text.starts_with("# Vuzuz archive creator: the days whose archives GlobalServer has not received"));
  EXPECT_NE(text.find("2002-03-08 to 2002-03-11 (run of 2026-12-10 22:30): import failed"), std::string::npos);
  EXPECT_NE(text.find("# could not be read: broken 2002-07-04"), std::string::npos);
  const ImportState again = ParseImportState(text);
  EXPECT_EQ(Shown(again), Shown(state));
  EXPECT_TRUE(again.damaged.empty());  // named once, then kept as comments
}

struct ChangeCase {
  const char* name;
  std::function<void(ImportState&)> change;
  Lines expected;
};

TEST(ImportStateText, AddingMergesAndRemovingSplits) {
  const double d8 = Day(2002, 3, 8);
  const ChangeCase cases[] = {
      {"added apart", [&](auto& s) { AddNotImported(s, {d8 + 20, d8 + 21, "N", "new"}); },
       {"2002-03-08..2002-03-11 [A] a", "2002-03-20..2002-03-21 [B] b", "2002-03-28..2002-03-29 [N] new"}},
      {"added over another run's days, apart from them",
       [&](auto& s) { AddNotImported(s, {d8 + 1.5, d8 + 14.99, "N", "new"}); },
       {"2002-03-08..2002-03-11 [A] a", "2002-03-09..2002-03-22 [N] new", "2002-03-20..2002-03-21 [B] b"}},
      {"added touching the same run's days, merged", [&](auto& s) { AddNotImported(s, {d8 + 4, d8 + 5, "A", "a"}); },
       {"2002-03-08..2002-03-13 [A] a", "2002-03-20..2002-03-21 [B] b"}},
      {"added with a day between", [&](auto& s) { AddNotImported(s, {d8 + 5, d8 + 6, "A", "a"}); },
       {"2002-03-08..2002-03-11 [A] a", "2002-03-13..2002-03-14 [A] a", "2002-03-20..2002-03-21 [B] b"}},
      {"nothing added for an empty range", [&](auto& s) { AddNotImported(s, {d8 + 5, d8 + 4, "N", "new"}); },
       {"2002-03-08..2002-03-11 [A] a", "2002-03-20..2002-03-21 [B] b"}},
      {"removed inside, split", [&](auto& s) { RemoveImported(s, d8 + 1, d8 + 2); },
       {"2002-03-08..2002-03-08 [A] a", "2002-03-11..2002-03-11 [A] a", "2002-03-20..2002-03-21 [B] b"}},
      {"removed across the end of one and the start of the next",
       [&](auto& s) { RemoveImported(s, d8 + 2, d8 + 12.75); },
       {"2002-03-08..2002-03-09 [A] a", "2002-03-21..2002-03-21 [B] b"}},
      {"removed all", [&](auto& s) { RemoveImported(s, d8 - 100, d8 + 100); }, {}},
      {"removed nothing", [&](auto& s) { RemoveImported(s, d8 + 5, d8 + 1); },
       {"2002-03-08..2002-03-11 [A] a", "2002-03-20..2002-03-21 [B] b"}},
      {"a run's reason", [&](auto& s) { SetReason(s, "B", "why"); },
       {"2002-03-08..2002-03-11 [A] a", "2002-03-20..2002-03-21 [B] why"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ImportState state;
    state.ranges = {{d8, d8 + 3, "A", "a"}, {d8 + 12, d8 + 13, "B", "b"}};
    c.change(state);
    EXPECT_EQ(Shown(state), c.expected);
  }
}

class ImportStateFileTest : public testing::Test {
protected:
  std::string Output() const { return WithDirSeparator(scratch_.Path().string()); }
  fs::path StateFile() const { return scratch_.Path() / kImportStateFileName; }
  test::TScratchDir scratch_;
};

TEST_F(ImportStateFileTest, WritesReadsAndRemovesTheFileWhenNothingIsLeft) {
  EXPECT_FALSE(ReadImportStateFile(Output()).exists);
  // A temporary of a write that was killed.
  test::WriteFileBytes(scratch_.Path() / "not-imported.txt.123-4.tmp", "half");
  test::WriteFileBytes(scratch_.Path() / "not-imported.txt.keep", "not ours");
  ImportState state;
  AddNotImported(state, {Day(2002, 3, 8), Day(2002, 3, 11), "2026-12-10 22:30", "import failed"});
  ASSERT_EQ(WriteImportStateFile(Output(), state), "");
  const ImportStateFile read = ReadImportStateFile(Output());
  EXPECT_TRUE(read.exists);
  EXPECT_EQ(read.problem, "");
  EXPECT_EQ(Shown(read.state), Shown(state));
  EXPECT_FALSE(fs::exists(scratch_.Path() / "not-imported.txt.123-4.tmp"));
  EXPECT_TRUE(fs::exists(scratch_.Path() / "not-imported.txt.keep"));

  ASSERT_EQ(WriteImportStateFile(Output(), ImportState{}), "");
  EXPECT_FALSE(fs::exists(StateFile()));
}

TEST_F(ImportStateFileTest, AFileThatCannotBeReadIsNamedAndNeverReplaced) {
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"a folder", [&] { fs::create_directories(StateFile()); }},
      {"too large", [&] { test::WriteFileBytes(StateFile(), std::string((1 << 20) + 1, '#')); }},
  };
  for (const auto& [name, make] : cases) {
    SCOPED_TRACE(name);
    fs::remove_all(StateFile());
    make();
    TRunSettings settings;
    settings.output = Output();
    settings.from = Day(2002, 3, 12);
    settings.to = Day(2002, 3, 13);
    TImportStateRun run(settings, "2026-12-11 22:30");
    EXPECT_TRUE(run.File().exists);
    EXPECT_NE(run.File().problem.find("not-imported.txt"), std::string::npos) << run.File().problem;
    ASSERT_EQ(run.Notes().size(), 1u);
    EXPECT_NE(run.Notes()[0].find("cannot be read"), std::string::npos);
    EXPECT_NE(run.RecordStart(), "");
    EXPECT_EQ(run.RecordEnd(RunResult{}), "");  // nothing recorded, nothing to settle
    EXPECT_EQ(fs::is_directory(StateFile()), std::string(name) == "a folder");
    if (std::string(name) == "too large") {
      EXPECT_EQ(fs::file_size(StateFile()), (1u << 20) + 1);
    }
  }
}

// A full disk for the write at the start: the end writes the days with the
// run's reason; a full import afterwards still clears them.
int FailFirstStateWrite(platform::FileOperation operation, const std::string& path) {
  static bool failed = false;
  if (failed || operation != platform::FileOperation::Create || path.find(kImportStateFileName) == std::string::npos)
    return 0;
  failed = true;
  return ENOSPC;
}

TEST_F(ImportStateFileTest, DaysTheStartCouldNotRecordAreRecordedAtTheEnd) {
  TRunSettings settings;
  settings.output = Output();
  settings.from = Day(2002, 3, 12) + 0.25;
  settings.to = Day(2002, 3, 13) + 0.99;
  platform::SetFileFaultHookForTesting(FailFirstStateWrite);
  TImportStateRun run(settings, "2026-12-11 22:30");
  const std::string told = run.RecordStart();
  platform::SetFileFaultHookForTesting(nullptr);
  EXPECT_NE(told.find("could not be recorded"), std::string::npos) << told;
  EXPECT_FALSE(fs::exists(StateFile()));
  RunResult failed;
  failed.importEnd = ImportEnd::Failed;
  EXPECT_EQ(run.RecordEnd(failed), "");
  EXPECT_EQ(Shown(ReadImportStateFile(Output()).state),
            Lines{"2002-03-12..2002-03-13 [2026-12-11 22:30] " + std::string(kWhyImportFailed)});

  TImportStateRun next(settings, "2026-12-12 22:30");
  EXPECT_EQ(next.RecordStart(), "");
  RunResult imported;
  imported.importEnd = ImportEnd::Imported;
  imported.imported = {Day(2002, 3, 12), Day(2002, 3, 13)};
  EXPECT_EQ(next.RecordEnd(imported), "");
  EXPECT_FALSE(fs::exists(StateFile()));
}

TEST_F(ImportStateFileTest, NextStartIsTheEarlierOfTheNewestArchiveAndTheFirstDayNotImported) {
  fs::create_directories(scratch_.Path() / "2002_03");
  test::WriteFileBytes(scratch_.Path() / "2002_03" / "i020312.omz", "x");
  const double today = Day(2002, 3, 13);
  EXPECT_EQ(ContinuingStartDate(Output(), today), Day(2002, 3, 12));
  const std::pair<std::string, double> cases[] = {
      {"2002-03-08 to 2002-03-11 (run of R): import failed\n2002-03-20 to 2002-03-20 x\n", Day(2002, 3, 8)},
      {"2002-03-14 to 2002-03-15 x\n", Day(2002, 3, 12)},
      {"damaged line naming 2002-03-01\n", Day(2002, 3, 1)},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    test::WriteFileBytes(StateFile(), text);
    EXPECT_EQ(ContinuingStartDate(Output(), today), expected);
  }
}

TEST_F(ImportStateFileTest, TheRunSaysWhyFromContinuesAndWarnsWhenItStartsAfterDaysNotImported) {
  test::WriteFileBytes(StateFile(),
                       "2002-03-08 to 2002-03-11 (run of 2026-12-10 22:30): import failed\n"
                       "2002-03-20 to 2002-03-20 (run of 2026-12-11 22:30): the run did not finish\n");
  TRunSettings settings;
  settings.output = Output();
  settings.to = Day(2002, 3, 31);
  const std::string lacking =
      "the archives from 2002-03-08 to 2002-03-11 (run of 2026-12-10 22:30, import failed)";

  settings.from = Day(2002, 3, 8);
  TImportStateRun continuing(settings, "");
  EXPECT_EQ(continuing.SummaryLines(), "  Continuing from 2002-03-08: GlobalServer has not received " + lacking + ".\n");
  EXPECT_TRUE(continuing.Notes().empty());

  settings.from = Day(2002, 3, 12);
  TImportStateRun later(settings, "");
  const std::string warning = "GlobalServer still lacks " + lacking +
                              ", before this run's range; /f:20020308 would bring them.";
  EXPECT_EQ(later.Notes(), Lines{warning});
  EXPECT_EQ(later.SummaryLines(), "");  // the note says it, once

  settings.from = Day(2002, 3, 1);
  EXPECT_EQ(TImportStateRun(settings, "").SummaryLines(), "");  // the range brings them
}

}  // namespace
}  // namespace vz::app
