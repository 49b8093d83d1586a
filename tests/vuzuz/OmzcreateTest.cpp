#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "support/ScratchDir.h"
#include "vuzuz/OmzArchive.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzEntryCodec.h"
#include "vuzuz/OmzDescriptor.h"
#include "vuzuz/OmzFile.h"
#include "vuzuz/OmzIntraday.h"
#include "vuzuz/Omzcreate.h"
#include "vuzuz/pkcmp/Pkcmp.h"

namespace fs = std::filesystem;

namespace vz::omz {
namespace {

std::vector<std::string> Listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Bytes FileBytes(const fs::path& path) {
  const std::string s = test::ReadFileBytes(path);
  return Bytes(s.begin(), s.end());
}

void WriteDailySet(const fs::path& dir, const std::string& base, double open = 10) {
  Failure error;
  DailyRow row;
  row.name = "AAA";
  row.date = 37308;
  row.open = row.high = row.low = row.close = open;
  ASSERT_TRUE(WriteDescriptorFile(dir, base, error)) << error;
  ASSERT_TRUE(WriteDailyFile(dir, base, {row, row}, error)) << error;
}

void WriteIntradaySet(const fs::path& dir, const std::string& base) {
  Failure error;
  std::vector<Tick> ticks(130);
  for (size_t i = 0; i < ticks.size(); ++i) {
    SetTickSymbol(ticks[i], "AB");
    ticks[i].dateTime = 37308 + i / 1440.0;
    ticks[i].price = 10 + i * 0.01;
  }
  ASSERT_TRUE(WriteDescriptorFile(dir, base, error)) << error;
  ASSERT_TRUE(WriteIntradayFiles(dir, base, ticks, error)) << error;
}

std::vector<ArchiveEntry> ReadArchiveFile(const fs::path& path) {
  std::vector<ArchiveEntry> entries;
  Failure error;
  EXPECT_TRUE(ReadArchive(FileBytes(path), entries, error)) << error;
  return entries;
}

TEST(OMZCreate, PacksEachSetKindInOrderAndDeletesIt) {
  const struct {
    const char* what;
    bool daily, intraday, strayIndex;
    std::vector<std::string> entries;
  } cases[] = {
      {"daily", true, false, false, {"B1", "B1.DLY"}},
      {"intraday", false, true, false, {"B1", "B1.DAT", "B1.IDX"}},
      {"daily with an index but no data file", true, false, true, {"B1", "B1.DLY"}},
  };
  for (const auto& c : cases) {
    test::TScratchDir dir;
    if (c.daily) WriteDailySet(dir.Path(), "B1");
    if (c.intraday) WriteIntradaySet(dir.Path(), "B1");
    if (c.strayIndex) test::WriteFileBytes(dir.Path() / "B1.IDX", "index");
    std::vector<Bytes> originals;
    for (const std::string& name : c.entries) originals.push_back(FileBytes(dir.Path() / name));

    TOMZCompressor packer(dir.Path());
    ASSERT_TRUE(packer.OMZCreate("B1", true)) << c.what << ": " << packer.LastError();
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"B1.omz"}) << c.what;
    const std::vector<ArchiveEntry> entries = ReadArchiveFile(dir.Path() / "B1.omz");
    ASSERT_EQ(entries.size(), c.entries.size()) << c.what;
    for (size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].name, c.entries[i]);
      EXPECT_TRUE(entries[i].expanded);
      EXPECT_EQ(entries[i].data, originals[i]) << c.what << " " << entries[i].name;
    }
  }
}

TEST(OMZCreate, EntryHeaderBytesAndLengths) {
  test::TScratchDir dir;
  WriteIntradaySet(dir.Path(), "i020221");
  TOMZCompressor packer(dir.Path());
  ASSERT_TRUE(packer.OMZCreate("i020221", true)) << packer.LastError();
  const Bytes archive = FileBytes(dir.Path() / "i020221.omz");
  ASSERT_GT(archive.size(), 25u);
  const std::string name = "i020221";
  Bytes expected = {1, 0};
  expected.insert(expected.end(), name.begin(), name.end());
  expected.resize(15, 0);
  for (char c : std::string("ORCMP")) expected.push_back(static_cast<uint8_t>(c));
  expected.push_back(0);
  EXPECT_EQ(Bytes(archive.begin(), archive.begin() + 21), expected);
  // Each length reaches exactly the next header, the last one the end.
  size_t pos = 0;
  int entries = 0;
  while (pos < archive.size()) {
    ASSERT_LE(pos + 25, archive.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(archive.data() + pos + 15), 6), std::string("ORCMP\0", 6));
    pos += 25 + LoadU32(archive.data() + pos + 21);
    ++entries;
  }
  EXPECT_EQ(pos, archive.size());
  EXPECT_EQ(entries, 3);
}

TEST(OMZCreate, IncompleteSetIsDeletedWithoutArchive) {
  const struct {
    const char* what;
    std::vector<std::string> files;
  } cases[] = {
      {"descriptor only", {"B1"}},
      {"data without descriptor", {"B1.DLY"}},
      {"descriptor and index only", {"B1", "B1.IDX"}},
  };
  for (const auto& c : cases) {
    test::TScratchDir dir;
    for (const std::string& f : c.files) test::WriteFileBytes(dir.Path() / f, "x");
    TOMZCompressor packer(dir.Path());
    EXPECT_FALSE(packer.OMZCreate("B1", true)) << c.what;
    EXPECT_EQ(packer.LastError().code, Error::kIncompleteSet) << c.what;
    EXPECT_TRUE(fs::is_empty(dir.Path())) << c.what;
  }
}

TEST(OMZCreate, ReplacesAnExistingArchiveOnlyWithACompleteOne) {
  test::TScratchDir dir;
  TOMZCompressor packer(dir.Path());
  WriteDailySet(dir.Path(), "d0203", 10);
  ASSERT_TRUE(packer.OMZCreate("d0203", true)) << packer.LastError();
  const Bytes first = FileBytes(dir.Path() / "d0203.omz");

  WriteDailySet(dir.Path(), "d0203", 20);
  ASSERT_TRUE(packer.OMZCreate("d0203", true)) << packer.LastError();
  const Bytes second = FileBytes(dir.Path() / "d0203.omz");
  EXPECT_NE(first, second);
  EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"d0203.omz"});

  // A source that cannot be read (a folder in place of a file) fails the
  // archive; the one already there stays as it was, and no temporary is left.
  fs::create_directory(dir.Path() / "sub.DLY");
  test::WriteFileBytes(dir.Path() / "d0203", std::string(32, '\0'));
  ASSERT_TRUE(packer.OMZCreateEmpty("d0203"));
  EXPECT_TRUE(packer.OMZAdd("d0203."));
  EXPECT_FALSE(packer.OMZAdd("sub.DLY"));
  EXPECT_EQ(packer.LastError().code, Error::kCannotOpen);
  EXPECT_FALSE(packer.OMZAdd("missing.DLY"));
  EXPECT_EQ(packer.LastError().code, Error::kCannotOpen);
  EXPECT_FALSE(packer.OMZClose());
  EXPECT_EQ(packer.LastError().code, Error::kCannotOpen);
  EXPECT_NE(packer.LastError().text.find("left as it was"), std::string::npos) << packer.LastError();
  EXPECT_EQ(FileBytes(dir.Path() / "d0203.omz"), second);
  EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"d0203", "d0203.omz", "sub.DLY"}));
}

TEST(OMZAdd, EmptyFileAddsNoEntryAndLongNamesAreRefused) {
  test::TScratchDir dir;
  test::WriteFileBytes(dir.Path() / "EMPTY", "");
  test::WriteFileBytes(dir.Path() / "ABCDEFGHIJKLM", "thirteen");
  TOMZCompressor packer(dir.Path());
  ASSERT_TRUE(packer.OMZCreateEmpty("x"));
  EXPECT_TRUE(packer.OMZAdd("EMPTY."));
  EXPECT_TRUE(packer.OMZClose());
  EXPECT_EQ(fs::file_size(dir.Path() / "x.omz"), 0u);
  ASSERT_TRUE(packer.OMZCreateEmpty("y"));
  EXPECT_FALSE(packer.OMZAdd("ABCDEFGHIJKLM"));
  EXPECT_EQ(packer.LastError().code, Error::kInvalidEntryName);
  EXPECT_FALSE(packer.OMZClose());
  EXPECT_FALSE(fs::exists(dir.Path() / "y.omz"));
}

TEST(OMZUnzip, RecreatesTheSetByteForByte) {
  test::TScratchDir dir;
  const fs::path out = dir.Path() / "out";
  fs::create_directory(out);
  WriteIntradaySet(dir.Path(), "i020221");
  const Bytes dat = FileBytes(dir.Path() / "i020221.DAT");
  const Bytes idx = FileBytes(dir.Path() / "i020221.IDX");
  TOMZCompressor packer(dir.Path());
  ASSERT_TRUE(packer.OMZCreate("i020221", true));
  TOMZCompressor unpacker(out);
  ASSERT_TRUE(unpacker.OMZUnzip((dir.Path() / "i020221.omz").string())) << unpacker.LastError();
  EXPECT_EQ(Listing(out), (std::vector<std::string>{"i020221", "i020221.DAT", "i020221.IDX"}));
  EXPECT_EQ(FileBytes(out / "i020221"), BuildDescriptorFile());
  EXPECT_EQ(FileBytes(out / "i020221.DAT"), dat);
  EXPECT_EQ(FileBytes(out / "i020221.IDX"), idx);
}

TEST(OMZUnzip, RefusesWhatIsNotAnArchive) {
  test::TScratchDir dir;
  WriteDailySet(dir.Path(), "d0203");
  TOMZCompressor packer(dir.Path());
  ASSERT_TRUE(packer.OMZCreate("d0203", true));
  const Bytes good = FileBytes(dir.Path() / "d0203.omz");
  const size_t second = 25 + LoadU32(good.data() + 21);

  auto withName = [&](const std::string& name) {
    Bytes b = good;
    PutEntryHeader(b.data(), name, LoadU32(good.data() + 21));
    return b;
  };
  Bytes badData = good;
  badData[second + 25] = 7;  // compression type byte of the second entry
  Bytes unterminated = good;
  std::fill_n(unterminated.begin() + 2, 13, 'A');
  Bytes emptyEntry = good;  // a second entry whose stream holds nothing
  emptyEntry.resize(second + kEntryHeaderSize);
  std::vector<char> implodeWork(pkcmp::kImplodeWorkSize);
  ASSERT_EQ(ImplodeEntryData({}, implodeWork.data(), emptyEntry), pkcmp::kPkOk);
  PutEntryHeader(emptyEntry.data() + second, "d0203.DLY", static_cast<uint32_t>(emptyEntry.size() - second - 25));
  const struct {
    const char* what;
    Bytes bytes;
    size_t filesKept;  // entries extracted before the fault
    Error fault;
  } cases[] = {
      {"text file", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, 0, Error::kEntryHeaderTruncated},
      {"text file of a header's size", Bytes(30, 'x'), 0, Error::kNotEntryHeader},
      {"truncated second header", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(second + 10)), 1,
       Error::kEntryHeaderTruncated},
      {"truncated second entry", Bytes(good.begin(), good.end() - 1), 1, Error::kEntryPastEnd},
      {"name leaving the folder", withName("../evil"), 0, Error::kInvalidEntryName},
      {"name with a separator", withName("a\\b"), 0, Error::kInvalidEntryName},
      {"name without terminator", unterminated, 0, Error::kEntryNameUnterminated},
      {"malformed compressed data", badData, 1, Error::kEntryDoesNotExpand},
      {"entry expanding to nothing", emptyEntry, 1, Error::kEntryEmpty},
  };
  for (const auto& c : cases) {
    test::TScratchDir work;
    const fs::path out = work.Path() / "out";
    fs::create_directory(out);
    test::WriteFileBytes(work.Path() / "a.omz",
                         std::string(reinterpret_cast<const char*>(c.bytes.data()), c.bytes.size()));
    TOMZCompressor unpacker(out);
    EXPECT_FALSE(unpacker.OMZUnzip((work.Path() / "a.omz").string())) << c.what;
    EXPECT_EQ(unpacker.LastError().code, c.fault) << c.what << ": " << unpacker.LastError();
    EXPECT_EQ(Listing(out).size(), c.filesKept) << c.what;
    EXPECT_EQ(Listing(work.Path()), (std::vector<std::string>{"a.omz", "out"})) << c.what;
  }
}

// Entries that do not expand are listed with the reason, and the walk goes
// on: the codec's code tells a cut stream from a corrupt one.
TEST(ReadArchive, TellsWhyEachEntryDoesNotExpand) {
  const Bytes data(3000, 'q');
  std::vector<char> work(pkcmp::kImplodeWorkSize);
  Bytes packed;
  ASSERT_EQ(ImplodeEntryData(data, work.data(), packed), pkcmp::kPkOk);
  const Bytes corrupt = {0x00, 0x04, 0xc9, 0x23, 0xe0, 0x1f};  // a copy before any output
  const struct {
    const char* name;
    Bytes packed;
    size_t maxExpanded;
    bool expanded;
    unsigned explodeResult;
    Error fault;
  } cases[] = {
      {"WHOLE", packed, 3000, true, pkcmp::kPkOk, Error::kNone},
      {"CUT", Bytes(packed.begin(), packed.end() - 2), 3000, false, pkcmp::kPkTruncated, Error::kEntryDoesNotExpand},
      {"CORRUPT", corrupt, 3000, false, pkcmp::kPkBadData, Error::kEntryDoesNotExpand},
      {"LARGE", packed, 2999, false, pkcmp::kPkAbort, Error::kEntryTooLarge},
  };
  for (const auto& c : cases) {
    // The case's entry between two good ones.
    Bytes archive;
    for (const Bytes* entry : std::initializer_list<const Bytes*>{&packed, &c.packed, &packed}) {
      const size_t at = archive.size();
      archive.resize(at + kEntryHeaderSize);
      PutEntryHeader(archive.data() + at, entry == &c.packed ? c.name : "GOOD", static_cast<uint32_t>(entry->size()));
      archive.insert(archive.end(), entry->begin(), entry->end());
    }
    std::vector<ArchiveEntry> entries;
    Failure error;
    ASSERT_TRUE(ReadArchive(archive, entries, error, c.maxExpanded)) << c.name << ": " << error;
    ASSERT_EQ(entries.size(), 3u) << c.name;
    const ArchiveEntry& e = entries[1];
    EXPECT_EQ(e.name, c.name);
    EXPECT_EQ(e.expanded, c.expanded) << c.name;
    EXPECT_EQ(e.explodeResult, c.explodeResult) << c.name;
    EXPECT_EQ(e.error.code, c.fault) << c.name << ": " << e.error;
    EXPECT_LE(e.data.size(), c.maxExpanded) << c.name;
    EXPECT_TRUE(std::equal(e.data.begin(), e.data.end(), data.begin())) << c.name;  // what came out is a prefix
    EXPECT_EQ(entries[2].offset, 2 * kEntryHeaderSize + packed.size() + c.packed.size()) << c.name;
    EXPECT_EQ(entries[2].expanded, c.maxExpanded >= data.size()) << c.name;
  }
}

}  // namespace
}  // namespace vz::omz
