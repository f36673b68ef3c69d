#include "language_index.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "ini_file.h"

namespace {

constexpr std::string_view kConfigSection = "CONFIGS";
constexpr std::string_view kLanguageKey = "language";
constexpr std::string_view kListSection = "LANGUAGELIST";

// The i of an "index<i>" key, written in decimal without leading zeros.
std::optional<int> indexNumberOf(std::string_view key) {
  constexpr std::string_view prefix = "index";
  if (key.size() <= prefix.size()) return std::nullopt;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const char c = key[i];
    if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != prefix[i]) return std::nullopt;
  }
  const std::string_view digits = key.substr(prefix.size());
  if (digits.size() > 1 && digits.front() == '0') return std::nullopt;
  int number = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (ec != std::errc() || end != digits.data() + digits.size() || number < 0) return std::nullopt;
  return number;
}

// The position of the last entry called `name`; 0 when none is.
int lastEntryNamed(const std::vector<LanguageEntry>& entries, const std::string& name) {
  int selected = 0;
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].name == name) selected = static_cast<int>(i);
  return selected;
}

LanguageIndex languageIndexOf(const IniFile& ini);

}  // namespace

std::filesystem::path languageFolder(const std::filesystem::path& exeDir) {
  return exeDir / "language";
}

std::filesystem::path languageIndexPath(const std::filesystem::path& exeDir) {
  return languageFolder(exeDir) / "language.ext";
}

std::optional<std::filesystem::path> LanguageIndex::packPathAt(const std::filesystem::path& exeDir,
                                                               int position) const {
  if (position < 0 || position >= static_cast<int>(entries.size())) return std::nullopt;
  const std::string& file = entries[position].file;
  if (file.empty()) return std::nullopt;
  return languageFolder(exeDir) / file;
}

LanguageIndex loadLanguageIndex(const std::filesystem::path& exeDir) {
  std::error_code ec;
  const auto path = languageIndexPath(exeDir);
  if (!std::filesystem::is_regular_file(path, ec)) return {};
  LanguageIndex index = languageIndexOf(IniFile::load(path));
  index.exists = true;
  return index;
}

LanguageIndex parseLanguageIndex(std::string_view text) {
  LanguageIndex index = languageIndexOf(IniFile::fromText(text));
  index.exists = true;
  return index;
}

namespace {

LanguageIndex languageIndexOf(const IniFile& ini) {
  LanguageIndex index;
  index.configuredName = ini.readString(kConfigSection, kLanguageKey, kDefaultLanguageName);
  const int count = ini.readInt(kListSection, "listcount", 0);

  // Entries run from index0 to index<count-1>, missing ones skipped. Walking
  // the keys that exist, rather than every number below count, keeps a huge
  // count from stalling start-up.
  std::vector<int> numbers;
  for (const std::string& key : ini.keysOf(kListSection)) {
    const auto number = indexNumberOf(key);
    if (number && *number < count) numbers.push_back(*number);
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());

  for (int i : numbers) {
    const std::string suffix = std::to_string(i);
    std::string name = ini.readString(kListSection, "index" + suffix, "");
    if (name.empty()) continue;
    std::string file = ini.readString(kListSection, "file" + suffix, "");
    index.entries.push_back({std::move(name), std::move(file)});
  }
  index.selectedIndex = lastEntryNamed(index.entries, index.configuredName);
  return index;
}

}  // namespace

void applyLanguageChoice(LanguageIndex& index, const std::filesystem::path& choiceFile) {
  std::error_code ec;
  if (!index.exists || !std::filesystem::is_regular_file(choiceFile, ec)) return;
  std::string chosen = IniFile::load(choiceFile).readString(kConfigSection, kLanguageKey, "");
  if (chosen.empty()) return;
  index.configuredName = std::move(chosen);
  index.selectedIndex = lastEntryNamed(index.entries, index.configuredName);
}

bool writeLanguageChoice(const std::filesystem::path& choiceFile, std::string_view name) {
  return IniFile::writeKey(choiceFile, kConfigSection, kLanguageKey, name);
}

bool writeConfiguredLanguage(const std::filesystem::path& exeDir, std::string_view name) {
  std::error_code ec;
  const auto path = languageIndexPath(exeDir);
  if (!std::filesystem::is_regular_file(path, ec)) return true;
  return IniFile::writeKey(path, kConfigSection, kLanguageKey, name);
}
