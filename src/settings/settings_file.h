// The settings file configs.ini beside the executable: the download, cache
// and patch folders and the download speed limit, all in section "CONFIGS".
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kSettingsSection = "CONFIGS";
inline constexpr std::string_view kDownloadFolderKey = "downloadsavepath";
inline constexpr std::string_view kCacheFolderKey = "cachpath";
inline constexpr std::string_view kPatchFolderKey = "patchsavepath";
inline constexpr std::string_view kSpeedLimitKey = "speedlimit";
inline constexpr int kDefaultSpeedLimit = 500;
inline constexpr int kSpeedLimitFieldMax = 9999;

struct StartupSettings {
  std::string downloadFolder;
  std::string cacheFolder;
  std::string patchFolder;
  int speedLimit = kDefaultSpeedLimit;       // as read; handed to the device library
  int speedLimitField = kDefaultSpeedLimit;  // the Options field's value, 0..9999
  // Full path of the settings file once when it refused a write (however
  // many); the window reports each as unableToWriteText(path) and carries on.
  std::vector<std::string> writeErrors;
};

std::filesystem::path settingsFilePath(const std::filesystem::path& exeDir);

// Reads the settings at start: creates the file when missing, marks it hidden,
// replaces each folder that does not exist by its default below exeDir
// (created when missing, written under its key) and reads the speed limit.
StartupSettings readStartupSettings(const std::filesystem::path& exeDir);
// The same with configs.ini in settingsDir and the default folders below
// defaultsDir (an installed program keeps them in the user's folders).
StartupSettings readStartupSettings(const std::filesystem::path& settingsDir,
                                    const std::filesystem::path& defaultsDir);

// Writes one folder key ("downloadsavepath", "cachpath", "patchsavepath").
bool writeFolderKey(const std::filesystem::path& exeDir, std::string_view key,
                    std::string_view folder);
// Writes "speedlimit" in decimal.
bool writeSpeedLimit(const std::filesystem::path& exeDir, int speedLimit);

// "Unable to write to " followed by the file's full path.
std::string unableToWriteText(const std::string& path);

// A whole number in decimal, or in hexadecimal after "0x", "0X" or "$", with an
// optional sign; nullopt for anything else or a value outside 32 bits.
std::optional<int> parseWholeNumber(std::string_view text);

// The value the speed-limit field shows for `speedLimit`: kept within 0..9999.
int speedLimitFieldValue(int speedLimit);
