#include "settings_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <system_error>

#include "ini_file.h"
#include "platform_files.h"

namespace {

struct FolderSetting {
  std::string_view key;
  std::string_view defaultName;
  std::string StartupSettings::*field;
};

constexpr FolderSetting kFolders[] = {
    {kDownloadFolderKey, "download", &StartupSettings::downloadFolder},
    {kCacheFolderKey, "cach", &StartupSettings::cacheFolder},
    {kPatchFolderKey, "patch", &StartupSettings::patchFolder},
};

bool isFolder(const std::string& text) {
  std::error_code ec;
  return !text.empty() && std::filesystem::is_directory(text, ec);
}

void createEmptyFileIfMissing(const std::filesystem::path& file) {
  std::error_code ec;
  if (std::filesystem::exists(file, ec)) return;
  std::ofstream create(file, std::ios::binary);  // a failure shows at the first write
}

}  // namespace

std::filesystem::path settingsFilePath(const std::filesystem::path& exeDir) {
  return exeDir / "configs.ini";
}

StartupSettings readStartupSettings(const std::filesystem::path& exeDir) {
  return readStartupSettings(exeDir, exeDir);
}

StartupSettings readStartupSettings(const std::filesystem::path& settingsDir,
                                    const std::filesystem::path& defaultsDir) {
  const std::filesystem::path file = settingsFilePath(settingsDir);
  createEmptyFileIfMissing(file);
  setHiddenAttribute(file);

  StartupSettings settings;
  for (const FolderSetting& folder : kFolders) {
    const std::string fallback = (defaultsDir / folder.defaultName).string();
    // Each read sees the writes of the folders before it.
    const std::string stored =
        IniFile::load(file).readString(kSettingsSection, folder.key, fallback);
    if (isFolder(stored)) {
      settings.*folder.field = stored;
      continue;
    }
    settings.*folder.field = fallback;
    std::error_code ec;
    std::filesystem::create_directories(fallback, ec);  // failure: the path is used anyway
    // One report per file: the operator learns nothing from a second box.
    if (!writeFolderKey(settingsDir, folder.key, fallback) && settings.writeErrors.empty())
      settings.writeErrors.push_back(file.string());
  }

  const auto stored = IniFile::load(file).find(kSettingsSection, kSpeedLimitKey);
  settings.speedLimit =
      stored ? parseWholeNumber(*stored).value_or(kDefaultSpeedLimit) : kDefaultSpeedLimit;
  settings.speedLimitField = speedLimitFieldValue(settings.speedLimit);
  return settings;
}

bool writeFolderKey(const std::filesystem::path& exeDir, std::string_view key,
                    std::string_view folder) {
  return IniFile::writeKey(settingsFilePath(exeDir), kSettingsSection, key, folder);
}

bool writeSpeedLimit(const std::filesystem::path& exeDir, int speedLimit) {
  return IniFile::writeKey(settingsFilePath(exeDir), kSettingsSection, kSpeedLimitKey,
                           std::to_string(speedLimit));
}

std::string unableToWriteText(const std::string& path) { return "Unable to write to " + path; }

std::optional<int> parseWholeNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.starts_with('$')) {
    base = 16;
    text.remove_prefix(1);
  }
  // from_chars would accept a second sign; only digits may follow.
  if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
  std::uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  // Bounded before the sign is applied: negating a magnitude of 2^63 or more
  // would overflow.
  if (magnitude > (std::uint64_t{1} << 32)) return std::nullopt;
  const std::int64_t value =
      negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int>(value);
}

int speedLimitFieldValue(int speedLimit) { return std::clamp(speedLimit, 0, kSpeedLimitFieldMax); }
