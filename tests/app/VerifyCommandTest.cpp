// --verify over whole folders: the bundled sample and real MetaStock
// directories converted and then proved right, both folders left exactly
// as they were, and the usage errors.
#include <gtest/gtest.h>

#include "app/window/ExitStatus.h"
#include "support/ScratchDir.h"
#include "tools/msgen/MsSample.h"
#include "VerifyTestSupport.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;
using verifytest::Convert;
using verifytest::LineOf;
using verifytest::Snapshot;
using verifytest::Verify;

// Every archive line says ok and the summary says the folder agrees.
void ExpectAllOk(const verifytest::VerifyOutput& result, const std::string& what) {
  EXPECT_EQ(result.status, kExitComplete) << what << "\n" << result.out << result.err;
  EXPECT_EQ(result.out.find("DAMAGED"), std::string::npos) << what;
  EXPECT_EQ(result.out.find("DIFFERS"), std::string::npos) << what;
  EXPECT_EQ(result.out.find("MISSING"), std::string::npos) << what;
  EXPECT_NE(result.out.find("The archives are sound and agree with the source."), std::string::npos)
      << what << "\n" << result.out;
}

TEST(VerifyCommand, TheSampleConvertedAgreesAndBothFoldersStayByteIdentical) {
  test::TScratchDir scratch;
  const fs::path ms = scratch.Path() / "ms";
  const fs::path out = scratch.Path() / "out";
  ASSERT_TRUE(msgen::WriteSampleDirectory(ms));
  std::string log;
  ASSERT_EQ(Convert(ms, out, "20260901", "20261201", log), kExitComplete) << log;

  const auto msBefore = Snapshot(ms);
  const auto outBefore = Snapshot(out);
  // The range as the run had it, and the span the archives cover.
  const auto given = Verify({out.string(), "/m:" + ms.string(), "/f:20260901", "/t:20261201"});
  ExpectAllOk(given, "given range");
  const auto derived = Verify({out.string(), "/m:" + ms.string()});
  ExpectAllOk(derived, "derived range");
  EXPECT_NE(derived.out.find("the span the archives cover"), std::string::npos) << derived.out;
  EXPECT_NE(LineOf(derived.out, "2026_11/i261130.omz").find(": ok ("), std::string::npos) << derived.out;
  EXPECT_NE(LineOf(derived.out, "d2609.omz").find("as the source has them"), std::string::npos) << derived.out;
  // A narrower range: the archives outside it are checked, not compared.
  const auto november = Verify({out.string(), "/m:" + ms.string(), "/f:20261101", "/t:20261201"});
  ExpectAllOk(november, "November");
  EXPECT_NE(LineOf(november.out, "2026_10/i261030.omz").find("not compared: outside the range"), std::string::npos)
      << november.out;
  EXPECT_NE(LineOf(november.out, "2026_11/i261102.omz").find("as the source has them"), std::string::npos)
      << november.out;
  // Without a source: only the archives themselves.
  const auto alone = Verify({out.string()});
  EXPECT_EQ(alone.status, kExitComplete) << alone.out;
  EXPECT_NE(alone.out.find("The archives are sound."), std::string::npos) << alone.out;
  EXPECT_EQ(Snapshot(ms), msBefore);
  EXPECT_EQ(Snapshot(out), outBefore);
}

TEST(VerifyCommand, RealDirectoriesConvertedAgreeUnderTheRunsKeepRules) {
  if (!test::HaveCorpus()) GTEST_SKIP() << "no corpus";
  // oko_intra: one intraday security over half a year; m2pd: daily
  // securities of which the files cannot hold some (the run leaves them
  // out, exit 5), which the comparison must leave out too.
  for (const auto& [name, converted] : {std::pair{"oko_intra", kExitComplete}, std::pair{"m2pd", kExitLeftOut}}) {
    test::TScratchDir scratch;
    const fs::path ms = test::CopyCorpusDir(name, scratch.Path());
    const fs::path out = scratch.Path() / "out";
    std::string log;
    ASSERT_EQ(Convert(ms, out, "19900101", "20300101", log), converted) << name << "\n" << log;
    const auto msBefore = Snapshot(ms);
    const auto outBefore = Snapshot(out);
    ExpectAllOk(Verify({out.string(), "/m:" + ms.string(), "/f:19900101", "/t:20300101"}), name);
    ExpectAllOk(Verify({out.string(), "/m:" + ms.string()}), name);
    EXPECT_EQ(Snapshot(ms), msBefore) << name;
    EXPECT_EQ(Snapshot(out), outBefore) << name;
  }
}

TEST(VerifyCommand, UsageErrorsEndWithStatusOne) {
  test::TScratchDir scratch;
  const std::string dir = scratch.Path().string();
  const std::vector<std::vector<std::string>> cases = {
      {},                                   // no output folder
      {dir, dir},                           // two of them
      {dir, "/x"},                          // not a switch of --verify
      {dir, "/f:2026-11-01"},               // a date it cannot read
      {dir, "/m:" + dir, "/f:20261201", "/t:20261101"},  // From after To
      {dir, "/m"},                          // /m needs its directory
      {dir, "/m:\"\""},                      // an empty one
      {dir, "/s:x"},                        // not a value of /s
      {(scratch.Path() / "none").string()},  // no such folder
      {dir, "/m:" + (scratch.Path() / "none").string(), "/f:20261101", "/t:20261201"},  // no MetaStock directory
  };
  for (const auto& args : cases) {
    const auto result = Verify(args);
    std::string joined;
    for (const std::string& arg : args) joined += arg + " ";
    EXPECT_EQ(result.status, kExitSetupFailed) << joined << "\n" << result.out;
    EXPECT_FALSE(result.err.empty()) << joined;
  }
}

TEST(VerifyCommand, AnEmptyFolderIsSoundAndAnArchiveTheSourceGivesIsMissing) {
  test::TScratchDir scratch;
  const fs::path ms = scratch.Path() / "ms";
  ASSERT_TRUE(msgen::WriteSampleDirectory(ms));
  const fs::path out = scratch.Path() / "out";
  fs::create_directories(out);
  EXPECT_EQ(Verify({out.string()}).status, kExitComplete);
  const auto result = Verify({out.string(), "/m:" + ms.string(), "/f:20261102", "/t:20261103"});
  EXPECT_EQ(result.status, kExitVerifyFailed) << result.out;
  EXPECT_NE(LineOf(result.out, "d2611.omz").find("MISSING: the source has"), std::string::npos) << result.out;
  EXPECT_NE(LineOf(result.out, "2026_11/i261102.omz").find("MISSING"), std::string::npos) << result.out;
  // /t: is midnight at the start of its day, as for a run: no 3 November.
  EXPECT_EQ(LineOf(result.out, "2026_11/i261103.omz"), "") << result.out;
}

TEST(VerifyCommand, TheConsoleProgramRunsItAndItsHelpSaysSo) {
  test::TScratchDir scratch;
  auto run = [](const std::vector<std::string>& args, std::string& text) {
    std::ostringstream out;
    ConsoleProgramOptions options;
    options.out = &out;
    options.err = &out;
    const int status = RunConsoleProgram(args, options);
    text = out.str();
    return status;
  };
  std::string text;
  EXPECT_EQ(run({"--verify"}, text), kExitSetupFailed);
  EXPECT_NE(text.find("usage: vuzuz-archive-creator --verify OUTDIR"), std::string::npos) << text;
  EXPECT_EQ(run({"--verify", scratch.Path().string()}, text), kExitComplete) << text;
  EXPECT_NE(text.find("Verifying " + scratch.Path().string() + ": 0 archives"), std::string::npos) << text;
  EXPECT_EQ(run({"--help"}, text), kExitComplete);
  EXPECT_NE(text.find("--verify OUTDIR [/m:DIR]"), std::string::npos);
  EXPECT_NE(text.find("\n  6    --verify: an archive is damaged"), std::string::npos);
}

}  // namespace
}  // namespace vz::app
