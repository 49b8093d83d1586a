#pragma once
// Reads the archives a run wrote back into rows and ticks, for tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "vuzuz/OmzArchive.h"
#include "vuzuz/OmzDaily.h"
#include "vuzuz/OmzFile.h"
#include "vuzuz/OmzIndex.h"
#include "vuzuz/OmzIntraday.h"

namespace vz::test {

// Entry names and expanded contents of an archive; fails the test when the
// archive is not whole.
inline std::vector<omz::ArchiveEntry> ArchiveEntries(const std::filesystem::path& path) {
  vz::Bytes bytes;
  omz::Failure error;
  std::vector<omz::ArchiveEntry> entries;
  EXPECT_TRUE(omz::ReadWholeFile(path, bytes, error)) << path << ": " << error;
  EXPECT_TRUE(omz::ReadArchive(bytes, entries, error, size_t{1} << 30)) << path << ": " << error;
  for (const omz::ArchiveEntry& e : entries) EXPECT_TRUE(e.expanded) << path << " " << e.name;
  return entries;
}

inline std::vector<std::string> EntryNames(const std::vector<omz::ArchiveEntry>& entries) {
  std::vector<std::string> names;
  for (const omz::ArchiveEntry& e : entries) names.push_back(e.name);
  return names;
}

inline std::vector<omz::DailyRow> DailyArchiveRows(const std::filesystem::path& path) {
  const auto entries = ArchiveEntries(path);
  std::vector<omz::DailyBlock> blocks;
  omz::Failure error;
  for (const omz::ArchiveEntry& e : entries) {
    if (e.name.ends_with(".DLY")) {
      EXPECT_TRUE(omz::ReadDailyFile(e.data, blocks, error)) << error;
    }
  }
  return omz::DailyRowsOf(blocks);
}

// The leaf keys of an intraday archive's index, in tree order.
inline std::vector<omz::IndexKey> IntradayArchiveKeys(const std::filesystem::path& path) {
  std::vector<omz::IndexKey> keys;
  std::vector<omz::IndexEntry> leaves;
  omz::Failure error;
  for (const omz::ArchiveEntry& e : ArchiveEntries(path))
    if (e.name.ends_with(".IDX")) {
      EXPECT_TRUE(omz::ReadIndexLeaves(e.data, leaves, error)) << path << ": " << error;
      for (const omz::IndexEntry& leaf : leaves) keys.push_back(leaf.key);
    }
  return keys;
}

inline std::vector<omz::Tick> IntradayArchiveTicks(const std::filesystem::path& path,
                                                  std::vector<omz::TickBlockInfo>* blocks = nullptr) {
  const auto entries = ArchiveEntries(path);
  const omz::ArchiveEntry* dat = nullptr;
  const omz::ArchiveEntry* idx = nullptr;
  for (const omz::ArchiveEntry& e : entries) {
    if (e.name.ends_with(".DAT")) dat = &e;
    if (e.name.ends_with(".IDX")) idx = &e;
  }
  omz::IntradayContents contents;
  omz::Failure error;
  if (!dat || !idx) {
    ADD_FAILURE() << path << ": no intraday files";
    return {};
  }
  EXPECT_TRUE(omz::ReadIntradayFiles(dat->data, idx->data, contents, error)) << path << ": " << error;
  if (blocks) *blocks = contents.blocks;
  return contents.ticks;
}

}  // namespace vz::test
