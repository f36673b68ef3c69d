// Checks the language index, packs and help texts that ship in data/.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "settings/accessible_names.h"
#include "settings/help_text.h"
#include "settings/ini_file.h"
#include "settings/language_index.h"
#include "settings/language_pack.h"

namespace {

// data/ has the layout of the program's folder.
// (__FILE__ can be relative to the build folder, e.g. under ccache's base_dir,
// so the source folder comes from the build.)
const std::filesystem::path kDataDir = std::filesystem::path(TOVARIN_SOURCE_DIR) / "data";

// Components whose caption, hint or text a pack may set. Edits that hold the
// operator's data, and labels that show the device's or the server's data,
// are left out: applying a pack would overwrite what they show.
const std::set<std::string> kCaptionKeys = {"Tovarin_Page",
                                            "FirmwareUpdate_Page",
                                            "Options_Page",
                                            "MakeUpdatePatch_Page",
                                            "AddItem_Btn",
                                            "FirmwareUpdate_Btn",
                                            "UpdateCancel_Btn",
                                            "FirmwareBacktrack_Btn",
                                            "DeviceReboot_Btn",
                                            "CheckForUpdate_Btn",
                                            "DownloadSavePathBrows_Btn",
                                            "DSLApply_Btn",
                                            "DSLCancel_Btn",
                                            "DSLDefault_Btn",
                                            "CachPathBrows_Btn",
                                            "PatchSavePathBrows_Btn",
                                            "LanguageChange_Btn",
                                            "MakeUpdatePatch_Btn",
                                            "RuleFile_Btn",
                                            "MUPGetmd5_Btn",
                                            "Login_SBtn",
                                            "DevSearch_Btn",
                                            "TutorShow_Btn",
                                            "TargetHarward_Label",
                                            "FirmwareWpdateTip_Label",
                                            "TargetVersion_Label",
                                            "FUwarningLabel_Label",
                                            "DownloadSavePath_Label",
                                            "DownloadSpeedLimit_Label",
                                            "DSLKBperSec_Label",
                                            "MD5Need_Label",
                                            "CachPath_Label",
                                            "PatchSavePath_Label",
                                            "LanguageConfig_Label",
                                            "IPAddress_Label",
                                            "UserName_Label",
                                            "Password_Label",
                                            "DeviceID_Label",
                                            "LoginHint_Label",
                                            "Tips_Label",
                                            "DevList_Label",
                                            "ListPanel_Panel",
                                            "OptionPanel1_Panel",
                                            "OptionPanel2_Panel",
                                            "OptionPanel3_Panel",
                                            "OptionPanel4_Panel",
                                            "Files2Patch_Panel",
                                            "MUPcontrols_Panel",
                                            "Login_Panel",
                                            "DevListPanel_Panel",
                                            "DevListBtnPanel_Panel"};
const std::set<std::string> kHintOrTextKeys = {"AddItem_Btn",
                                               "FirmwareUpdate_Btn",
                                               "UpdateCancel_Btn",
                                               "FirmwareBacktrack_Btn",
                                               "DeviceReboot_Btn",
                                               "CheckForUpdate_Btn",
                                               "DownloadSavePathBrows_Btn",
                                               "DSLApply_Btn",
                                               "DSLCancel_Btn",
                                               "DSLDefault_Btn",
                                               "CachPathBrows_Btn",
                                               "PatchSavePathBrows_Btn",
                                               "LanguageChange_Btn",
                                               "MakeUpdatePatch_Btn",
                                               "RuleFile_Btn",
                                               "MUPGetmd5_Btn",
                                               "Login_SBtn",
                                               "DevSearch_Btn",
                                               "TutorShow_Btn",
                                               "OptionPanel1_Panel",
                                               "OptionPanel2_Panel",
                                               "OptionPanel3_Panel",
                                               "OptionPanel4_Panel",
                                               "Files2Patch_Panel",
                                               "MUPcontrols_Panel",
                                               "Login_Panel",
                                               "DevListPanel_Panel",
                                               "DevListBtnPanel_Panel",
                                               "DeviceID_Edit",
                                               "OldPatchVersionLabel_Edit",
                                               "NewPatchVersionLabel_Edit"};

// Columns a line takes in the memo: wide (CJK) characters count twice.
int columnsOf(const std::string& line) {
  int columns = 0;
  for (unsigned char c : line) {
    if (c < 0x80)
      columns += 1;
    else if (c >= 0xE0)
      columns += 2;
  }
  return columns;
}

}  // namespace

TEST(DataFilesTest, IndexListsBothLanguagesAndDefaultsToChinese) {
  const LanguageIndex index = loadLanguageIndex(kDataDir);
  ASSERT_TRUE(index.exists);
  ASSERT_EQ(index.entries.size(), 2u);
  EXPECT_EQ(index.entries[0].name, "English");
  EXPECT_EQ(index.entries[0].file, "English.lng");
  EXPECT_EQ(index.entries[1].name, kDefaultLanguageName);
  EXPECT_EQ(index.entries[1].file, "Chinese.lng");
  EXPECT_EQ(index.selectedIndex, 1);
}

TEST(DataFilesTest, PacksAreCompleteValidAndAlike) {
  MessageLists defaults;
  defaults.fill();
  std::vector<std::set<std::string>> keySets;
  for (const char* file : {"English.lng", "Chinese.lng"}) {
    SCOPED_TRACE(file);
    const auto path = languageFolder(kDataDir) / file;
    const auto pack = LanguagePack::load(path);
    ASSERT_TRUE(pack.has_value());
    const IniFile ini = IniFile::load(path);
    std::set<std::string> keys;

    for (MsgList list : MessageLists::packOrder()) {
      for (int i = 0; i < defaults.countOf(list); ++i) {
        const auto raw = ini.find("StringList", MessageLists::nameOf(list) + std::to_string(i));
        ASSERT_TRUE(raw.has_value()) << MessageLists::nameOf(list) << i;
        EXPECT_EQ(packTextToLocal(*raw), *raw) << "not UTF-8";
        if (std::string(file) == "English.lng") {
          EXPECT_EQ(*raw, defaults.textOf(list, i));
        }
      }
    }
    int listKeys = 0;
    for (MsgList list : MessageLists::packOrder()) listKeys += defaults.countOf(list);
    EXPECT_EQ(static_cast<int>(ini.keysOf("StringList").size()), listKeys) << "keys beyond lists";

    for (const auto& key : ini.keysOf("Caption")) {
      EXPECT_TRUE(kCaptionKeys.count(key)) << key;
      EXPECT_TRUE(pack->caption(key).has_value()) << key;
      keys.insert("Caption/" + key);
    }
    for (const auto& key : ini.keysOf("HintsandText")) {
      EXPECT_TRUE(kHintOrTextKeys.count(key)) << key;
      EXPECT_TRUE(pack->hintOrText(key).has_value()) << key;
      keys.insert("HintsandText/" + key);
    }
    for (const auto& key : ini.keysOf("Hints")) {
      EXPECT_TRUE(pack->hint(key).has_value()) << key;
      keys.insert("Hints/" + key);
    }
    for (const auto& [key, value] : pack->texts()) keys.insert("Texts/" + key);
    // Every control named for screen readers is named in each pack.
    for (const std::string& name : namedForScreenReaders()) {
      EXPECT_TRUE(pack->accessibleName(name).has_value()) << name;
      keys.insert("Names/" + name);
    }
    EXPECT_EQ(ini.keysOf("Names").size(), namedForScreenReaders().size()) << "names beyond";
    EXPECT_EQ(pack->texts().size(), ini.keysOf("Texts").size()) << "empty or not UTF-8";
    EXPECT_TRUE(pack->qtLocale().has_value());
    keySets.push_back(keys);
  }
  EXPECT_EQ(keySets[0], keySets[1]);
}

TEST(DataFilesTest, HelpTextsExistForEveryPackAndFitTheMemo) {
  const LanguageIndex index = loadLanguageIndex(kDataDir);
  for (const char* help : {"manually.help", "auto.help"}) {
    for (const auto& entry : index.entries) {
      SCOPED_TRACE(std::string(help) + " " + entry.file);
      const auto text = loadHelpText(helpFilePath(kDataDir, help), entry.file);
      ASSERT_TRUE(text.has_value());
      EXPECT_GT(text->size(), 50u);
      EXPECT_EQ(packTextToLocal(*text), *text);
      std::istringstream lines(*text);
      int count = 0;
      for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_LE(columnsOf(line), 34) << line;
      }
      EXPECT_LE(count, 15);
    }
  }
}
