// One INI file in the platform's profile format: "[section]" lines followed by
// key=value lines. Sections and keys compare without regard to ASCII case;
// values are raw bytes, no text conversion. When a key appears twice the first
// one counts. Reader and writer share one set of line rules (ini_file.cpp), and
// a value with surrounding blanks or quotes is stored in double quotes, so
// every value written reads back as it was.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniFile {
 public:
  // Reads the whole file. A missing or unreadable file reads as empty.
  static IniFile load(const std::filesystem::path& file);
  // Reads INI text held in memory.
  static IniFile fromText(std::string_view text);

  IniFile(IniFile&&) noexcept;
  IniFile& operator=(IniFile&&) noexcept;
  ~IniFile();

  // The key's value when the key is present (possibly empty).
  std::optional<std::string> find(std::string_view section, std::string_view key) const;
  // The key's value, or `fallback` when the key is missing.
  std::string readString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // The key's value as a decimal whole number; `fallback` when the key is
  // missing or its value is not a number.
  int readInt(std::string_view section, std::string_view key, int fallback) const;
  // The names of the section's keys, in file order, each once.
  std::vector<std::string> keysOf(std::string_view section) const;

  // Sets one key in the file and keeps every other line as it stands (other
  // keys, comments, blank lines). Creates the file, but not its folder, when it
  // is missing. The file is replaced as a whole (see atomic_file.h). False,
  // with the file unchanged, when it cannot be read or written or when the
  // value would not read back as given.
  static bool writeKey(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view value);

 private:
  struct Data;
  explicit IniFile(std::unique_ptr<Data> data);
  std::unique_ptr<Data> data_;
};

// Replaces or adds `key`=`value` in the INI text `text` and returns the new
// text; exposed for the writer above and its tests.
std::string setIniKey(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value);
