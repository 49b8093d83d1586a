// --verify against archives damaged on purpose: each damage of the table
// is named on its archive's line, the other archives stay ok, and the
// status is 6.
#include <gtest/gtest.h>

#include <functional>

#include "app/window/ExitStatus.h"
#include "support/ScratchDir.h"
#include "tools/msgen/MsGen.h"
#include "VerifyTestSupport.h"
#include "vuzuz/OmzArchive.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzDescriptor.h"
#include "vuzuz/OmzIntraday.h"
#include "vuzuz/pkcmp/Pkcmp.h"

namespace vz::app {
namespace {

namespace fs = std::filesystem;
using verifytest::LineOf;

constexpr char kDay[] = "2026_11/i261103.omz";
constexpr char kOtherDay[] = "2026_11/i261102.omz";
constexpr char kMonth[] = "d2611.omz";

// Two intraday securities of 1-minute bars on two days and one daily
// security over November, converted once for every case.
class VerifyDamageTest : public testing::Test {
protected:
  static void SetUpTestSuite() {
    scratch_ = new test::TScratchDir;
    msgen::MsGenDirectory directory;
    int fileNumber = 1;
    for (const char* symbol : {"ALFA", "BETA"}) {
      msgen::MsGenSecurity s;
      s.fileNumber = fileNumber++;
      s.symbol = symbol;
      s.name = std::string("M1_") + symbol;
      s.period = 'I';
      s.interval = 1;
      s.fieldMask = msgen::kMaskDtohlcv;
      for (int32_t date : {20261102, 20261103})
        for (int minute = 0; minute < 70; ++minute) {
          const float base = 10.0f + static_cast<float>(minute % 13) / 8;
          s.bars.push_back({date, (10 + minute / 60) * 10000 + (minute % 60) * 100, base, base + 0.25f,
                            base - 0.125f, base + 0.125f, static_cast<float>(100 + minute), 0});
        }
      directory.securities.push_back(s);
    }
    msgen::MsGenSecurity daily;
    daily.fileNumber = fileNumber;
    daily.symbol = "GAMMA";
    daily.name = "Gamma daily";
    daily.fieldMask = msgen::kMaskDohlcv;
    for (int32_t date : {20261102, 20261103, 20261104, 20261130})
      daily.bars.push_back({date, 0, 20, 21, 19, 20.5f, 5000, 0});
    directory.securities.push_back(daily);
    ASSERT_EQ(msgen::CheckDirectory(directory), "");
    fs::create_directories(Ms());
    for (const auto& file : msgen::BuildMetastockFiles(directory)) ASSERT_TRUE(msgen::WriteMsGenFile(Ms(), file));
    std::string log;
    ASSERT_EQ(verifytest::Convert(Ms(), Converted(), "20261101", "20261201", log), kExitComplete) << log;
  }
  static void TearDownTestSuite() {
    delete scratch_;
    scratch_ = nullptr;
  }
  static fs::path Ms() { return scratch_->Path() / "ms"; }
  static fs::path Converted() { return scratch_->Path() / "converted"; }

  static test::TScratchDir* scratch_;
};

test::TScratchDir* VerifyDamageTest::scratch_ = nullptr;

std::string ReadBytes(const fs::path& path) { return test::ReadFileBytes(path); }
void WriteBytes(const fs::path& path, const std::string& bytes) { test::WriteFileBytes(path, bytes); }

// An archive's entries expanded.
std::vector<omz::ArchiveEntry> Entries(const fs::path& path) {
  const std::string text = ReadBytes(path);
  const Bytes bytes(text.begin(), text.end());
  std::vector<omz::ArchiveEntry> entries;
  omz::Failure error;
  EXPECT_TRUE(omz::ReadArchive(bytes, entries, error)) << error;
  return entries;
}

void WriteArchive(const fs::path& path, const std::vector<omz::ArchiveFile>& files) {
  std::vector<char> work(pkcmp::kImplodeWorkSize);
  Bytes archive;
  omz::Failure error;
  ASSERT_TRUE(omz::BuildArchive(files, work.data(), archive, error)) << error;
  WriteBytes(path, std::string(archive.begin(), archive.end()));
}

// A day archive written again by the program's own writers, its ticks
// changed first.
void RewriteTicks(const fs::path& path, const std::function<void(std::vector<omz::Tick>&)>& change) {
  const auto entries = Entries(path);
  ASSERT_EQ(entries.size(), 3u);
  omz::IntradayContents contents;
  omz::Failure error;
  ASSERT_TRUE(omz::ReadIntradayFiles(entries[1].data, entries[2].data, contents, error)) << error;
  change(contents.ticks);
  const std::string base = entries[0].name;
  omz::IntradayImage image;
  ASSERT_TRUE(omz::BuildIntradayFiles(base, contents.ticks, 0, image, error)) << error;
  WriteArchive(path, {{base, omz::BuildDescriptorFile()}, {base + ".DAT", image.dat}, {base + ".IDX", image.idx}});
}

// A month archive written again, its rows changed first.
void RewriteRows(const fs::path& path, const std::function<void(std::vector<omz::DailyRow>&)>& change) {
  const auto entries = Entries(path);
  ASSERT_EQ(entries.size(), 2u);
  std::vector<omz::DailyBlock> blocks;
  omz::Failure error;
  ASSERT_TRUE(omz::ReadDailyFile(entries[1].data, blocks, error)) << error;
  std::vector<omz::DailyRow> rows = omz::DailyRowsOf(blocks);
  change(rows);
  Bytes dly;
  ASSERT_TRUE(omz::BuildDailyFile(rows, dly, error)) << error;
  const std::string base = entries[0].name;
  WriteArchive(path, {{base, omz::BuildDescriptorFile()}, {base + ".DLY", dly}});
}

// Offset of an entry's packed bytes in an archive.
size_t PackedStart(const fs::path& path, const std::string& entry) {
  for (const omz::ArchiveEntry& e : Entries(path))
    if (e.name == entry) return e.offset + omz::kEntryHeaderSize;
  ADD_FAILURE() << "no entry " << entry;
  return 0;
}

struct DamageCase {
  const char* name;
  const char* archive;  // whose line names the damage
  std::function<void(const fs::path& out)> damage;
  const char* verdict;     // "DAMAGED", "DIFFERS" or "MISSING"
  std::vector<std::string> named;  // texts its line holds
};

TEST_F(VerifyDamageTest, EveryDamageIsNamedOnItsArchivesLine) {
  const std::vector<DamageCase> cases = {
      {"flipped byte in the data file's entry", kDay,
       [](const fs::path& out) {
         const fs::path path = out / kDay;
         std::string bytes = ReadBytes(path);
         bytes[PackedStart(path, "i261103.DAT") + 40] ^= 0x20;
         WriteBytes(path, bytes);
       },
       "DAMAGED", {"i261103.DAT"}},
      {"truncated archive", kDay,
       [](const fs::path& out) {
         const std::string bytes = ReadBytes(out / kDay);
         WriteBytes(out / kDay, bytes.substr(0, bytes.size() - 50));
       },
       "DAMAGED", {"entry i261103.IDX", "runs past the end of the archive"}},
      {"truncated inside an entry header", kDay,
       [](const fs::path& out) { WriteBytes(out / kDay, ReadBytes(out / kDay).substr(0, 10)); },
       "DAMAGED", {"truncated entry header at offset 0"}},
      {"a tick removed", kDay,
       [](const fs::path& out) {
         RewriteTicks(out / kDay, [](std::vector<omz::Tick>& ticks) { ticks.erase(ticks.begin() + 5); });
       },
       "DIFFERS", {"\"ALFA\" 2026-11-03 10:01: 3 ticks in the archive, 4 in the source"}},
      {"a bar removed", kDay,
       [](const fs::path& out) {
         RewriteTicks(out / kDay, [](std::vector<omz::Tick>& ticks) { ticks.erase(ticks.end() - 4, ticks.end()); });
       },
       "DIFFERS", {"\"BETA\" 2026-11-03 11:09: a bar missing from the archive"}},
      {"a price changed", kDay,
       [](const fs::path& out) {
         RewriteTicks(out / kDay, [](std::vector<omz::Tick>& ticks) { ticks[4 * 70 + 1].price += 0.5; });
       },
       "DIFFERS", {"\"BETA\" 2026-11-03 10:00: high 10.75 in the archive, 10.25 in the source"}},
      {"a volume changed", kDay,
       [](const fs::path& out) {
         RewriteTicks(out / kDay, [](std::vector<omz::Tick>& ticks) { ticks[3].volume += 7; });
       },
       "DIFFERS", {"\"ALFA\" 2026-11-03 10:00: volume 107 in the archive, 100 in the source"}},
      {"a bar the source does not have", kDay,
       [](const fs::path& out) {
         RewriteTicks(out / kDay, [](std::vector<omz::Tick>& ticks) {
           std::vector<omz::Tick> bar(ticks.begin(), ticks.begin() + 4);
           for (omz::Tick& tick : bar) omz::SetTickSymbol(tick, "ZULU");
           ticks.insert(ticks.end(), bar.begin(), bar.end());
         });
       },
       "DIFFERS", {"\"ZULU\" 2026-11-03 10:00: a bar in the archive that the source does not have"}},
      {"a daily close changed", kMonth,
       [](const fs::path& out) {
         RewriteRows(out / kMonth, [](std::vector<omz::DailyRow>& rows) { rows[1].close = 30; });
       },
       "DIFFERS", {"\"GAMMA\" 2026-11-03: close 30 in the archive, 20.5 in the source"}},
      {"a daily row removed", kMonth,
       [](const fs::path& out) {
         RewriteRows(out / kMonth, [](std::vector<omz::DailyRow>& rows) { rows.pop_back(); });
       },
       "DIFFERS", {"\"GAMMA\" 2026-11-30: a bar missing from the archive"}},
      {"another day's archive under this day's name", kDay,
       [](const fs::path& out) {
         // Removed first: mingw's copy_file refuses to overwrite.
         fs::remove(out / kDay);
         fs::copy_file(out / kOtherDay, out / kDay);
       },
       "DAMAGED", {"entries i261102, i261102.DAT, i261102.IDX where i261103"}},
      {"a tick of the next day", kDay,
       [](const fs::path& out) {
         RewriteTicks(out / kDay, [](std::vector<omz::Tick>& ticks) { ticks.back().dateTime += 1; });
       },
       "DAMAGED", {"\"BETA\": a tick of 2026-11-04 in the archive of 2026-11-03"}},
      {"a daily row of the next month", kMonth,
       [](const fs::path& out) {
         RewriteRows(out / kMonth, [](std::vector<omz::DailyRow>& rows) { rows.back().date += 5; });
       },
       "DAMAGED", {"\"GAMMA\" 2026-12-05: a row outside 26-11"}},
      {"an archive removed", kDay, [](const fs::path& out) { fs::remove(out / kDay); }, "MISSING",
       {"the source has 140 bars of 2 securities"}},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::TScratchDir scratch;
    const fs::path out = scratch.Path() / "out";
    fs::copy(Converted(), out, fs::copy_options::recursive);
    c.damage(out);
    const auto result =
        verifytest::Verify({out.string(), "/m:" + Ms().string(), "/f:20261101", "/t:20261201"});
    EXPECT_EQ(result.status, kExitVerifyFailed) << result.out << result.err;
    const std::string line = LineOf(result.out, c.archive);
    EXPECT_NE(line.find(std::string(": ") + c.verdict), std::string::npos) << result.out;
    for (const std::string& text : c.named) EXPECT_NE(line.find(text), std::string::npos) << line;
    // The archives not damaged are still ok.
    for (const char* other : {kDay, kOtherDay, kMonth}) {
      if (std::string(other) == c.archive) continue;
      EXPECT_NE(LineOf(result.out, other).find(": ok ("), std::string::npos) << result.out;
    }
  }
}

TEST_F(VerifyDamageTest, SelectedComparesWithTheSelectionListsSecuritiesOnly) {
  // No selection file: a run with /s converts nothing, so every bar of the
  // archives is one the source (so chosen) does not have.
  const auto result =
      verifytest::Verify({Converted().string(), "/m:" + Ms().string(), "/s", "/f:20261101", "/t:20261201"});
  EXPECT_EQ(result.status, kExitVerifyFailed) << result.out;
  EXPECT_NE(LineOf(result.out, kMonth).find("\"GAMMA\" 2026-11-02: a bar in the archive that the source does not have"),
            std::string::npos)
      << result.out;
  EXPECT_NE(LineOf(result.out, kDay).find(": DIFFERS"), std::string::npos) << result.out;
  EXPECT_EQ(verifytest::Verify({Converted().string(), "/m:" + Ms().string(), "/s:n", "/f:20261101", "/t:20261201"})
                .status,
            kExitComplete);
}

TEST_F(VerifyDamageTest, DamageInsideTheArchivesIsFoundWithoutTheSource) {
  // Without /m: only what the archive shows of itself: a truncation and a
  // flipped byte, not a changed price.
  test::TScratchDir scratch;
  const fs::path out = scratch.Path() / "out";
  fs::copy(Converted(), out, fs::copy_options::recursive);
  const std::string bytes = ReadBytes(out / kDay);
  WriteBytes(out / kDay, bytes.substr(0, bytes.size() - 1));
  RewriteRows(out / kMonth, [](std::vector<omz::DailyRow>& rows) { rows[0].open = 1; });
  const auto result = verifytest::Verify({out.string()});
  EXPECT_EQ(result.status, kExitVerifyFailed) << result.out;
  EXPECT_NE(LineOf(result.out, kDay).find(": DAMAGED"), std::string::npos) << result.out;
  EXPECT_NE(LineOf(result.out, kMonth).find(": ok ("), std::string::npos) << result.out;
}

}  // namespace
}  // namespace vz::app
