// The sample world as the build leaves it beside the executables: catalogues
// that match their files, ready-made patches that hold what they should, and
// device storage with enough entries to need several listing replies.

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "patchformat.h"

namespace fs = std::filesystem;

namespace {

const fs::path kWorld = TOVARIN_WORLD_DIR;
const fs::path kIpc = kWorld / "updateserver" / "IPC";

std::string readAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string md5Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  std::string hex;
  char two[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(two, sizeof two, "%02x", digest[i]);
    hex += two;
  }
  return hex;
}

struct CatalogueEntry {
  int version;
  std::string name;
  std::string md5;
};

// The text after `key` up to `end`, starting at *from; moves *from past it.
std::string take(const std::string& text, std::size_t* from, const std::string& key,
                 const std::string& end) {
  const std::size_t at = text.find(key, *from);
  if (at == std::string::npos) return {};
  const std::size_t stop = text.find(end, at + key.size());
  if (stop == std::string::npos) return {};
  *from = stop + end.size();
  return text.substr(at + key.size(), stop - at - key.size());
}

void readCatalogue(const std::string& hardware, int* newVersion,
                   std::vector<CatalogueEntry>* entries) {
  const std::string text = readAll(kIpc / hardware / "versionlist_new.txt");
  std::size_t at = 0;
  *newVersion = std::stoi(take(text, &at, "NewVer=", "&;"));
  const int count = std::stoi(take(text, &at, "FileCount=", "&;"));
  for (int k = 1; k <= count; ++k) {
    const std::string number = (k < 10 ? "0" : "") + std::to_string(k);
    CatalogueEntry entry;
    entry.version = std::stoi(take(text, &at, "File" + number + "Ver=", ";"));
    entry.name = take(text, &at, "Name=", ";");
    entry.md5 = take(text, &at, "md5=", "&;");
    EXPECT_EQ(entry.md5.find_first_not_of("0123456789abcdef"), std::string::npos) << entry.md5;
    EXPECT_EQ(entry.md5.size(), 32u);
    entries->push_back(entry);
  }
  EXPECT_EQ(text.find(';', at), std::string::npos) << "nothing follows the last entry";
}

TEST(WorldTest, CataloguesMatchTheServedFiles) {
  int newVersion = 0;
  std::vector<CatalogueEntry> entries;
  readCatalogue("47RKT", &newVersion, &entries);
  EXPECT_EQ(newVersion, 2011);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "app.bin");
  EXPECT_EQ(entries[0].version, 2011);
  EXPECT_EQ(entries[1].name, "ui.res");
  EXPECT_EQ(entries[1].version, 2010);
  EXPECT_EQ(entries[2].name, "version.ini");
  EXPECT_EQ(entries[2].version, 2011);

  int hqxVersion = 0;
  std::vector<CatalogueEntry> hqx;
  readCatalogue("52HQX", &hqxVersion, &hqx);
  EXPECT_EQ(hqxVersion, 3001);

  for (const auto& [hardware, list] : {std::pair{"47RKT", entries}, std::pair{"52HQX", hqx}}) {
    for (const CatalogueEntry& e : list) {
      const fs::path file = kIpc / hardware / (e.name + ".patch");
      ASSERT_TRUE(fs::is_regular_file(file)) << file;
      EXPECT_EQ(md5Hex(readAll(file)), e.md5) << file;
    }
    EXPECT_TRUE(
        fs::is_regular_file(kIpc / hardware / ("PatchHistory_" + std::string(hardware) + ".txt")));
  }
}

TEST(WorldTest, RandomMessagesOfferTwelveInLatinAndChinese) {
  const std::string text = readAll(kIpc / "RandomMessages.txt");
  EXPECT_EQ(text.rfind("count=12;", 0), 0u);
  int chinese = 0;
  for (int k = 1; k <= 12; ++k) {
    std::size_t at = 0;
    const std::string message = take(text, &at, std::to_string(k) + "short=", "&;");
    EXPECT_NE(message.find("&content="), std::string::npos) << "message " << k;
    EXPECT_NE(message.find("&url=http"), std::string::npos) << "message " << k;
    // CJK ideographs in UTF-8 begin with a byte from 0xE4 to 0xE9.
    const bool hasChinese = message.find_first_of("\xe4\xe5\xe6\xe7\xe8\xe9") != std::string::npos;
    chinese += hasChinese ? 1 : 0;
  }
  EXPECT_GE(chinese, 1);
  EXPECT_LE(chinese, 11) << "some messages are in Latin script only";
}

TEST(WorldTest, ReadyMadePatchesHoldTheirFirmware) {
  patchformat::Header header;
  std::vector<patchformat::EntryInfo> entries;
  std::string error;
  const fs::path rkt = kWorld / "patches" / "47RKT2011.patch";
  ASSERT_TRUE(patchformat::readPatch(rkt.string(), &header, &entries, &error)) << error;
  EXPECT_EQ(header.hardwareName, "47RKT");
  EXPECT_EQ(header.version, 2011);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "app.bin");
  EXPECT_EQ(entries[1].name, "version.ini");
  EXPECT_EQ(entries[2].name, "patchrule.sh");
  const fs::path extracted = fs::temp_directory_path() / ("world_test_" + std::to_string(getpid()));
  ASSERT_TRUE(patchformat::extractEntry(rkt.string(), entries[0], extracted.string(), &error));
  EXPECT_EQ(readAll(extracted), readAll(kIpc / "47RKT" / "app.bin.patch"));
  ASSERT_TRUE(patchformat::extractEntry(rkt.string(), entries[2], extracted.string(), &error));
  EXPECT_EQ(readAll(extracted),
            patchformat::buildInstallScript("2010", {"app.bin", "version.ini"}));
  fs::remove(extracted);

  const fs::path hqx = kWorld / "patches" / "52HQX3002.patch";
  ASSERT_TRUE(patchformat::readPatch(hqx.string(), &header, &entries, &error)) << error;
  EXPECT_EQ(header.hardwareName, "52HQX");
  EXPECT_EQ(header.version, 3002);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].name, "version.ini");
}

TEST(WorldTest, DeviceStorageHasNestedFoldersAndALongListing) {
  std::size_t longest = 0;
  for (const char* device : {"CAM0001A", "CAM0002B", "CAM0003C"}) {
    const fs::path sdcard = kWorld / "devices" / device / "sdcard";
    ASSERT_TRUE(fs::is_directory(sdcard / "DCIM" / "100MEDIA")) << device;
    EXPECT_TRUE(fs::is_regular_file(sdcard / "DCIM" / ".thumbs" / "t1.jpg")) << device;
    for (const auto& item : fs::recursive_directory_iterator(sdcard)) {
      if (!item.is_directory()) continue;
      const auto count = std::distance(fs::directory_iterator(item.path()), {});
      longest = std::max(longest, static_cast<std::size_t>(count));
    }
  }
  EXPECT_GT(longest, 10u) << "one folder must need more than one listing reply";
}

TEST(WorldTest, FirstCameraHoldsNamesTheFilePageMustTakeAsTheyAre) {
  const fs::path sdcard = kWorld / "devices" / "CAM0001A" / "sdcard";
  EXPECT_TRUE(fs::is_regular_file(sdcard / "my clip, 1.mp4"));
  EXPECT_TRUE(fs::is_regular_file(sdcard / "DCIM" / "100MEDIA" / "CLIP0003.MP4"));
  EXPECT_TRUE(fs::is_regular_file(sdcard / "backup.v1" / "2026-11" / "old clip.mp4"));
  EXPECT_TRUE(fs::is_regular_file(sdcard / "backup.v1" / "2026-11" / "index"));
  EXPECT_TRUE(fs::is_regular_file(sdcard / "README"));
}

}  // namespace
