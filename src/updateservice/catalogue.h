// The update catalogue ("versionlist_new.txt") of one hardware name, taken
// apart by searching for its keys, as the server writes it:
//
//   NewVer=2011&;FileCount=2&;
//   File01Ver=2011;Name=app.bin;md5=<32 hex digits>&;
//   File02Ver=2010;Name=ui.res;md5=<32 hex digits>&;
//
// Line breaks and other text without ";" may stand before and between items.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CatalogueFile {
  std::string name;    // on the server (without ".patch") and on the device
  std::string digest;  // MD5 as the catalogue gives it, compared exactly
};

// The number after the first "NewVer=", up to the next "&;"; nullopt when
// the item is missing or not a number.
std::optional<std::int32_t> catalogueNewVersion(std::string_view catalogue);

// The number after "FileCount=" (after the NewVer item), up to the next
// "&;"; nullopt when either item is missing or the count is not a number.
std::optional<std::int32_t> catalogueFileCount(std::string_view catalogue);

// The file entries that changed after deviceVersion, in catalogue order:
// after the NewVer item comes "FileCount=" n "&;", then entries 1 to n,
// "File" + two-digit number + "Ver=" version ";Name=" name ";md5=" digest
// "&;". nullopt when an item is missing or a count or version is not a
// number; names are returned as found (see catalogue_name.h).
std::optional<std::vector<CatalogueFile>> catalogueFilesNewerThan(std::string_view catalogue,
                                                                  std::int32_t deviceVersion);
