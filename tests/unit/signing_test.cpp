// minisign signatures: the format read and written, the checks of both
// signatures, the trusted-keys folders and a chosen patch that changes on
// disk after its check.
#include <gtest/gtest.h>
#include <sodium.h>

#include "fleet/device_update.h"
#include "fleet/fleet_report.h"
#include "patchformat.h"
#include "settings/message_lists.h"
#include "settings/program_folders.h"
#include "signing/minisign_crypto.h"
#include "signing/signed_file.h"
#include "signing/trusted_keys.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using minisign::Verdict;

namespace {

struct Publisher {
  minisign::KeyPair pair = minisign::generateKeyPair();
  std::string signature(std::string_view bytes, const std::string& trusted = "file:x") const {
    return minisign::formatSignature(minisign::sign(pair.secretKey, bytes, trusted), "sig");
  }
};

}  // namespace

TEST(Minisign, SignatureChecksCatchEveryChange) {
  const Publisher publisher, stranger;
  const std::vector<minisign::PublicKey> trusted{publisher.pair.publicKey};
  const std::string firmware = "firmware bytes";
  const std::string sig = publisher.signature(firmware);

  const Verdict good = minisign::verify(trusted, firmware, sig);
  ASSERT_EQ(good.kind, Verdict::Good);
  EXPECT_EQ(good.signer, &trusted[0]);
  EXPECT_EQ(good.trustedComment, "file:x");

  EXPECT_EQ(minisign::verify(trusted, "firmware bytez", sig).kind, Verdict::Mismatch);
  EXPECT_EQ(minisign::verify(trusted, firmware, stranger.signature(firmware)).kind,
            Verdict::UnknownKey);
  EXPECT_EQ(minisign::verify(trusted, firmware, "").kind, Verdict::Unsigned);
  EXPECT_EQ(minisign::verify(trusted, firmware, "untrusted comment: x\nnot base64\n").kind,
            Verdict::Unsigned);
  // The trusted comment is signed too: changing it breaks the global signature.
  std::string edited = sig;
  edited.replace(edited.find("file:x"), 6, "file:y");
  EXPECT_EQ(minisign::verify(trusted, firmware, edited).kind, Verdict::Mismatch);
  // No key trusted: nothing is good.
  EXPECT_EQ(minisign::verify({}, firmware, sig).kind, Verdict::UnknownKey);
}

TEST(Minisign, KeysSurviveTheirFilesAndPasswordKeysAreRefused) {
  const Publisher publisher;
  auto pub = minisign::parsePublicKey(minisign::formatPublicKey(publisher.pair.publicKey));
  ASSERT_TRUE(pub);
  EXPECT_EQ(pub->key, publisher.pair.publicKey.key);
  EXPECT_EQ(pub->comment, "minisign public key " + minisign::keyIdText(pub->id));

  // Windows line ends are read alike.
  std::string crlf = minisign::formatPublicKey(publisher.pair.publicKey);
  crlf.insert(crlf.find('\n'), "\r");
  EXPECT_TRUE(minisign::parsePublicKey(crlf));

  std::string error;
  const std::string secretText = minisign::formatSecretKey(publisher.pair.secretKey, "secret");
  auto secret = minisign::parseSecretKey(secretText, &error);
  ASSERT_TRUE(secret) << error;
  EXPECT_EQ(minisign::verify({*pub}, "x",
                             minisign::formatSignature(minisign::sign(*secret, "x", "t"), "u"))
                .kind,
            Verdict::Good);

  // A key with a password has a kdf algorithm ("Sc"); one damaged fails its check.
  auto patched = [&](std::size_t at, char c) {
    std::string line = secretText.substr(secretText.find('\n') + 1);
    line.pop_back();
    std::vector<unsigned char> raw(158);
    std::size_t size = 0;
    sodium_base642bin(raw.data(), raw.size(), line.data(), line.size(), nullptr, &size, nullptr,
                      sodium_base64_VARIANT_ORIGINAL);
    raw[at] = static_cast<unsigned char>(c);
    std::string encoded(sodium_base64_ENCODED_LEN(raw.size(), sodium_base64_VARIANT_ORIGINAL), 0);
    sodium_bin2base64(encoded.data(), encoded.size(), raw.data(), raw.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    return "untrusted comment: k\n" + std::string(encoded.c_str()) + "\n";
  };
  EXPECT_FALSE(minisign::parseSecretKey(patched(2, 'S'), &error));
  EXPECT_NE(error.find("password"), std::string::npos) << error;
  EXPECT_FALSE(minisign::parseSecretKey(patched(100, 'Z'), &error));
  EXPECT_NE(error.find("damaged"), std::string::npos) << error;
}

TEST(TrustedKeys, FoldersFollowTheSettingsAndJunkIsSetAside) {
  TempFolder dir;
  EXPECT_EQ(trustedKeyFolders(foldersBeside(dir.path())),
            (std::vector<fs::path>{dir.path() / "trusted-keys"}));
  ProgramFolders installed{dir.path() / "share", dir.path() / "config", dir.path() / "data", {}};
  EXPECT_EQ(
      trustedKeyFolders(installed),
      (std::vector<fs::path>{"/etc/tovarin/trusted-keys", dir.path() / "config/trusted-keys"}));

  const Publisher a, b;
  writeFile(dir.path() / "one/a.pub", minisign::formatPublicKey(a.pair.publicKey));
  writeFile(dir.path() / "one/notes.txt", "not a key file");
  writeFile(dir.path() / "one/broken.pub", "untrusted comment: x\nRWQ\n");
  writeFile(dir.path() / "two/b.pub", minisign::formatPublicKey(b.pair.publicKey));
  writeFile(dir.path() / "two/a-again.pub", minisign::formatPublicKey(a.pair.publicKey));
  const TrustedKeys keys =
      loadTrustedKeys({dir.path() / "one", dir.path() / "missing", dir.path() / "two"});
  ASSERT_EQ(keys.keys.size(), 2u);
  EXPECT_EQ(keys.files,
            (std::vector<fs::path>{dir.path() / "one/a.pub", dir.path() / "two/b.pub"}));
  EXPECT_EQ(keys.unreadable, (std::vector<fs::path>{dir.path() / "one/broken.pub"}));
  EXPECT_FALSE(loadTrustedKeys({dir.path() / "missing"}).any());
}

TEST(CheckedPatch, TheBytesCheckedAreTheBytesSentAndReported) {
  TempFolder dir;
  const Publisher publisher, stranger;
  TrustedKeys trusted;
  trusted.keys = {publisher.pair.publicKey};
  trusted.keys[0].comment = "Lab publisher";
  MessageLists texts;
  texts.fill();
  const fs::path file = dir.path() / "47RKT2011.patch";
  std::string error;
  ASSERT_TRUE(patchformat::writePatch(file.string(), "47RKT", 2011,
                                      {patchformat::PayloadFile::fromBytes("app.bin", "new app")},
                                      "#!/bin/sh\n", &error))
      << error;
  const std::string original = readFile(file);

  PatchToSend patch;
  std::unique_ptr<PrivateCopy> copy;
  EXPECT_FALSE(loadCheckedPatch(file.string(), trusted, texts, &patch, &copy, &error));
  EXPECT_EQ(error, "47RKT2011.patch not signed by a trusted key");
  writeFile(file.string() + ".minisig", stranger.signature(original));
  EXPECT_FALSE(loadCheckedPatch(file.string(), trusted, texts, &patch, &copy, &error));
  EXPECT_EQ(error, "47RKT2011.patch not signed by a trusted key");
  writeFile(file.string() + ".minisig", publisher.signature(original + "x"));
  EXPECT_FALSE(loadCheckedPatch(file.string(), trusted, texts, &patch, &copy, &error));
  EXPECT_EQ(error, "47RKT2011.patch: signature does not match");

  writeFile(file.string() + ".minisig", publisher.signature(original));
  ASSERT_TRUE(loadCheckedPatch(file.string(), trusted, texts, &patch, &copy, &error)) << error;
  // Changed on disk after the check: what goes out is still what was checked.
  writeFile(file, "swapped after the check");
  ASSERT_NE(patch.path, file.string());
  EXPECT_EQ(readFile(patch.path), original);
  writeFile(dir.path() / "original", original);
  EXPECT_EQ(patch.sha256, fileSha256Hex((dir.path() / "original").string()));
  EXPECT_EQ(patch.signer, "Lab publisher");
  EXPECT_EQ(patch.version, 2011);

  DeviceOutcome sent;
  sent.sha256 = patch.sha256;
  sent.signer = patch.signer;
  const auto json = outcomesJson({sent, DeviceOutcome{}});
  EXPECT_EQ(json[0]["sha256"], patch.sha256);
  EXPECT_EQ(json[0]["signer"], "Lab publisher");
  EXPECT_TRUE(json[1]["sha256"].is_null());
  EXPECT_TRUE(json[1]["signer"].is_null());

  const std::string copyPath = patch.path;
  copy.reset();
  EXPECT_FALSE(fs::exists(copyPath));
}
