#include "settings/help_text.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

TEST(HelpTextTest, CrLfSectionStartsWithEmptyLineAndEndsWithCarriageReturn) {
  const std::string file =
      "[a.lng]\r\nA text\r\n[a.lng.end]\r\n[English.lng]\r\nHello\r\n"
      "[English.lng.end]\r\n";
  EXPECT_EQ(helpSectionText(file, "English.lng"), "\r\nHello\r");
  EXPECT_EQ(helpSectionText(file, "a.lng"), "\r\nA text\r");
}

TEST(HelpTextTest, MissingOrMisplacedMarkersGiveEmptyText) {
  EXPECT_EQ(helpSectionText("[x.lng]\ntext\n", "x.lng"), "");
  EXPECT_EQ(helpSectionText("text\n[x.lng.end]\n", "x.lng"), "");
  EXPECT_EQ(helpSectionText("[x.lng.end]\n[x.lng]\ntext\n", "x.lng"), "");
  EXPECT_EQ(helpSectionText("[X.LNG]\ntext\n[X.LNG.end]", "x.lng"), "");
  EXPECT_EQ(helpSectionText("[x.lng][x.lng.end]", "x.lng"), "");
}

TEST(HelpTextTest, FirstMarkersCountAndOneWholeCharacterIsDropped) {
  EXPECT_EQ(helpSectionText("[x]\none\n[x.end]\n[x]\ntwo\n[x.end]", "x"), "\none");
  // The character before the end marker may be a multi-byte one.
  EXPECT_EQ(helpSectionText("[x]说明[x.end]", "x"), "说");
  EXPECT_EQ(helpSectionText("[x]ab\x80[x.end]", "x"), "ab");
}

TEST(HelpTextTest, LoadsFromFileOrLeavesTheMemoAlone) {
  TempFolder exe;
  EXPECT_EQ(loadHelpText(helpFilePath(exe.path(), "auto.help"), "x.lng"), std::nullopt);
  writeFile(helpFilePath(exe.path(), "auto.help"), "[x.lng]\nline\n[x.lng.end]\n");
  EXPECT_EQ(loadHelpText(helpFilePath(exe.path(), "auto.help"), "x.lng"), "\nline");
  EXPECT_EQ(loadHelpText(helpFilePath(exe.path(), "auto.help"), "y.lng"), "");
}
