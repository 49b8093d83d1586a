#include "app/console/InspectArchive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/ScratchDir.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzDescriptor.h"
#include "vuzuz/OmzIntraday.h"
#include "vuzuz/OmzArchive.h"
#include "vuzuz/OmzFile.h"
#include "vuzuz/Omzcreate.h"
#include "vuzuz/pkcmp/Pkcmp.h"

namespace fs = std::filesystem;

namespace vz::app {
namespace {

class InspectArchive : public testing::Test {
protected:
  void SetUp() override {
    omz::Failure error;
    omz::DailyRow row;
    row.name = "AAA";
    row.date = 37308;  // 2002-02-21
    row.open = 12.3456;
    row.high = 13;
    row.low = 12;
    row.close = 12.5;
    row.volume = 4200;
    ASSERT_TRUE(omz::WriteDescriptorFile(dir_.Path(), "d0202", error));
    ASSERT_TRUE(omz::WriteDailyFile(dir_.Path(), "d0202", {row}, error)) << error;
    omz::Tick tick;
    omz::SetTickSymbol(tick, "AB");
    tick.dateTime = 37308 + 571 / 1440.0;
    tick.price = 1.2345;
    tick.volume = 9;
    ASSERT_TRUE(omz::WriteDescriptorFile(dir_.Path(), "i020221", error));
    ASSERT_TRUE(omz::WriteIntradayFiles(dir_.Path(), "i020221", std::vector<omz::Tick>{tick}, error)) << error;
    omz::TOMZCompressor packer(dir_.Path());
    ASSERT_TRUE(packer.OMZCreate("d0202", true)) << packer.LastError();
    ASSERT_TRUE(packer.OMZCreate("i020221", true)) << packer.LastError();
  }

  std::string File(const std::string& name) const { return dir_.File(name); }

  test::TScratchDir dir_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(InspectArchive, DumpPrintsEntriesAndDecodedRecords) {
  ASSERT_EQ(RunDumpCommand(File("d0202.omz"), out_, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find("2 entries"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("entry d0202.DLY"), std::string::npos);
  EXPECT_NE(out_.str().find("AAA 2002-02-21 12.3456 13.0000 12.0000 12.5000 4200"), std::string::npos) << out_.str();

  ASSERT_EQ(RunDumpCommand(File("i020221.omz"), out_, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find("AB 2002-02-21 09:31 1.2345 9"), std::string::npos) << out_.str();
  EXPECT_TRUE(err_.str().empty());
}

TEST_F(InspectArchive, UnzipExtractsTheEntries) {
  const std::string target = File("out");
  ASSERT_EQ(RunUnzipCommand(File("i020221.omz"), target, false, out_, err_), 0) << err_.str();
  EXPECT_TRUE(fs::exists(fs::path(target) / "i020221.DAT"));
  EXPECT_TRUE(fs::exists(fs::path(target) / "i020221.IDX"));
  EXPECT_EQ(fs::file_size(fs::path(target) / "i020221"), omz::kDescriptorSize);
}

TEST_F(InspectArchive, UnzipKeepsFilesAlreadyThereUnlessForced) {
  const fs::path target = File("out");
  fs::create_directories(target);
  test::WriteFileBytes(target / "i020221.IDX", "mine");
  EXPECT_EQ(RunUnzipCommand(File("i020221.omz"), target.string(), false, out_, err_), 1);
  EXPECT_NE(err_.str().find("i020221.IDX exists; --force replaces it"), std::string::npos) << err_.str();
  EXPECT_EQ(test::ReadFileBytes(target / "i020221.IDX"), "mine");
  EXPECT_FALSE(fs::exists(target / "i020221.DAT"));  // refused before anything was written

  ASSERT_EQ(RunUnzipCommand(File("i020221.omz"), target.string(), true, out_, err_), 0) << err_.str();
  EXPECT_NE(test::ReadFileBytes(target / "i020221.IDX"), "mine");
  EXPECT_TRUE(fs::exists(target / "i020221.DAT"));
}

TEST_F(InspectArchive, DumpExpandsEntriesLargerThanAnArchiveReadForImport) {
  // 65 MiB expanded: more than ReadArchive's default bound, which --dump
  // once used; a busy day of ticks is this large.
  std::vector<omz::ArchiveFile> files;
  files.emplace_back("BIG.BIN", vz::Bytes(size_t{65} << 20, 0x20));
  std::vector<char> work(pkcmp::kImplodeWorkSize);
  vz::Bytes archive;
  omz::Failure error;
  ASSERT_TRUE(omz::BuildArchive(files, work.data(), archive, error)) << error;
  ASSERT_TRUE(omz::WriteFileAtomically(File("big.omz"), archive, error)) << error;
  ASSERT_EQ(RunDumpCommand(File("big.omz"), out_, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find(", " + std::to_string(size_t{65} << 20) + " bytes"), std::string::npos) << out_.str();
}

TEST_F(InspectArchive, ClearErrorsForFilesThatAreNotArchives) {
  test::WriteFileBytes(dir_.Path() / "notes.txt", "just some text\n");
  const struct {
    std::string path;
    const char* message;
  } cases[] = {{File("notes.txt"), "is not an .omz archive"},
               {File("missing.omz"), "cannot open"},
               {dir_.Path().string(), "is a folder, not an .omz archive"}};
  for (const auto& c : cases) {
    std::ostringstream out, err, err2;
    EXPECT_EQ(RunDumpCommand(c.path, out, err), 1);
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_EQ(RunUnzipCommand(c.path, File("out"), false, out, err2), 1);
    EXPECT_NE(err2.str().find(c.message), std::string::npos) << err2.str();
    EXPECT_FALSE(fs::exists(File("out")));
  }
}

}  // namespace
}  // namespace vz::app
