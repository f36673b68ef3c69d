#include "help_text.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace {

// Where the character that ends just before `end` begins. A UTF-8 character
// may span up to four bytes; a stray byte counts as one character.
size_t lastCharacterStart(std::string_view bytes, size_t first, size_t end) {
  auto isContinuation = [&](size_t i) {
    return (static_cast<unsigned char>(bytes[i]) & 0xC0) == 0x80;
  };
  size_t pos = end - 1;
  while (pos > first && end - pos < 4 && isContinuation(pos)) --pos;
  const bool leadByte = static_cast<unsigned char>(bytes[pos]) >= 0xC0;
  return (pos == end - 1 || leadByte) ? pos : end - 1;
}

}  // namespace

std::filesystem::path helpFilePath(const std::filesystem::path& exeDir, std::string_view fileName) {
  return exeDir / "help" / fileName;
}

std::string helpSectionText(std::string_view fileBytes, std::string_view packFile) {
  const std::string startMarker = "[" + std::string(packFile) + "]";
  const std::string endMarker = "[" + std::string(packFile) + ".end]";
  const auto start = fileBytes.find(startMarker);
  const auto end = fileBytes.find(endMarker);
  if (start == std::string_view::npos || end == std::string_view::npos) return {};
  const size_t first = start + startMarker.size();
  if (end <= first) return {};
  return std::string(fileBytes.substr(first, lastCharacterStart(fileBytes, first, end) - first));
}

std::optional<std::string> loadHelpText(const std::filesystem::path& helpFile,
                                        std::string_view packFile) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(helpFile, ec)) return std::nullopt;
  std::ifstream in(helpFile, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return helpSectionText(bytes, packFile);
}
