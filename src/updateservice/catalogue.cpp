#include "updateservice/catalogue.h"

#include <cstdio>

#include "updateservice/key_reader.h"
#include "updateservice/version_number.h"

namespace {

std::string entryKey(int k) {
  char key[24];
  std::snprintf(key, sizeof key, "File%02dVer=", k);
  return key;
}

}  // namespace

std::optional<std::int32_t> catalogueNewVersion(std::string_view catalogue) {
  KeyReader reader(catalogue);
  const auto text = reader.take("NewVer=", kItemEnd);
  return text ? parseVersionNumber(*text) : std::nullopt;
}

std::optional<std::int32_t> catalogueFileCount(std::string_view catalogue) {
  KeyReader reader(catalogue);
  if (!reader.take("NewVer=", kItemEnd)) return std::nullopt;
  const auto countText = reader.take("FileCount=", kItemEnd);
  return countText ? parseVersionNumber(*countText) : std::nullopt;
}

std::optional<std::vector<CatalogueFile>> catalogueFilesNewerThan(std::string_view catalogue,
                                                                  std::int32_t deviceVersion) {
  KeyReader reader(catalogue);
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
