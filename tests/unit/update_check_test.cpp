// The online update check against a loopback update server: what it fetches,
// what it stores in the work folder, what it tells the operator and when it
// packs.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <functional>

#include "patchformat.h"
#include "settings/message_lists.h"
#include "signing/minisign_crypto.h"
#include "temp_folder.h"
#include "test_http_server.h"
#include "updateservice/curl_http_client.h"
#include "updateservice/update_check.h"

namespace fs = std::filesystem;

namespace {

const std::string kServerFailed = "Connect to Updateserver failed : code : ";
const std::string kNoUpdate = "Device has no available update version!";
const std::string kUnreadable = " (the server's catalogue for 47RKT cannot be read)";

std::string md5Of(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

struct RecordingView final : IUpdateCheckView {
  void showMessage(const std::string& text) override { messages.push_back(text); }
  void setTip(const std::string& text) override { tips.push_back(text); }
  void showGauge(std::uint64_t, std::uint64_t, const std::string& text) override {
    gaugeVisible = true;
    gaugeTexts.push_back(text);
  }
  void hideGauge() override { gaugeVisible = false; }

  std::vector<std::string> messages, tips, gaugeTexts;
  bool gaugeVisible = false;
};

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    texts_.fill();
    request_.serverHost = server_.host();
    request_.hardwareName = "47RKT";
    request_.deviceVersionText = "2010";
    request_.workFolder = updateWorkFolder(dir_.path().string());
    // What an earlier check left behind.
    writeFile(fs::path(request_.workFolder) / "stale", "old download");
  }

  // Serves a file under its catalogue name and returns its catalogue entry.
  std::string offer(int k, int version, const std::string& name, const std::string& bytes) {
    server_.put("/IPC/47RKT/" + name + ".patch", bytes);
    char number[8];
    std::snprintf(number, sizeof number, "%02d", k);
    return std::string("File") + number + "Ver=" + std::to_string(version) + ";Name=" + name +
           ";md5=" + md5Of(bytes) + "&;";
  }
  void setCatalogue(const std::string& text) {
    server_.put("/IPC/47RKT/versionlist_new.txt", text);
  }
  UpdateCheckOutcome check() {
    CurlHttpClient client(limits_);
    return runUpdateCheck(client, texts_, request_, view_);
  }
  std::vector<std::string> workFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(request_.workFolder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TestHttpServer server_;
  TempFolder dir_;
  MessageLists texts_;
  UpdateCheckRequest request_;
  RecordingView view_;
  HttpLimits limits_{1000, 1000};
};

}  // namespace

TEST_F(UpdateCheckTest, OnlyTheNewerEntryIsFetchedCheckedAndPacked) {
  const std::string app(150000, 'A');
  // Line breaks between the items, as servers write catalogues.
  setCatalogue("NewVer=2011&;\r\nFileCount=3&;\r\n" + offer(1, 2009, "boot.bin", "boot") + "\r\n" +
               offer(2, 2011, "app.bin", app) + "\r\n" + offer(3, 2010, "ui.res", "ui") + "\r\n");

  const UpdateCheckOutcome outcome = check();

  ASSERT_EQ(outcome.kind, UpdateCheckOutcome::Packed);
  EXPECT_EQ(outcome.patchPath, request_.workFolder + "47RKT2011.patch");
  EXPECT_EQ(server_.requests(), (std::vector<std::string>{"/IPC/47RKT/versionlist_new.txt",
                                                          "/IPC/47RKT/app.bin.patch"}));
  EXPECT_EQ(workFiles(), (std::vector<std::string>{"0", "47RKT2011.patch"}));
  EXPECT_TRUE(readFile(fs::path(request_.workFolder) / "0") == app);

  patchformat::Header header;
  std::vector<patchformat::EntryInfo> entries;
  std::string error;
  ASSERT_TRUE(patchformat::readPatch(outcome.patchPath, &header, &entries, &error)) << error;
  EXPECT_EQ(header.hardwareName, "47RKT");
  EXPECT_EQ(header.version, 2011);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "app.bin");
  EXPECT_EQ(entries[0].dataSize, app.size());
  EXPECT_EQ(entries[1].name, "patchrule.sh");

  EXPECT_TRUE(view_.messages.empty());
  EXPECT_EQ(view_.tips,
            (std::vector<std::string>{"Downloading...", "Update patch download finished!"}));
  ASSERT_GE(view_.gaugeTexts.size(), 2u);
  EXPECT_EQ(view_.gaugeTexts.front(), "0 / 150000");
  EXPECT_EQ(view_.gaugeTexts.back(), "150000 / 150000");
  EXPECT_FALSE(view_.gaugeVisible);
}

TEST_F(UpdateCheckTest, NothingNewerSaysSoAndFetchesNoFile) {
  // The newest version is the device's: the work folder is not touched.
  setCatalogue("NewVer=2010&;FileCount=1&;" + offer(1, 2010, "app.bin", "x"));
  EXPECT_EQ(check().kind, UpdateCheckOutcome::NoUpdate);
  EXPECT_EQ(view_.messages, std::vector<std::string>{kNoUpdate});
  EXPECT_EQ(workFiles(), std::vector<std::string>{"stale"});

  // Newer on the whole, but every entry old: the folder is emptied.
  setCatalogue("NewVer=2011&;FileCount=2&;" + offer(1, 2009, "app.bin", "x") +
               offer(2, 2010, "ui.res", "y"));
  EXPECT_EQ(check().kind, UpdateCheckOutcome::NoUpdate);
  EXPECT_TRUE(workFiles().empty());

  EXPECT_EQ(view_.messages, std::vector<std::string>(2, kNoUpdate));
  for (const std::string& path : server_.requests())
    EXPECT_EQ(path, "/IPC/47RKT/versionlist_new.txt");
}

TEST_F(UpdateCheckTest, ADigestThatDiffersStopsBeforePacking) {
  const std::string app = "firmware bytes";
  std::string entry = offer(1, 2011, "app.bin", app);
  // The same digest in upper case: compared exactly, it never matches.
  std::string upper = md5Of(app);
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  entry.replace(entry.find(md5Of(app)), upper.size(), upper);
  setCatalogue("NewVer=2011&;FileCount=2&;" + entry + offer(2, 2011, "ui.res", "ui"));

  EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed);
  EXPECT_EQ(view_.tips.back(), "Incomplete Patch(md5 check not match)!");
  EXPECT_EQ(view_.messages, std::vector<std::string>{"net: " + upper + " , loc: " + md5Of(app)});
  EXPECT_TRUE(workFiles().empty()) << "a failed check keeps no download";
  EXPECT_EQ(server_.requests().size(), 2u);  // ui.res is not fetched
}

TEST_F(UpdateCheckTest, ServerFailuresShowTheirStatusLineAndWhy) {
  // No catalogue for the hardware: nothing else happens.
  EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed);
  EXPECT_EQ(view_.messages.back(),
            kServerFailed + "HTTP/1.1 404 Not Found (the server has no firmware for 47RKT)");
  EXPECT_EQ(workFiles(), std::vector<std::string>{"stale"});

  // No server at all.
  const UpdateCheckRequest asked = request_;
  {
    TestHttpServer gone("127.0.0.3");
    request_.serverHost = gone.host();
  }
  EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed);
  EXPECT_EQ(view_.messages.back(), kServerFailed + "(no answer from the server)");
  request_ = asked;

  // A listed file that is missing: the check stops at it.
  setCatalogue("NewVer=2011&;FileCount=3&;" + offer(1, 2011, "app.bin", "app") +
               "File02Ver=2011;Name=gone.bin;md5=00000000000000000000000000000000&;" +
               offer(3, 2011, "ui.res", "ui"));
  EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed);
  EXPECT_EQ(view_.messages.back(),
            kServerFailed + "HTTP/1.1 404 Not Found (the server does not have gone.bin)");
  EXPECT_EQ(server_.requests().back(), "/IPC/47RKT/gone.bin.patch");
  EXPECT_TRUE(workFiles().empty()) << "a failed check keeps no download";
  EXPECT_FALSE(view_.gaugeVisible);

  // A file whose body stops part way: a failure with no status line, and no
  // hang.
  server_.put("/IPC/47RKT/gone.bin.patch", std::string(100000, 'g'));
  server_.stallAfter("/IPC/47RKT/gone.bin.patch", 30000);
  EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed);
  EXPECT_EQ(view_.messages.back(), kServerFailed + "(the server stopped sending)");
  EXPECT_FALSE(view_.gaugeVisible);

  // A file without end stops at its bound and is removed.
  server_.endless("/IPC/47RKT/gone.bin.patch", 64 << 20);
  limits_.maxFileBytes = 1 << 20;
  EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed);
  EXPECT_EQ(view_.messages.back(), kServerFailed + "(the download is too large)");
  EXPECT_TRUE(workFiles().empty());
}

TEST_F(UpdateCheckTest, ACatalogueWithoutFilesIsAServerFault) {
  for (const char* count : {"0", "-1"}) {
    setCatalogue("NewVer=2011&;FileCount=" + std::string(count) + "&;");
    EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed) << count;
    EXPECT_EQ(view_.messages.back(),
              kServerFailed +
                  "HTTP/1.1 200 OK (the server's catalogue for 47RKT lists no file to "
                  "send)");
  }
  EXPECT_EQ(workFiles(), std::vector<std::string>{"stale"});
}

// A download that arrived but cannot be opened for its MD5 ends the check.
TEST_F(UpdateCheckTest, ADownloadThatCannotBeReadBackEndsTheCheck) {
  struct VanishingFiles final : IHttpClient {
    CurlHttpClient curl{HttpLimits{1000, 1000}};
    HttpResult getToMemory(const std::string& url, std::string* body) override {
      return curl.getToMemory(url, body);
    }
    HttpResult getToFile(const std::string& url, const std::string& path,
                         IHttpProgress* progress) override {
      HttpResult got = curl.getToFile(url, path, progress);
      fs::remove(path);
      return got;
    }
  } http;
  setCatalogue("NewVer=2011&;FileCount=1&;" + offer(1, 2011, "app.bin", "app"));
  EXPECT_EQ(runUpdateCheck(http, texts_, request_, view_).kind, UpdateCheckOutcome::Failed);
  EXPECT_EQ(view_.messages,
            std::vector<std::string>{kServerFailed +
                                     "HTTP/1.1 200 OK (the download cannot be read back)"});
  EXPECT_TRUE(workFiles().empty());
}

TEST_F(UpdateCheckTest, MalformedCataloguesAndVersionsEndTheCheck) {
  const std::string app = offer(1, 2011, "app.bin", "app");
  for (const std::string& catalogue :
       {"NewVer=next&;FileCount=1&;" + app, "NewVer=2011&;FileCount=one&;" + app,
        "NewVer=2011&;FileCount=1&;" + std::string("File01Ver=20l1;Name=app.bin;md5=0&;"),
        "NewVer=2011&;FileCount=2&;" + app}) {
    setCatalogue(catalogue);
    EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed) << catalogue;
    EXPECT_EQ(view_.messages.back(), kServerFailed + "HTTP/1.1 200 OK" + kUnreadable) << catalogue;
  }
  // Before any login the version label holds its start text.
  setCatalogue("NewVer=2011&;FileCount=1&;" + app);
  request_.deviceVersionText = "valuestring";
  EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed);
  EXPECT_EQ(view_.messages.back(), kServerFailed + "HTTP/1.1 200 OK");

  EXPECT_EQ(workFiles(), std::vector<std::string>{"stale"});
  for (const std::string& path : server_.requests())
    EXPECT_EQ(path, "/IPC/47RKT/versionlist_new.txt");
}

TEST_F(UpdateCheckTest, NamesThatAreNotPlainAreRefusedBeforeAnyDownload) {
  // (A ";" ends a name in the catalogue itself: "Name=a;reboot;" names "a".)
  for (const std::string& name : std::vector<std::string>{
           "a&&reboot", "$(reboot)", "app bin", "../app.bin", "x/app.bin", std::string(56, 'n')}) {
    setCatalogue("NewVer=2011&;FileCount=2&;" + offer(1, 2011, "app.bin", "app") +
                 "File02Ver=2011;Name=" + name + ";md5=00000000000000000000000000000000&;");
    EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed) << name;
    EXPECT_EQ(view_.messages.back(), kServerFailed + "HTTP/1.1 200 OK" + kUnreadable) << name;
  }
  for (const std::string& path : server_.requests())
    EXPECT_EQ(path, "/IPC/47RKT/versionlist_new.txt");
  EXPECT_EQ(workFiles(), std::vector<std::string>{"stale"});
}

TEST_F(UpdateCheckTest, TheHardwareNameIsOneEncodedPathSegment) {
  request_.hardwareName = "47 RKT/../x";
  EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed);
  EXPECT_EQ(server_.requests(),
            std::vector<std::string>{"/IPC/47%20RKT%2F..%2Fx/versionlist_new.txt"});
}

namespace {

// A check that trusts one publisher's key; sign() puts a signature beside a
// served path.
class SignedUpdateCheckTest : public UpdateCheckTest {
 protected:
  void SetUp() override {
    UpdateCheckTest::SetUp();
    publisher_.publicKey.comment = "Lab publisher";
    request_.trustedKeys = {publisher_.publicKey};
  }
  void sign(const std::string& path, const std::string& bytes, const minisign::KeyPair& key = {}) {
    const minisign::KeyPair& by = key.publicKey.comment.empty() ? publisher_ : key;
    server_.put(path + ".minisig",
                minisign::formatSignature(minisign::sign(by.secretKey, bytes, "t"), "u"));
  }
  // A catalogue offering one newer app.bin; both signed unless told.
  void offerSignedUpdate(const std::string& app) {
    const std::string catalogue = "NewVer=2011&;FileCount=1&;" + offer(1, 2011, "app.bin", app);
    setCatalogue(catalogue);
    sign("/IPC/47RKT/versionlist_new.txt", catalogue);
    sign("/IPC/47RKT/app.bin.patch", app);
  }
  std::string readCatalogue() const { return catalogueText_; }
  minisign::KeyPair publisher_ = minisign::generateKeyPair();
  std::string catalogueText_;
};

}  // namespace

TEST_F(SignedUpdateCheckTest, SignedCatalogueAndFilesArePackedWithTheirSigner) {
  offerSignedUpdate("new app");
  const UpdateCheckOutcome outcome = check();
  ASSERT_EQ(outcome.kind, UpdateCheckOutcome::Packed) << testing::PrintToString(view_.messages);
  EXPECT_EQ(outcome.signer, "Lab publisher");
  EXPECT_EQ(server_.requests(),
            (std::vector<std::string>{
                "/IPC/47RKT/versionlist_new.txt", "/IPC/47RKT/versionlist_new.txt.minisig",
                "/IPC/47RKT/app.bin.patch", "/IPC/47RKT/app.bin.patch.minisig"}));
}

TEST_F(SignedUpdateCheckTest, AnyBadSignatureEndsTheCheckKeepingNothing) {
  const minisign::KeyPair stranger = [] {
    minisign::KeyPair k = minisign::generateKeyPair();
    k.publicKey.comment = "stranger";
    return k;
  }();
  const std::string refusedCatalogue =
      kServerFailed + "HTTP/1.1 200 OK (catalogue not signed by a trusted key)";
  struct Case {
    const char* what;
    std::function<void()> spoil;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"unsigned catalogue", [&] { server_.put("/IPC/47RKT/versionlist_new.txt.minisig", ""); },
       refusedCatalogue},
      {"catalogue by another key",
       [&] { sign("/IPC/47RKT/versionlist_new.txt", readCatalogue(), stranger); },
       refusedCatalogue},
      {"catalogue altered after signing", [&] { setCatalogue(readCatalogue() + "\r\n"); },
       kServerFailed + "HTTP/1.1 200 OK (catalogue: signature does not match)"},
      {"file altered after signing", [&] { sign("/IPC/47RKT/app.bin.patch", "the app before"); },
       kServerFailed + "HTTP/1.1 200 OK (app.bin: signature does not match)"},
      {"file by another key", [&] { sign("/IPC/47RKT/app.bin.patch", "new app", stranger); },
       kServerFailed + "HTTP/1.1 200 OK (app.bin not signed by a trusted key)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    offerSignedUpdate("new app");
    catalogueText_ = "NewVer=2011&;FileCount=1&;" + offer(1, 2011, "app.bin", "new app");
    c.spoil();
    view_.messages.clear();
    EXPECT_EQ(check().kind, UpdateCheckOutcome::Failed);
    EXPECT_EQ(view_.messages, std::vector<std::string>{c.message});
    // Refused catalogues leave the folder untouched; refused files are not kept.
    for (const std::string& name : workFiles()) EXPECT_EQ(name, "stale");
  }
}

TEST_F(SignedUpdateCheckTest, WithoutTrustedKeysNoSignatureIsAskedFor) {
  request_.trustedKeys.clear();
  setCatalogue("NewVer=2011&;FileCount=1&;" + offer(1, 2011, "app.bin", "new app"));
  EXPECT_EQ(check().kind, UpdateCheckOutcome::Packed);
  for (const std::string& path : server_.requests())
    EXPECT_EQ(path.find(".minisig"), std::string::npos) << path;
}
