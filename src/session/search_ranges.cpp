#include "session/search_ranges.h"

#include "settings/ini_file.h"
#include "settings/settings_file.h"

std::string readSearchRanges(const std::filesystem::path& settingsDir) {
  return IniFile::load(settingsFilePath(settingsDir))
      .readString(kSettingsSection, kSearchRangesKey, "");
}

CheckedRanges checkSearchRanges(const std::vector<std::string_view>& lists) {
  CheckedRanges checked;
  for (std::string_view list : lists) {
    addressrange::RangeList parsed = addressrange::parseRanges(list);
    for (const addressrange::Range& range : parsed.ranges) {
      if (!checked.accepted.empty()) checked.accepted += ',';
      checked.accepted += range.text;
    }
    for (addressrange::Refused& refused : parsed.refused)
      checked.refused.push_back(std::move(refused));
  }
  return checked;
}
