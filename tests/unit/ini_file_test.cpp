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

TEST(IniFileTest, WriteKeyCreatesAMissingFileInAnExistingFolder) {
  TempFolder dir;
  const auto file = dir.path() / "new.ini";
  ASSERT_TRUE(IniFile::writeKey(file, "CONFIGS", "language", "English"));
  EXPECT_EQ(readFile(file), "[CONFIGS]\nlanguage=English\n");
  EXPECT_FALSE(IniFile::writeKey(dir.path() / "no-folder" / "new.ini", "S", "k", "v"));
}

TEST(IniFileTest, EveryValueWrittenReadsBackUnchanged) {
  TempFolder dir;
  const auto file = dir.path() / "a.ini";
  writeFile(file, "; kept\n[CONFIGS]\nother = 1\n");
  const std::vector<std::string> values = {"/folder ",
                                           " /folder",
                                           "\t",
                                           "a=b=c",
                                           ";not a comment",
                                           "#x",
                                           "[CONFIGS]",
                                           "\"quoted\"",
                                           "\"",
                                           "\" \"",
                                           std::string("before\0after", 12),
                                           std::string(5000, 'v'),
                                           "",
                                           "plain"};
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::string key = "key" + std::to_string(i);
    ASSERT_TRUE(IniFile::writeKey(file, "configs", key, values[i])) << i;
    // Written twice: replacing a key must give it back as well.
    ASSERT_TRUE(IniFile::writeKey(file, "configs", key, values[i])) << i;
  }
  const IniFile ini = IniFile::load(file);
  for (std::size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(ini.find("CONFIGS", "key" + std::to_string(i)), values[i]) << i;
  EXPECT_EQ(ini.readString("CONFIGS", "other", "-"), "1");
}

TEST(IniFileTest, MalformedLinesReadAsTheWriterSeesThem) {
  TempFolder dir;
  const auto file = dir.path() / "a.ini";
  // A '[' line without its ']' is no header; a NUL does not end the file.
  const char text[] = "[\n[CONFIGS]\nx=\0y\nspeedlimit=123\n";
  writeFile(file, std::string(text, sizeof text - 1));
  IniFile ini = IniFile::load(file);
  EXPECT_EQ(ini.readString("CONFIGS", "speedlimit", "-"), "123");
  EXPECT_EQ(ini.find("CONFIGS", "x"), std::string("\0y", 2));
  ASSERT_TRUE(IniFile::writeKey(file, "CONFIGS", "patchsavepath", "/p"));
  ini = IniFile::load(file);
  EXPECT_EQ(ini.readString("CONFIGS", "patchsavepath", "-"), "/p");
  EXPECT_EQ(ini.readString("CONFIGS", "speedlimit", "-"), "123");
}

TEST(IniFileTest, WriteThatWouldNotReadBackFailsAndChangesNothing) {
  TempFolder dir;
  const auto file = dir.path() / "a.ini";
  writeFile(file, "[S]\nk=v\n");
  EXPECT_FALSE(IniFile::writeKey(file, "S", "a=b", "v"));
  EXPECT_FALSE(IniFile::writeKey(file, "S", ";k", "v"));
  EXPECT_FALSE(IniFile::writeKey(file, "S]x", "k", "v"));
  EXPECT_EQ(readFile(file), "[S]\nk=v\n");
  // The whole file is replaced: nothing is left beside it.
  ASSERT_TRUE(IniFile::writeKey(file, "S", "k", "w"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}
