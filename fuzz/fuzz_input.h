// Small helpers shared by the fuzz harnesses.
#pragma once

#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzzinput {

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The first line of the input (an argument such as a name) and the rest
// (the text to parse), so that one input drives both.
inline std::pair<std::string, std::string_view> firstLineAndRest(std::string_view text) {
  std::size_t end = text.find('\n');
  if (end == std::string_view::npos) return {std::string(text), {}};
  return {std::string(text.substr(0, end)), text.substr(end + 1)};
}

// A fresh folder of this process under the system's temporary folder
// (TMPDIR), made once and removed when the run ends normally; harnesses
// that need files work only inside it.
inline const std::filesystem::path& scratchFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tovarin-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return std::filesystem::canonical(pattern);
  }();
  static const bool cleanup = [] {
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    });
    return true;
  }();
  (void)cleanup;
  return folder;
}

}  // namespace fuzzinput
