// The update server's text files (the catalogue, the message file) are not
// parsed by a grammar: each value is found by searching for its key and
// ends at the next terminator. One reader does that for all of them.
#pragma once

#include <optional>
#include <string_view>

// The end of an item in the server's files.
inline constexpr std::string_view kItemEnd = "&;";

// Reads a text front to back: each value is found by its key in what is
// left, and everything up to the value's terminator is then dropped.
class KeyReader {
 public:
  explicit KeyReader(std::string_view text) : rest_(text) {}

  // The text after the first key up to the next terminator; drops both.
  std::optional<std::string_view> take(std::string_view key, std::string_view terminator) {
    const std::size_t at = rest_.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    const std::size_t from = at + key.size();
    const std::size_t end = rest_.find(terminator, from);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view value = rest_.substr(from, end - from);
    rest_.remove_prefix(end + terminator.size());
    return value;
  }

  // Drops everything up to and including the next item end.
  bool skipItem() {
    const std::size_t end = rest_.find(kItemEnd);
    if (end == std::string_view::npos) return false;
    rest_.remove_prefix(end + kItemEnd.size());
    return true;
  }

  // What has not been taken yet.
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};
