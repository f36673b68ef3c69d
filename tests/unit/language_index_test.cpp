#include "settings/language_index.h"

#include <gtest/gtest.h>

#include "settings/ini_file.h"
#include "temp_folder.h"

namespace {

void writeIndex(const TempFolder& exe, const std::string& text) {
  writeFile(languageIndexPath(exe.path()), text);
}

std::vector<std::string> namesOf(const LanguageIndex& index) {
  std::vector<std::string> names;
  for (const auto& e : index.entries) names.push_back(e.name);
  return names;
}

}  // namespace

TEST(LanguageIndexTest, NoIndexFileListsNothing) {
  TempFolder exe;
  const LanguageIndex index = loadLanguageIndex(exe.path());
  EXPECT_FALSE(index.exists);
  EXPECT_TRUE(index.entries.empty());
  EXPECT_EQ(index.packPathAt(exe.path(), 0), std::nullopt);
  EXPECT_TRUE(writeConfiguredLanguage(exe.path(), "English"));
  EXPECT_FALSE(std::filesystem::exists(languageIndexPath(exe.path())));
}

TEST(LanguageIndexTest, DefaultNameSelectsTheChineseEntry) {
  TempFolder exe;
  writeIndex(exe,
             "[LANGUAGELIST]\nlistcount=2\nindex0=English\nfile0=English.lng\n"
             "index1=简体中文\nfile1=Chinese.lng\n");
  const LanguageIndex index = loadLanguageIndex(exe.path());
  EXPECT_TRUE(index.exists);
  EXPECT_EQ(index.configuredName, "简体中文");
  EXPECT_EQ(index.selectedIndex, 1);
  EXPECT_EQ(index.packPathAt(exe.path(), 1), exe.path() / "language" / "Chinese.lng");
}

TEST(LanguageIndexTest, MissingIndexEntryIsSkipped) {
  TempFolder exe;
  writeIndex(exe,
             "[CONFIGS]\nlanguage=Deutsch\n[LANGUAGELIST]\nlistcount=3\n"
             "index0=English\nfile0=e.lng\nfile1=x.lng\nindex2=Deutsch\nfile2=d.lng\n"
             "index3=Beyond\nfile3=b.lng\n");
  const LanguageIndex index = loadLanguageIndex(exe.path());
  EXPECT_EQ(namesOf(index), (std::vector<std::string>{"English", "Deutsch"}));
  EXPECT_EQ(index.entries[1].file, "d.lng");
  EXPECT_EQ(index.selectedIndex, 1);
}

TEST(LanguageIndexTest, UnmatchedNameSelectsFirstAndKeepsTheFile) {
  TempFolder exe;
  const std::string text =
      "[CONFIGS]\nlanguage=Klingon\n[LANGUAGELIST]\nlistcount=2\nindex0=English\nfile0=e.lng\n"
      "index1=简体中文\nfile1=c.lng\n";
  writeIndex(exe, text);
  const LanguageIndex index = loadLanguageIndex(exe.path());
  EXPECT_EQ(index.configuredName, "Klingon");
  EXPECT_EQ(index.selectedIndex, 0);
  EXPECT_EQ(readFile(languageIndexPath(exe.path())), text);
}

TEST(LanguageIndexTest, LastExactMatchWinsAndEmptyFileIsKept) {
  TempFolder exe;
  writeIndex(exe,
             "[CONFIGS]\nlanguage=English\n[LANGUAGELIST]\nlistcount=3\n"
             "index0=English\nfile0=a.lng\nindex1=english\nfile1=b.lng\n"
             "index2=English\n");
  const LanguageIndex index = loadLanguageIndex(exe.path());
  EXPECT_EQ(index.entries.size(), 3u);
  EXPECT_EQ(index.selectedIndex, 2);
  EXPECT_EQ(index.entries[2].file, "");
  EXPECT_EQ(index.packPathAt(exe.path(), 2), std::nullopt);
}

TEST(LanguageIndexTest, BadOrHugeCountsAreHarmless) {
  TempFolder exe;
  writeIndex(exe, "[LANGUAGELIST]\nlistcount=two\nindex0=English\n");
  EXPECT_TRUE(loadLanguageIndex(exe.path()).entries.empty());
  writeIndex(exe, "[LANGUAGELIST]\nlistcount=-1\nindex0=English\n");
  EXPECT_TRUE(loadLanguageIndex(exe.path()).entries.empty());
  writeIndex(exe, "[LANGUAGELIST]\nlistcount=2147483647\nindex0=A\nindex07=B\nindex70000=C\n");
  EXPECT_EQ(namesOf(loadLanguageIndex(exe.path())), (std::vector<std::string>{"A", "C"}));
}

TEST(LanguageIndexTest, WriteConfiguredLanguageKeepsTheList) {
  TempFolder exe;
  writeIndex(exe, "[CONFIGS]\nlanguage=简体中文\n\n[LANGUAGELIST]\nlistcount=1\nindex0=English\n");
  ASSERT_TRUE(writeConfiguredLanguage(exe.path(), "English"));
  EXPECT_EQ(readFile(languageIndexPath(exe.path())),
            "[CONFIGS]\nlanguage=English\n\n[LANGUAGELIST]\nlistcount=1\nindex0=English\n");
}

// An installed program keeps the choice in the user's own file; the shipped
// index stays as it was installed.
TEST(LanguageIndexTest, UsersChoiceFileOverridesTheInstalledIndex) {
  TempFolder data, user;
  const std::string indexText =
      "[LANGUAGELIST]\nlistcount=3\nindex0=English\nfile0=English.lng\n"
      "index1=简体中文\nfile1=Chinese.lng\nindex2=English\nfile2=English2.lng\n";
  writeIndex(data, indexText);
  const auto choice = user.path() / "language.ext";

  LanguageIndex index = loadLanguageIndex(data.path());
  applyLanguageChoice(index, choice);  // no choice yet: the index's default holds
  EXPECT_EQ(index.configuredName, "简体中文");
  EXPECT_EQ(index.selectedIndex, 1);

  ASSERT_TRUE(writeLanguageChoice(choice, "English"));
  index = loadLanguageIndex(data.path());
  applyLanguageChoice(index, choice);
  EXPECT_EQ(index.configuredName, "English");
  EXPECT_EQ(index.selectedIndex, 2);  // the last entry of that name, as in the index
  EXPECT_EQ(readFile(choice), "[CONFIGS]\nlanguage=English\n");
  EXPECT_EQ(readFile(languageIndexPath(data.path())), indexText);

  ASSERT_TRUE(writeLanguageChoice(choice, "Klingon"));
  index = loadLanguageIndex(data.path());
  applyLanguageChoice(index, choice);
  EXPECT_EQ(index.configuredName, "Klingon");
  EXPECT_EQ(index.selectedIndex, 0);
}

TEST(LanguageIndexTest, EmptyChoiceOrNoIndexLeavesTheIndexAlone) {
  TempFolder data, user;
  const auto choice = user.path() / "language.ext";
  writeFile(choice, "[CONFIGS]\nlanguage=\n");
  LanguageIndex none = loadLanguageIndex(data.path());
  applyLanguageChoice(none, choice);
  EXPECT_FALSE(none.exists);
  EXPECT_TRUE(none.entries.empty());

  writeIndex(data, "[CONFIGS]\nlanguage=English\n[LANGUAGELIST]\nlistcount=1\nindex0=English\n");
  LanguageIndex index = loadLanguageIndex(data.path());
  applyLanguageChoice(index, choice);
  EXPECT_EQ(index.configuredName, "English");
  EXPECT_FALSE(writeLanguageChoice(user.path() / "no-such-folder" / "language.ext", "English"));
}
