// configs.ini as the program reads it, and a key written back into it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto [value, text] = fuzzinput::firstLineAndRest(fuzzinput::asText(data, size));
  IniFile ini = IniFile::fromText(text);
  for (std::string_view key :
       {kDownloadFolderKey, kCacheFolderKey, kPatchFolderKey, kSpeedLimitKey})
    ini.readString(kSettingsSection, key, "");
  int limit = ini.readInt(kSettingsSection, kSpeedLimitKey, kDefaultSpeedLimit);
  int field = speedLimitFieldValue(limit);
  if (field < 0 || field > kSpeedLimitFieldMax) std::abort();
  parseWholeNumber(value);
  ini.keysOf(kSettingsSection);

  // The writer keeps every other line; the written key reads back unless the
  // writer would have refused the value.
  std::string updated = setIniKey(text, kSettingsSection, kDownloadFolderKey, value);
  IniFile::fromText(updated).find(kSettingsSection, kDownloadFolderKey);
  return 0;
}
