#include "settings/language_pack.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace {

LanguagePack packFrom(const TempFolder& dir, const std::string& name, const std::string& text) {
  writeFile(dir.path() / name, text);
  auto pack = LanguagePack::load(dir.path() / name);
  EXPECT_TRUE(pack.has_value());
  return std::move(*pack);
}

}  // namespace

TEST(LanguagePackTest, MissingPackFileLoadsNothing) {
  TempFolder dir;
  EXPECT_FALSE(LanguagePack::load(dir.path() / "none.lng").has_value());
}

TEST(LanguagePackTest, OverridesPresentNonEmptyEntriesOnly) {
  TempFolder dir;
  MessageLists lists;
  lists.fill();
  const auto pack = packFrom(dir, "p.lng",
                             "[StringList]\nFWTipLabel_strlist1=准备就绪\nFWTipLabel_strlist2=\n"
                             "FWTipLabel_strlist22=beyond\nfwhints_strlist12=Say \"hi\" now\n");
  applyStringList(pack, lists);
  EXPECT_EQ(lists.textOf(MsgList::FWTipLabel, 1), "准备就绪");
  EXPECT_EQ(lists.textOf(MsgList::FWTipLabel, 2), "Patch not Match, Please Check!");
  EXPECT_EQ(lists.countOf(MsgList::FWTipLabel), 22);
  EXPECT_EQ(lists.textOf(MsgList::FWHints, 12), "Say \"hi\" now");
}

TEST(LanguagePackTest, InvalidUtf8BecomesEmptyTextAndIsApplied) {
  EXPECT_EQ(packTextToLocal("plain"), "plain");
  EXPECT_EQ(packTextToLocal("\xE7\xAE\x80"), "\xE7\xAE\x80");
  EXPECT_EQ(packTextToLocal("bad \xFF byte"), "");
  EXPECT_EQ(packTextToLocal("\xC0\xAF"), "");      // overlong '/'
  EXPECT_EQ(packTextToLocal("\xED\xA0\x80"), "");  // surrogate
  EXPECT_EQ(packTextToLocal("cut \xE7\xAE"), "");  // truncated character

  TempFolder dir;
  MessageLists lists;
  lists.fill();
  applyStringList(packFrom(dir, "p.lng", "[StringList]\nLoginButton_strlist0=\xC3\x28\n"), lists);
  EXPECT_EQ(lists.textOf(MsgList::LoginButton, 0), "");
  const auto pack = packFrom(dir, "q.lng", "[Caption]\nDevList_Label=\xFF\n");
  EXPECT_EQ(pack.caption("DevList_Label"), "");
}

TEST(LanguagePackTest, HooksRunBetweenTheListPasses) {
  TempFolder dir;
  MessageLists lists;
  lists.fill();
  const auto pack = packFrom(dir, "p.lng",
                             "[StringList]\nLoginButton_strlist0=登录\nFWTipLabel_strlist0=点击\n"
                             "FWHints_strlist0=later\n");
  std::vector<std::string> seen;
  StringListHooks hooks;
  hooks.afterLoginButton = [&] {
    seen.push_back(lists.textOf(MsgList::LoginButton, 0) + "|" +
                   lists.textOf(MsgList::FWTipLabel, 0));
  };
  hooks.afterFWTipLabel = [&] {
    seen.push_back(lists.textOf(MsgList::FWTipLabel, 0) + "|" + lists.textOf(MsgList::FWHints, 0));
  };
  applyStringList(pack, lists, hooks);
  EXPECT_EQ(seen,
            (std::vector<std::string>{"登录|You Need Put A Patch File into the Rect!Click it!",
                                      "点击|Do you want to cancel this update?"}));
}

TEST(LanguagePackTest, CaptionAndHintLookups) {
  TempFolder dir;
  const auto pack = packFrom(dir, "p.lng",
                             "[Caption]\nDevList_Label=设备列表\nLogin_SBtn=\n"
                             "[HintsandText]\nDevListPanel_Panel=双击\n");
  EXPECT_EQ(pack.caption("DevList_Label"), "设备列表");
  EXPECT_EQ(pack.caption("Login_SBtn"), std::nullopt);
  EXPECT_EQ(pack.caption("DevListPanel_Panel"), std::nullopt);
  EXPECT_EQ(pack.hintOrText("DevListPanel_Panel"), "双击");
  EXPECT_EQ(pack.hintOrText("DevList_Label"), std::nullopt);
}

TEST(LanguagePackTest, SwitchingPacksKeepsTextsTheSecondLacks) {
  TempFolder dir;
  MessageLists lists;
  lists.fill();
  applyStringList(
      packFrom(dir, "a.lng", "[StringList]\nDevSearch_strlist0=搜索\nDevSearch_strlist1=搜索中\n"),
      lists);
  applyStringList(packFrom(dir, "b.lng", "[StringList]\nDevSearch_strlist1=Suche...\n"), lists);
  EXPECT_EQ(lists.textOf(MsgList::DevSearch, 0), "搜索");
  EXPECT_EQ(lists.textOf(MsgList::DevSearch, 1), "Suche...");
}
