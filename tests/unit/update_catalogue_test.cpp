// The pieces of the online update that read what the server and the device
// send: catalogue items, version numbers, file names, and the addresses
// built from them.
#include <gtest/gtest.h>

#include "updateservice/catalogue.h"
#include "updateservice/catalogue_name.h"
#include "updateservice/server_address.h"
#include "updateservice/update_urls.h"
#include "updateservice/version_number.h"

namespace {

const std::string kDigest = "0123456789abcdef0123456789abcdef";

std::vector<std::string> namesOf(const std::vector<CatalogueFile>& files) {
  std::vector<std::string> names;
  for (const CatalogueFile& file : files) names.push_back(file.name);
  return names;
}

}  // namespace

TEST(CatalogueTest, ReadsOnlyTheEntriesNewerThanTheDevice) {
  const std::string catalogue =
      "NewVer=2011&;FileCount=3&;"
      "File01Ver=2009;Name=boot.bin;md5=" +
      kDigest +
      "&;"
      "File02Ver=2011;Name=app.bin;md5=" +
      kDigest +
      "&;"
      "File03Ver=2010;Name=ui.res;md5=ffffffffffffffffffffffffffffffff&;";
  EXPECT_EQ(catalogueNewVersion(catalogue), 2011);
  const auto files = catalogueFilesNewerThan(catalogue, 2010);
  ASSERT_TRUE(files);
  ASSERT_EQ(files->size(), 1u);
  EXPECT_EQ((*files)[0].name, "app.bin");
  EXPECT_EQ((*files)[0].digest, kDigest);

  EXPECT_EQ(namesOf(*catalogueFilesNewerThan(catalogue, 2008)),
            (std::vector<std::string>{"boot.bin", "app.bin", "ui.res"}));
  EXPECT_TRUE(catalogueFilesNewerThan(catalogue, 2011)->empty());

  // A ";" ends a name: what follows it is not part of any name.
  EXPECT_EQ(namesOf(*catalogueFilesNewerThan(
                "NewVer=2&;FileCount=1&;File01Ver=2;Name=a;reboot;md5=" + kDigest + "&;", 1)),
            std::vector<std::string>{"a"});
}

TEST(CatalogueTest, LineBreaksAndTextBetweenItemsChangeNothing) {
  const std::string oneLine = "NewVer=2011&;FileCount=2&;File01Ver=2011;Name=a.bin;md5=" + kDigest +
                              "&;File02Ver=2011;Name=b.bin;md5=" + kDigest + "&;";
  const std::string spread =
      "\r\nNewVer=2011&;\r\n\r\nFileCount=2&;\nnext: File01Ver=2011;Name=a.bin;md5=" + kDigest +
      "&;\n\tFile02Ver=2011;Name=b.bin;md5=" + kDigest + "&;\n";
  EXPECT_EQ(catalogueNewVersion(spread), 2011);
  EXPECT_EQ(namesOf(*catalogueFilesNewerThan(spread, 2010)),
            namesOf(*catalogueFilesNewerThan(oneLine, 2010)));
  // A break inside a value is blank around a number, not a new value.
  EXPECT_EQ(catalogueNewVersion("NewVer=2011\r\n&;"), 2011);
}

TEST(CatalogueTest, MissingItemsAndNonNumbersAreMalformed) {
  EXPECT_FALSE(catalogueNewVersion("FileCount=0&;"));
  EXPECT_FALSE(catalogueNewVersion("NewVer=2011"));
  EXPECT_FALSE(catalogueNewVersion("NewVer=20x1&;FileCount=0&;"));
  EXPECT_FALSE(catalogueNewVersion("NewVer=&;"));
  EXPECT_FALSE(catalogueFilesNewerThan("NewVer=2011&;", 2010));
  EXPECT_FALSE(catalogueFilesNewerThan("NewVer=2011&;FileCount=two&;", 2010));
  // Fewer entries than counted, an entry version that is not a number, an
  // entry without its digest.
  EXPECT_FALSE(catalogueFilesNewerThan(
      "NewVer=2011&;FileCount=2&;File01Ver=2011;Name=a;md5=" + kDigest + "&;", 2010));
  EXPECT_FALSE(catalogueFilesNewerThan(
      "NewVer=2011&;FileCount=1&;File01Ver=new;Name=a;md5=" + kDigest + "&;", 2010));
  EXPECT_FALSE(catalogueFilesNewerThan("NewVer=2011&;FileCount=1&;File01Ver=2011;Name=a;", 2010));

  // A count of 0 (or below) reads no entry at all.
  EXPECT_TRUE(catalogueFilesNewerThan("NewVer=2011&;FileCount=0&;", 2010)->empty());
  EXPECT_TRUE(catalogueFilesNewerThan("NewVer=2011&;FileCount=-1&;", 2010)->empty());
}

TEST(VersionNumberTest, DecimalIntegersOnly) {
  EXPECT_EQ(parseVersionNumber("2010"), 2010);
  EXPECT_EQ(parseVersionNumber(" 2010\r\n"), 2010);
  EXPECT_EQ(parseVersionNumber("+7"), 7);
  EXPECT_EQ(parseVersionNumber("-3"), -3);
  EXPECT_EQ(parseVersionNumber("2147483647"), 2147483647);
  for (const char* bad :
       {"", " ", "valuestring", "20 10", "2010a", "0x7da", "2147483648", "+-1", "1.5", "++1"}) {
    EXPECT_FALSE(parseVersionNumber(bad)) << bad;
  }
  // Compared as numbers, not as texts.
  EXPECT_LT(*parseVersionNumber("999"), *parseVersionNumber("1000"));
}

TEST(CatalogueNameTest, OnlyPlainNamesThatKeepTheirTerminator) {
  for (const char* good : {"app.bin", "version.ini", "UI_res-2.tar.gz", "a", "..."})
    EXPECT_TRUE(isPlainCatalogueName(good)) << good;
  for (const char* bad : {"", ".", "..", "a;reboot", "$(reboot)", "a b", "../etc/passwd", "a/b",
                          "a\\b", "`id`", "a|b", "a&b", "x\ny", "caf\xc3\xa9", "a\"b", "a'b"})
    EXPECT_FALSE(isPlainCatalogueName(bad)) << bad;
  EXPECT_TRUE(isPlainCatalogueName(std::string(55, 'n')));
  EXPECT_FALSE(isPlainCatalogueName(std::string(56, 'n')));
  EXPECT_TRUE(isShellSafeFileName(std::string(56, 'n')));  // the packer's own rule
}

TEST(UpdateUrlTest, NamesArePercentEncodedPathSegments) {
  EXPECT_EQ(catalogueUrl("127.0.0.1:8080", "47RKT"),
            "http://127.0.0.1:8080/IPC/47RKT/versionlist_new.txt");
  EXPECT_EQ(updateFileUrl("10.0.0.5", "47RKT", "app.bin"),
            "http://10.0.0.5/IPC/47RKT/app.bin.patch");
  EXPECT_EQ(percentEncode("a-b_c.d~9Z"), "a-b_c.d~9Z");
  EXPECT_EQ(percentEncode("../x/y?z#w %"), "..%2Fx%2Fy%3Fz%23w%20%25");
  EXPECT_EQ(percentEncode("\xc3\xa9\x01"), "%C3%A9%01");
  EXPECT_EQ(catalogueUrl("127.0.0.1", "a/../b"),
            "http://127.0.0.1/IPC/a%2F..%2Fb/versionlist_new.txt");
}

TEST(ServerAddressTest, AnIPv4AddressWithAnOptionalPort) {
  EXPECT_EQ(parseUpdateServer("192.168.1.10"), "192.168.1.10");
  EXPECT_EQ(parseUpdateServer("127.0.0.1:8080"), "127.0.0.1:8080");
  EXPECT_EQ(parseUpdateServer("10.0.0.1:65535"), "10.0.0.1:65535");
  for (const char* bad : {"", "updates.example.com", "::1", "[::1]:80", "1.2.3",
                          "1.2.3.4:", "1.2.3.4:0", "1.2.3.4:65536", "1.2.3.4:80x", "1.2.3.4:-1",
                          "user@1.2.3.4", "1.2.3.4/IPC", "1.2.3.4:80:81", "256.1.1.1"})
    EXPECT_FALSE(parseUpdateServer(bad)) << bad;
  EXPECT_TRUE(parseUpdateServer(defaultUpdateServer()));
}

TEST(ServerAddressTest, HttpsTakesAnAddressOrANameAndKeepsItsScheme) {
  EXPECT_EQ(parseUpdateServer("https://192.168.1.10"), "https://192.168.1.10");
  EXPECT_EQ(parseUpdateServer("HTTPS://Updates.Example.COM:8443/"),
            "https://updates.example.com:8443");
  EXPECT_EQ(parseUpdateServer("http://10.0.0.1:80"), "10.0.0.1:80");
  for (const char* bad : {"https://", "https://-a.example", "https://a..b", "https://a_b.example",
                          "https://user@host", "https://host/IPC", "https://host:0",
                          "https://[::1]", "http://updates.example.com", "ftp://1.2.3.4"})
    EXPECT_FALSE(parseUpdateServer(bad)) << bad;
  EXPECT_EQ(catalogueUrl("https://updates.example.com:8443", "47RKT"),
            "https://updates.example.com:8443/IPC/47RKT/versionlist_new.txt");
}
