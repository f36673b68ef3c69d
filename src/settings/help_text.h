// Update help texts: one file per help ("manually.help", "auto.help") in the
// exe folder's "help" subfolder, read as raw bytes, with one section per
// language pack between "[<pack file>]" and "[<pack file>.end]".
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

std::filesystem::path helpFilePath(const std::filesystem::path& exeDir, std::string_view fileName);

// The pack's help text in `fileBytes`: everything after the first start marker
// up to the first end marker, less the one character just before the end
// marker (normally the last line's line feed). Empty when either marker is
// missing or the end marker comes first.
std::string helpSectionText(std::string_view fileBytes, std::string_view packFile);

// The pack's help text from the file; nullopt when the file cannot be read,
// in which case the memo keeps its text.
std::optional<std::string> loadHelpText(const std::filesystem::path& helpFile,
                                        std::string_view packFile);
