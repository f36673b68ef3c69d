#include "updateservice/catalogue.h"

#include <cstdio>

#include "updateservice/version_number.h"

namespace {

constexpr std::string_view kItemEnd = "&;";

// Reads the catalogue front to back: each item is found by its key in what
// is left, and everything up to the item's end is then dropped.
class Reader {
 public:
  explicit Reader(std::string_view text) : rest_(text) {}

  // The text after key up to the next terminator; drops both.
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

 private:
  std::string_view rest_;
};

std::string entryKey(int k) {
  char key[24];
  std::snprintf(key, sizeof key, "File%02dVer=", k);
  return key;
}

}  // namespace

std::optional<std::int32_t> catalogueNewVersion(std::string_view catalogue) {
  Reader reader(catalogue);
  const auto text = reader.take("NewVer=", kItemEnd);
  return text ? parseVersionNumber(*text) : std::nullopt;
}

std::optional<std::vector<CatalogueFile>> catalogueFilesNewerThan(std::string_view catalogue,
                                                                  std::int32_t deviceVersion) {
  Reader reader(catalogue);
  if (!reader.take("NewVer=", kItemEnd)) return std::nullopt;
  const auto countText = reader.take("FileCount=", kItemEnd);
  const auto count = countText ? parseVersionNumber(*countText) : std::nullopt;
  if (!count) return std::nullopt;

  std::vector<CatalogueFile> newer;
  for (int k = 1; k <= *count; ++k) {
    const auto versionText = reader.take(entryKey(k), ";");
    const auto version = versionText ? parseVersionNumber(*versionText) : std::nullopt;
    if (!version) return std::nullopt;
    if (*version <= deviceVersion) {
      if (!reader.skipItem()) return std::nullopt;  // the rest of this entry
      continue;
    }
    const auto name = reader.take("Name=", ";");
    const auto digest = name ? reader.take("md5=", kItemEnd) : std::nullopt;
    if (!digest) return std::nullopt;
    newer.push_back({std::string(*name), std::string(*digest)});
  }
  return newer;
}
