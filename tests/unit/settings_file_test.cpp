#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include "settings/ini_file.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

TEST(SettingsFileTest, FirstStartCreatesFileFoldersAndThreeKeys) {
  TempFolder exe;
  const StartupSettings s = readStartupSettings(exe.path());

  EXPECT_EQ(s.downloadFolder, (exe.path() / "download").string());
  EXPECT_EQ(s.cacheFolder, (exe.path() / "cach").string());
  EXPECT_EQ(s.patchFolder, (exe.path() / "patch").string());
  for (const char* name : {"download", "cach", "patch"}) {
    EXPECT_TRUE(fs::is_directory(exe.path() / name)) << name;
  }
  EXPECT_EQ(s.speedLimit, 500);
  EXPECT_EQ(s.speedLimitField, 500);
  EXPECT_TRUE(s.writeErrors.empty());
  EXPECT_EQ(readFile(settingsFilePath(exe.path())),
            "[CONFIGS]\ndownloadsavepath=" + s.downloadFolder + "\ncachpath=" + s.cacheFolder +
                "\npatchsavepath=" + s.patchFolder + "\n");
}

TEST(SettingsFileTest, ExistingDefaultFoldersLeaveTheNewFileEmpty) {
  TempFolder exe;
  for (const char* name : {"download", "cach", "patch"}) fs::create_directory(exe.path() / name);
  readStartupSettings(exe.path());
  EXPECT_TRUE(fs::exists(settingsFilePath(exe.path())));
  EXPECT_EQ(readFile(settingsFilePath(exe.path())), "");
}

TEST(SettingsFileTest, StoredFoldersThatExistAreUsedAndNotRewritten) {
  TempFolder exe, elsewhere;
  const std::string text = "; mine\n[CONFIGS]\ndownloadsavepath=" + elsewhere.path().string() +
                           "\ncachpath=" + elsewhere.path().string() +
                           "\npatchsavepath=" + elsewhere.path().string() + "\n";
  writeFile(settingsFilePath(exe.path()), text);
  const StartupSettings s = readStartupSettings(exe.path());
  EXPECT_EQ(s.downloadFolder, elsewhere.path().string());
  EXPECT_EQ(s.patchFolder, elsewhere.path().string());
  EXPECT_FALSE(fs::exists(exe.path() / "download"));
  EXPECT_EQ(readFile(settingsFilePath(exe.path())), text);
}

TEST(SettingsFileTest, VanishedFolderIsReplacedByTheCreatedDefault) {
  TempFolder exe;
  fs::create_directory(exe.path() / "cach");
  fs::create_directory(exe.path() / "patch");
  writeFile(settingsFilePath(exe.path()),
            "[CONFIGS]\ndownloadsavepath=" + (exe.path() / "gone").string() + "\nspeedlimit=42\n");
  const StartupSettings s = readStartupSettings(exe.path());
  EXPECT_EQ(s.downloadFolder, (exe.path() / "download").string());
  EXPECT_TRUE(fs::is_directory(exe.path() / "download"));
  EXPECT_FALSE(fs::exists(exe.path() / "gone"));
  EXPECT_EQ(s.speedLimit, 42);
  EXPECT_EQ(readFile(settingsFilePath(exe.path())),
            "[CONFIGS]\ndownloadsavepath=" + s.downloadFolder + "\nspeedlimit=42\n");
}

TEST(SettingsFileTest, SpeedLimitValues) {
  struct Case {
    const char* stored;
    int speedLimit;
    int field;
  };
  const Case cases[] = {{"20000", 20000, 9999}, {"abc", 500, 500},   {"0x1F4", 500, 500},
                        {"$1F4", 500, 500},     {"-7", -7, 0},       {"0", 0, 0},
                        {"12abc", 500, 500},    {"", 500, 500},      {"99999999999", 500, 500},
                        {"0x", 500, 500},       {"9999", 9999, 9999}};
  for (const Case& c : cases) {
    TempFolder exe;
    writeFile(settingsFilePath(exe.path()),
              std::string("[CONFIGS]\nspeedlimit=") + c.stored + "\n");
    const StartupSettings s = readStartupSettings(exe.path());
    EXPECT_EQ(s.speedLimit, c.speedLimit) << c.stored;
    EXPECT_EQ(s.speedLimitField, c.field) << c.stored;
  }
}

TEST(SettingsFileTest, ParseWholeNumberEdges) {
  EXPECT_EQ(parseWholeNumber("-$10"), -16);
  EXPECT_EQ(parseWholeNumber("0XfF"), 255);
  EXPECT_EQ(parseWholeNumber("2147483647"), 2147483647);
  EXPECT_EQ(parseWholeNumber("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(parseWholeNumber("2147483648"), std::nullopt);
  EXPECT_EQ(parseWholeNumber("--5"), std::nullopt);
  EXPECT_EQ(parseWholeNumber("$-5"), std::nullopt);
  EXPECT_EQ(parseWholeNumber("5 "), std::nullopt);
  // Magnitudes whose negation does not fit 64 bits.
  EXPECT_EQ(parseWholeNumber("-9223372036854775808"), std::nullopt);
  EXPECT_EQ(parseWholeNumber("-18446744073709551615"), std::nullopt);
  EXPECT_EQ(parseWholeNumber("-$8000000000000000"), std::nullopt);
}

TEST(SettingsFileTest, FolderWhoseNameEndsInASpaceSurvivesTheNextStart) {
  TempFolder exe, base;
  const fs::path chosen = base.path() / " both ends ";
  fs::create_directory(chosen);
  readStartupSettings(exe.path());
  ASSERT_TRUE(writeFolderKey(exe.path(), kPatchFolderKey, chosen.string()));
  EXPECT_EQ(readStartupSettings(exe.path()).patchFolder, chosen.string());
}

TEST(SettingsFileTest, SettingsFileThatCannotBeWrittenStillGivesValues) {
  TempFolder exe;
  fs::create_directory(settingsFilePath(exe.path()));  // configs.ini is a folder
  const StartupSettings s = readStartupSettings(exe.path());
  const std::string path = settingsFilePath(exe.path()).string();
  // Three refused writes, one report.
  EXPECT_EQ(s.writeErrors, (std::vector<std::string>{path}));
  EXPECT_EQ(s.patchFolder, (exe.path() / "patch").string());
  EXPECT_TRUE(fs::is_directory(exe.path() / "patch"));
  EXPECT_EQ(s.speedLimit, 500);
  EXPECT_FALSE(writeSpeedLimit(exe.path(), 300));
  EXPECT_EQ(unableToWriteText(path), "Unable to write to " + path);
}

TEST(SettingsFileTest, ExeFolderUnderAFileGivesDefaultsAndErrors) {
  TempFolder root;
  writeFile(root.path() / "plain", "x");
  const fs::path exe = root.path() / "plain" / "exe";
  const StartupSettings s = readStartupSettings(exe);
  EXPECT_EQ(s.downloadFolder, (exe / "download").string());
  EXPECT_EQ(s.writeErrors.size(), 1u);
  EXPECT_EQ(s.speedLimitField, 500);
}

TEST(SettingsFileTest, LaterWritesChangeOneKeyEach) {
  TempFolder exe, chosen;
  readStartupSettings(exe.path());
  ASSERT_TRUE(writeSpeedLimit(exe.path(), 750));
  ASSERT_TRUE(writeFolderKey(exe.path(), kCacheFolderKey, chosen.path().string()));
  const IniFile ini = IniFile::load(settingsFilePath(exe.path()));
  EXPECT_EQ(ini.readString("CONFIGS", "cachpath", ""), chosen.path().string());
  EXPECT_EQ(ini.readString("CONFIGS", "speedlimit", ""), "750");
  EXPECT_EQ(ini.keysOf("CONFIGS"), (std::vector<std::string>{"downloadsavepath", "cachpath",
                                                             "patchsavepath", "speedlimit"}));
  const StartupSettings again = readStartupSettings(exe.path());
  EXPECT_EQ(again.cacheFolder, chosen.path().string());
  EXPECT_EQ(again.speedLimit, 750);
}

// An installed program: configs.ini in the user's configuration folder, the
// default folders in the user's data folder; nothing beside the program.
TEST(SettingsFileTest, SettingsAndDefaultFoldersCanLiveApart) {
  TempFolder config, data;
  const StartupSettings s = readStartupSettings(config.path(), data.path());
  EXPECT_EQ(s.downloadFolder, (data.path() / "download").string());
  EXPECT_EQ(s.patchFolder, (data.path() / "patch").string());
  EXPECT_TRUE(fs::is_directory(data.path() / "cach"));
  EXPECT_FALSE(fs::exists(config.path() / "download"));
  EXPECT_FALSE(fs::exists(data.path() / "configs.ini"));
  EXPECT_EQ(readFile(settingsFilePath(config.path())),
            "[CONFIGS]\ndownloadsavepath=" + s.downloadFolder + "\ncachpath=" + s.cacheFolder +
                "\npatchsavepath=" + s.patchFolder + "\n");
}
