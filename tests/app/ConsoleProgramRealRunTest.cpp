// The console program over the real conversion stages: a generated MetaStock
// directory converted, and an output folder the export cannot write into.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/console/ConsoleProgram.h"
#include "support/ScratchDir.h"
#include "tools/msgen/MsGen.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;

class ConsoleProgramRealRunTest : public testing::Test {
protected:
  void SetUp() override { WriteDirectory("Acme Tools"); }
  void WriteDirectory(const std::string& name) {
    msgen::MsGenDirectory directory;
    msgen::MsGenSecurity security;
    security.symbol = "ACME";
    security.name = name;
    security.fieldMask = msgen::kMaskDohlcv;
    for (int32_t date : {20261102, 20261103, 20261130}) {
      msgen::MsGenBar bar;
      bar.date = date;
      bar.open = bar.low = 10;
      bar.high = bar.close = 11;
      bar.volume = 1000;
      security.bars.push_back(bar);
    }
    directory.securities.push_back(security);
    ASSERT_EQ(msgen::CheckDirectory(directory), "");
    fs::create_directories(msDir_);
    for (const auto& file : msgen::BuildMetastockFiles(directory)) ASSERT_TRUE(msgen::WriteMsGenFile(msDir_, file));
    options_.err = &err_;
    options_.out = &err_;
    // The real stages, without the user's stored settings.
    options_.services.readStored = [](platform::StoredValues&) { return false; };
    options_.services.writeStored = [](const platform::StoredValues&) { return true; };
    options_.services.defaultMsDir = [] { return std::string(); };
  }
  int Run() {
    return RunConsoleProgram({"/m:" + msDir_.string(), "/o:" + out_.string(), "/f:20261101", "/t:20261201", "/i:n"},
                             options_);
  }

  test::TScratchDir scratch_;
  fs::path msDir_ = scratch_.Path() / "ms";
  fs::path out_ = scratch_.Path() / "out";
  std::ostringstream err_;
  ConsoleProgramOptions options_;
};

TEST_F(ConsoleProgramRealRunTest, ConvertsAndEndsWithExportComplete) {
  ASSERT_EQ(Run(), kExitComplete) << err_.str();
  EXPECT_TRUE(fs::is_regular_file(out_ / "d2611.omz"));
  EXPECT_GT(fs::file_size(out_ / "d2611.omz"), 0u);
}

TEST_F(ConsoleProgramRealRunTest, PrintsTheRunsNotesAlthoughItClosesByItself) {
  // "_" without a period prefix: the security converts, the name stays whole,
  // and the console, which runs as with /x, still tells the user once.
  WriteDirectory("BKG_u.L");
  ASSERT_EQ(Run(), kExitComplete) << err_.str();
  EXPECT_TRUE(fs::is_regular_file(out_ / "d2611.omz"));
  const std::string text = err_.str();
  const size_t note = text.find("Invalid period text, names kept whole: ");
  ASSERT_NE(note, std::string::npos) << text;
  EXPECT_NE(text.find("ACME", note), std::string::npos) << text;
  EXPECT_EQ(text.find("Invalid period text", note + 1), std::string::npos) << text;
}

TEST_F(ConsoleProgramRealRunTest, ArchiveThatCannotBeWrittenFailsTheRunAndKeepsWhatIsThere) {
  // A folder where the month's archive goes: the export cannot put it there.
  fs::create_directories(out_ / "d2611.omz");
  test::WriteFileBytes(out_ / "d2611.omz" / "keep.txt", "user data");
  test::WriteFileBytes(out_ / "d2610.omz", "older archive");
  EXPECT_EQ(Run(), kExitStageFailed) << err_.str();
  EXPECT_NE(err_.str().find("Failed: "), std::string::npos) << err_.str();
  EXPECT_EQ(test::ReadFileBytes(out_ / "d2611.omz" / "keep.txt"), "user data");
  EXPECT_EQ(test::ReadFileBytes(out_ / "d2610.omz"), "older archive");
}

}  // namespace
}  // namespace vz::app
