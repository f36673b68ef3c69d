#include "settings/program_folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/language_index.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

// A prefix as `cmake --install` lays it out, and the user's folders beside.
struct Layout {
  TempFolder root;
  fs::path bin = root.path() / "prefix/bin";
  fs::path share = root.path() / "prefix/share/tovarin";
  UserFolders user{root.path() / "home/.config/Tovarin", root.path() / "home/.local/share/Tovarin"};
  Layout() { fs::create_directories(bin); }
};

}  // namespace

TEST(ProgramFoldersTest, DataBesideAWritableProgramKeepsEverythingThere) {
  Layout l;
  writeFile(languageIndexPath(l.bin), "[LANGUAGELIST]\nlistcount=0\n");
  writeFile(l.share / "language/language.ext", "");  // an installed copy too: not taken
  const ProgramFolders f = findProgramFolders(l.bin, l.share, l.user);
  EXPECT_EQ(f.data, l.bin);
  EXPECT_EQ(f.settings, l.bin);
  EXPECT_EQ(f.defaults, l.bin);
  EXPECT_EQ(f.languageChoice, languageIndexPath(l.bin));
  EXPECT_FALSE(fs::exists(l.user.config));
}

TEST(ProgramFoldersTest, InstalledCopyReadsShareAndWritesTheUsersFolders) {
  Layout l;
  fs::create_directories(l.share / "help");
  const ProgramFolders f = findProgramFolders(l.bin, l.share, l.user);
  EXPECT_EQ(f.data, l.share);
  EXPECT_EQ(f.settings, l.user.config);
  EXPECT_EQ(f.defaults, l.user.data);
  EXPECT_EQ(f.languageChoice, l.user.config / "language.ext");
  // configs.ini is created at start, so its folder must exist already.
  EXPECT_TRUE(fs::is_directory(l.user.config));
  EXPECT_TRUE(fs::is_directory(l.user.data));
}

TEST(ProgramFoldersTest, NoDataAnywhereStillKeepsSettingsInTheUsersFolders) {
  Layout l;
  const ProgramFolders f = findProgramFolders(l.bin, l.share, l.user);
  EXPECT_EQ(f.data, l.bin);  // nothing found: the program starts without languages
  EXPECT_EQ(f.settings, l.user.config);
}

TEST(ProgramFoldersTest, ReadOnlyProgramFolderWithDataSendsOnlySettingsAway) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any folder";
  Layout l;
  fs::create_directories(l.bin / "language");
  ::chmod(l.bin.c_str(), 0555);
  const ProgramFolders f = findProgramFolders(l.bin, l.share, l.user);
  ::chmod(l.bin.c_str(), 0755);
  EXPECT_EQ(f.data, l.bin);
  EXPECT_EQ(f.settings, l.user.config);
  EXPECT_EQ(f.languageChoice, l.user.config / "language.ext");
}

TEST(ProgramFoldersTest, InstalledDataLiesInShareBesideBin) {
  EXPECT_EQ(installedDataFolder("/opt/tovarin/bin"), fs::path("/opt/tovarin/share/tovarin"));
}
