#include <gtest/gtest.h>

#include <filesystem>

#include "platform/SettingsStore.h"
#include "support/ScratchDir.h"

namespace vz::platform {
namespace {

// Each test works in its own key (registry) and its own file (elsewhere).
class SettingsStoreTest : public testing::Test {
protected:
  void SetUp() override {
    SetSettingsFilePath(scratch_.File("config/settings.ini"));
    DeleteStoredKey(kRoot);
  }
  void TearDown() override {
    DeleteStoredKey(kRoot);
    SetSettingsFilePath("");
  }
  static constexpr char kRoot[] = "Software\\VuzuzArchiveCreatorTests";
  test::TScratchDir scratch_;
};

TEST_F(SettingsStoreTest, WritesReadsAndReplacesValuesByName) {
  const std::string key = std::string(kRoot) + "\\Archive\\TTarvoWnd";
  StoredValues none;
  EXPECT_FALSE(ReadStoredValues(key, none));
  ASSERT_TRUE(WriteStoredValues(key, {{"EdtMsDir_Text", " C:\\Ms\\ "}, {"Multi", "a\nb\\c"}, {"Empty", ""}}));
  ASSERT_TRUE(WriteStoredValues(key, {{"edtmsdir_text", "D:\\"}}));

  StoredValues values;
  ASSERT_TRUE(ReadStoredValues(key, values));
  ASSERT_EQ(values.size(), 3u);
  // Names and key parts compare without regard to case; a leading "\" is ignored.
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, "\\" + key, "EDTMSDIR_TEXT"), "D:\\");
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, std::string(kRoot) + "\\ARCHIVE\\ttarvownd", "Multi"), "a\nb\\c");
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, key, "Empty"), "");
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, key, "Missing"), "");
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, std::string(kRoot) + "\\Nothing", "Multi"), "");
  // A parent key holds none of its sub-key's values.
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, kRoot, "Multi"), "");

  ASSERT_TRUE(DeleteStoredKey(kRoot));
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, key, "Multi"), "");
}

TEST_F(SettingsStoreTest, KeepsTextsBeyondAsciiWhole) {
  // A Cyrillic user folder, a Greek name and a character outside the BMP.
  const std::string key = std::string(kRoot) + "\\\xD0\x90\xD1\x80\xD1\x85\xD0\xB8\xD0\xB2";
  const std::string path = "C:\\Users\\\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\\\xCE\xB1\xCF\x81\xF0\x9F\x93\x88\\";
  ASSERT_TRUE(WriteStoredValues(key, {{"EdtOutput_Text", path}, {"\xCE\xA9", "x"}}));
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, key, "EdtOutput_Text"), path);
  StoredValues values;
  ASSERT_TRUE(ReadStoredValues(key, values));
  EXPECT_EQ(values, (StoredValues{{"EdtOutput_Text", path}, {"\xCE\xA9", "x"}}));
}

#ifndef _WIN32
TEST_F(SettingsStoreTest, KeepsTheOldFileWhenTheNewOneCannotBeWritten) {
  const std::string key = std::string(kRoot) + "\\K";
  ASSERT_TRUE(WriteStoredValues(key, {{"A", "1"}}));
  // The new file is written beside the old one first; make that impossible.
  std::filesystem::create_directories(scratch_.Path() / "config" / "settings.ini.tmp" / "x");
  EXPECT_FALSE(WriteStoredValues(key, {{"A", "2"}}));
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, key, "A"), "1");
}

TEST_F(SettingsStoreTest, RejectsNamesThatCannotBeStoredOnTheirLine) {
  EXPECT_FALSE(WriteStoredValues(std::string(kRoot) + "\\K", {{"a=b", "1"}}));
  EXPECT_FALSE(WriteStoredValues(std::string(kRoot) + "\\K", {{"line\nbreak", "1"}}));
  EXPECT_FALSE(WriteStoredValues(std::string(kRoot) + "\\[K]", {{"A", "1"}}));
}

TEST_F(SettingsStoreTest, ReadsAHandWrittenFileAndIgnoresJunkLines) {
  std::filesystem::create_directories(scratch_.Path() / "config");
  test::WriteFileBytes(scratch_.Path() / "config" / "settings.ini",
                       "junk before any section\n[\\software\\velmora\\pendra 3.0]\r\nno equals sign\n=novalue\n"
                       "MSPath=/data/ms/\r\n[unterminated\nMSPath=elsewhere\n");
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, "\\SOFTWARE\\Velmora\\Pendra 3.0", "MSPath"), "elsewhere");
}

TEST_F(SettingsStoreTest, RegisteredOwnerIsTheLoginName) {
  EXPECT_FALSE(ReadRegString(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOwner")
                   .empty());
}
#endif

}  // namespace
}  // namespace vz::platform
