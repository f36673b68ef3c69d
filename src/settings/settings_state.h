// What the Options page and the language packs leave behind them: the speed
// limit applied and the language chosen, with the active pack's texts. A
// member of AppState.
#pragma once

#include <QString>
#include <map>
#include <string>
#include <vector>

struct SettingsState {
  // Download speed limit last applied, in KB/s.
  int speedLimit = 500;
  // The language packs found, in the language box's order.
  std::vector<std::string> languageFiles;
  // The language box's entry in use, and the language configs.ini names.
  int selectedLanguage = 0;
  std::string configuredLanguage;
  // The active pack's "Texts" section, as shown.
  std::map<std::string, QString> packTexts;
  // The tutorial's pictures in the active pack's language ("" the first
  // set, drawn with Chinese notes).
  QString tutorialPictureSet;
};
