// A run whose closing of the MetaStock directory cannot finish (a full disk)
// ends failed and says why; the next run and --list open the directory
// cleanly. Master records the list leaves out are named in the run's notes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "StagesFakes.h"
#include "app/console/InspectMetastock.h"
#include "app/run/Conversion.h"
#include "metastock/MsMasters.h"
#include "platform/FileSystem.h"
#include "platform/SharedFile.h"
#include "support/ScratchDir.h"
#include "tools/msgen/MsGen.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;

class ClosingFailureRun : public testing::Test {
protected:
  void SetUp() override {
    msgen::MsGenDirectory d;
    msgen::MsGenSecurity s;
    s.fileNumber = 1;
    s.symbol = "ONE";
    s.name = "One";
    s.fieldMask = msgen::kMaskDohlcv;
    s.bars = {{20261102, 0, 1, 2, 0.5f, 1.5f, 100, 0}};
    msgen::MsGenSecurity t = s;
    t.fileNumber = 2;
    t.symbol = "TWO";
    d.securities = {s, t};
    std::string error;
    ASSERT_TRUE(msgen::WriteMetastockDirectory(d, scratch_.Path() / "ms", &error)) << error;
    fs::create_directories(scratch_.Path() / "out");
    settings_.msDir = (scratch_.Path() / "ms").generic_string() + "/";
    settings_.output = (scratch_.Path() / "out").generic_string() + "/";
    settings_.from = test::DateValue(2026, 11, 1);
    settings_.to = test::DateValue(2026, 11, 30, 23, 59);
    settings_.autoClose = true;
  }
  bool WorkingFilesPresent() const { return fs::exists(scratch_.Path() / "ms" / kMsUserFileName); }

  test::TScratchDir scratch_;
  TRunSettings settings_;
};

TEST_F(ClosingFailureRun, EndsFailedAndTheNextRunOpensCleanly) {
  test::TRecordingStatus status;
  {
    TConversion conversion(settings_, status);
    ASSERT_TRUE(conversion.AnalyseSecurities());
    // Another program renames a security meanwhile: the masters need writing.
    const fs::path sec = scratch_.Path() / "ms" / kMsSecurityFileName;
    const std::string bytes = test::ReadFileBytes(sec);
    MsDirectory other;
    MsDecodeSecurityFile(other, Bytes(bytes.begin(), bytes.end()));
    ASSERT_EQ(other.securityCount, 2);
    std::strcpy(other.securities[1].name, "Renamed meanwhile");
    const Bytes renamed = MsBuildSecurityFile(other);
    test::WriteFileBytes(sec, std::string(renamed.begin(), renamed.end()));
    platform::SimulateDiskFullForTesting(true);
    const bool collected = conversion.CollectPriceData();
    platform::SimulateDiskFullForTesting(false);
    EXPECT_FALSE(collected);
  }
  ASSERT_FALSE(status.statuses.empty());
  EXPECT_EQ(status.statuses.back(), "Can't close the MetaStock directory.");
  ASSERT_FALSE(status.details.empty());
  EXPECT_NE(status.details.back().find("No space left"), std::string::npos) << status.details.back();
  EXPECT_TRUE(WorkingFilesPresent());

  std::ostringstream out, err;
  EXPECT_EQ(RunListCommand(settings_.msDir, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("ONE"), std::string::npos);
  test::TRecordingStatus again;
  TConversion next(settings_, again);
  ASSERT_TRUE(next.AnalyseSecurities());
  EXPECT_TRUE(next.CollectPriceData());
  EXPECT_FALSE(WorkingFilesPresent());
  EXPECT_FALSE(platform::IsReadOnly(MsFindFile(settings_.msDir, kMsMasterName)));
}

TEST_F(ClosingFailureRun, NamesMasterRecordsTheListLeavesOut) {
  const fs::path master = scratch_.Path() / "ms" / "MASTER";
  std::string bytes = test::ReadFileBytes(master);
  bytes[53 * 2 + 33] = 0;  // TWO: no period letter
  test::WriteFileBytes(master, bytes);
  test::TRecordingStatus status;
  TConversion conversion(settings_, status);
  ASSERT_TRUE(conversion.AnalyseSecurities());
  EXPECT_NE(conversion.Notes().find("Master file records left out: TWO (F2): garbled MASTER record"),
            std::string::npos)
      << conversion.Notes();
}

}  // namespace
}  // namespace vz::app
