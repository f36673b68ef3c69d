// The language index language.ext in the exe folder's "language" subfolder:
// the listed languages with their pack files, and the current language.
// Names are raw bytes, compared exactly.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The language named when language.ext names none.
inline constexpr std::string_view kDefaultLanguageName = "简体中文";

struct LanguageEntry {
  std::string name;  // shown in the language choice
  std::string file;  // pack file name inside the language folder; may be empty
};

struct LanguageIndex {
  bool exists = false;         // language.ext was found
  std::string configuredName;  // CONFIGS/language, or the default name
  std::vector<LanguageEntry> entries;
  int selectedIndex = 0;  // last entry named configuredName; 0 when none is

  // The pack file of the entry at `position`; nullopt when there is no such
  // entry or it names no file.
  std::optional<std::filesystem::path> packPathAt(const std::filesystem::path& exeDir,
                                                  int position) const;
};

std::filesystem::path languageFolder(const std::filesystem::path& exeDir);
std::filesystem::path languageIndexPath(const std::filesystem::path& exeDir);

LanguageIndex loadLanguageIndex(const std::filesystem::path& exeDir);
// The index held in the text of a language.ext.
LanguageIndex parseLanguageIndex(std::string_view text);

// Records `name` as the current language in language.ext. Does nothing and
// succeeds when there is no language.ext; false when the write is refused.
bool writeConfiguredLanguage(const std::filesystem::path& exeDir, std::string_view name);

// An installed program cannot write its language.ext, so the choice is kept
// in a file of the user's holding only CONFIGS/language. When that file names
// a language, it replaces the index's configured name and selection.
void applyLanguageChoice(LanguageIndex& index, const std::filesystem::path& choiceFile);

// Records `name` as CONFIGS/language in choiceFile, creating the file when
// missing; false when the write is refused.
bool writeLanguageChoice(const std::filesystem::path& choiceFile, std::string_view name);
