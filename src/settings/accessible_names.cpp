#include "settings/accessible_names.h"

#include <map>

#include "settings/language_pack.h"

namespace {

const std::map<std::string, std::string>& englishNames() {
  static const std::map<std::string, std::string> names = {
      // The window and its console.
      {"Pages_PageControl", "Pages"},
      {"Command_Edit", "Console"},
      {"CommandHistory_Memo", "Console history"},
      // Login panel.
      {"Login_Panel", "Login panel"},
      {"PanelSpreader_Btn", "Fold the login panel"},
      {"DevListPanel_Panel", "Devices"},
      {"DevList_TreeView", "Device list"},
      {"DevListBtnPanel_Panel", "Device search"},
      {"DeviceID_Edit", "Device ID"},
      {"IPAddress_Edit", "IP address"},
      {"UserName_Edit", "User name"},
      {"Password_Edit", "Password"},
      // File page.
      {"ListPanel_Panel", "Device files"},
      {"Path_SEdit", "Path"},
      {"Backdir_Btn", "Up"},
      {"FileList_LV", "File list"},
      {"VerScrollBar_SB", "Scroll the file list"},
      {"DownloadProgress_Panel", "Downloads"},
      // Firmware page.
      {"Patch2Send_LV", "Patch file"},
      {"UpdateProgress_Gauge", "Update progress"},
      {"PatchDownloadProcess_Gauge", "Patch download progress"},
      {"ManuallyUpdateHelp_Memo", "Manual update help"},
      {"AutoUpdateHelp_Memo", "Automatic update help"},
      {"PatchMessage_Memo", "Update history"},
      {"PatchMessage_Scroll", "Scroll the update history"},
      {"URLTestEdit_Edit", "Web address"},
      // Options page.
      {"OptionScrollPanel_Panel", "Options"},
      {"OptionPanel1_Panel", "Download folder and speed"},
      {"OptionPanel2_Panel", "Cache folder"},
      {"OptionPanel3_Panel", "Patch folder"},
      {"OptionPanel4_Panel", "Language"},
      {"DownloadSavePath_Edit", "Download folder"},
      {"DownloadSpeedLimit_Edit", "Download speed limit in KB/s"},
      {"MD5Need_CheckBox", "Check MD5 after download"},
      {"CachPath_Edit", "Cache folder"},
      {"PatchSavePath_Edit", "Patch folder"},
      {"LanguageBox_ComboBox", "Language"},
      // Patch maker page.
      {"Files2Patch_LV", "Files to patch"},
      {"UpdateRuleFile_LV", "Rule file"},
      {"MakeUpdatePatch_BtnPanel", "Patch maker buttons"},
      {"PatchHWName_Edit", "Hardware name of the patch"},
      {"PatchVersion_Edit", "New version"},
      {"PatchVersionEditBG_Edit", "New version"},
      {"PatchVersionEdit1_Edit", "New version, part 1"},
      {"PatchVersionEdit2_Edit", "New version, part 2"},
      {"PatchVersionEdit3_Edit", "New version, part 3"},
      {"PatchVersionEdit4_Edit", "New version, part 4"},
      {"NewPatchVersionLabel_Edit", "New version"},
      {"OldVersion_Edit", "Old version"},
      {"PatchVersionEditBG2_Edit", "Old version"},
      {"OldVersionEdit1_Edit", "Old version, part 1"},
      {"OldVersionEdit2_Edit", "Old version, part 2"},
      {"OldVersionEdit3_Edit", "Old version, part 3"},
      {"OldVersionEdit4_Edit", "Old version, part 4"},
      {"OldPatchVersionLabel_Edit", "Old version"},
      {"MakeUpdatePatchProgress_Gauge", "Patch progress"},
      {"MUPcontrols_Panel", "Made patch"},
      {"MUPresult_Listview", "Made patch file"},
      {"MUPmd5out_Edit", "MD5 of the made patch"},
      {"MUPresultNote_Memo", "Where the patch was written"},
      {"Files2Patch_Panel", "Files to patch"},
      // Each running download's gauge, numbered after this name.
      {"MissionProgress_Gauge", "Download progress"},
  };
  return names;
}

}  // namespace

const std::vector<std::string>& namedForScreenReaders() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> out;
    for (const auto& [key, name] : englishNames()) out.push_back(key);
    return out;
  }();
  return keys;
}

std::string accessibleNameOf(const std::string& component, const LanguagePack* pack) {
  const auto found = englishNames().find(component);
  if (found == englishNames().end()) return {};
  if (pack)
    if (auto name = pack->accessibleName(component)) return *name;
  return found->second;
}
