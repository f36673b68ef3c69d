#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

TEST(IniFileTest, ReadsValuesCaseInsensitivelyWithFirstDuplicateWinning) {
  TempFolder dir;
  const auto file = dir.path() / "a.ini";
  writeFile(file,
            "[Configs]\nDownloadSavePath = /x/y \nempty=\ncount=12\nbad=12abc\n"
            "dup=first\ndup=second\n");
  const IniFile ini = IniFile::load(file);
  EXPECT_EQ(ini.readString("CONFIGS", "downloadsavepath", "-"), "/x/y");
  EXPECT_EQ(ini.readString("CONFIGS", "empty", "-"), "");
  EXPECT_EQ(ini.readString("CONFIGS", "missing", "-"), "-");
  EXPECT_EQ(ini.readString("OTHER", "count", "-"), "-");
  EXPECT_EQ(ini.readInt("CONFIGS", "count", 0), 12);
  EXPECT_EQ(ini.readInt("CONFIGS", "bad", 7), 7);
  EXPECT_EQ(ini.readString("CONFIGS", "dup", "-"), "first");
}

TEST(IniFileTest, MissingOrDirectoryFileReadsAsEmpty) {
  TempFolder dir;
  EXPECT_EQ(IniFile::load(dir.path() / "none.ini").readString("A", "k", "d"), "d");
  EXPECT_EQ(IniFile::load(dir.path()).readString("A", "k", "d"), "d");
}

TEST(IniFileTest, WriteKeyKeepsEveryOtherLine) {
  TempFolder dir;
  const auto file = dir.path() / "a.ini";
  const std::string before =
      "; top comment\r\n[CONFIGS]\r\n; about the folder\r\ndownloadsavepath = /old\r\n"
      "not a key line\r\nother=1\r\n\r\n[NEXT]\r\nk=v\r\n; trailing comment\r\n";
  writeFile(file, before);
  ASSERT_TRUE(IniFile::writeKey(file, "configs", "DownloadSavePath", "/new"));
  std::string expected = before;
  expected.replace(expected.find("downloadsavepath = /old"), 23, "DownloadSavePath=/new");
  EXPECT_EQ(readFile(file), expected);
}

TEST(IniFileTest, WriteKeyAddsKeysAtSectionEndAndNewSectionsAtFileEnd) {
  EXPECT_EQ(setIniKey("[A]\nx=1\n\n[B]\ny=2\n", "a", "z", "3"), "[A]\nx=1\nz=3\n\n[B]\ny=2\n");
  EXPECT_EQ(setIniKey("[A]\nx=1", "B", "y", "2"), "[A]\nx=1\n[B]\ny=2\n");
  EXPECT_EQ(setIniKey("", "C", "k", "v"), "[C]\nk=v\n");
  // Only the first of two equal keys is changed, as only the first is read.
  EXPECT_EQ(setIniKey("[A]\nk=1\nk=2\n", "A", "k", "9"), "[A]\nk=9\nk=2\n");
  // A commented-out key is not a key; a section without keys gets the key
  // right below its header.
  EXPECT_EQ(setIniKey("[A]\n;k=1\n", "A", "k", "9"), "[A]\nk=9\n;k=1\n");
}

TEST(IniFileTest, RefusedWritesReturnFalseAndChangeNothing) {
  TempFolder dir;
  EXPECT_FALSE(IniFile::writeKey(dir.path(), "S", "k", "v"));  // a folder, not a file
  writeFile(dir.path() / "file", "x");
  EXPECT_FALSE(IniFile::writeKey(dir.path() / "file" / "a.ini", "S", "k", "v"));
  const auto file = dir.path() / "a.ini";
  writeFile(file, "[S]\nk=v\n");
  EXPECT_FALSE(IniFile::writeKey(file, "S", "k", "line\n[S]\nk2=injected"));
  EXPECT_EQ(readFile(file), "[S]\nk=v\n");
}
