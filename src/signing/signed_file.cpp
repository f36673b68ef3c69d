#include "signing/signed_file.h"

#include <openssl/evp.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "settings/message_lists.h"
#include "signing/signing_texts.h"

namespace fs = std::filesystem;

namespace {

// A signature file is four short lines.
constexpr std::uintmax_t kMaxSignatureFile = 16384;

bool readWhole(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  if (in.bad()) return false;
  *bytes = std::move(all).str();
  return true;
}

std::string replaced(std::string text, const std::string& name) {
  if (const std::size_t at = text.find("%1"); at != std::string::npos) text.replace(at, 2, name);
  return text;
}

}  // namespace

bool readFileBytes(const std::string& path, std::string* bytes) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && readWhole(path, bytes);
}

std::string signaturePathOf(const std::string& path) { return path + ".minisig"; }

bool readSignedFile(const std::vector<minisign::PublicKey>& trusted, const std::string& path,
                    SignedFile* out, std::string* error) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec) || !readWhole(path, &out->bytes)) {
    *error = "cannot read " + path;
    return false;
  }
  std::string signature;
  const std::string sigPath = signaturePathOf(path);
  if (fs::file_size(sigPath, ec) > kMaxSignatureFile || ec || !readWhole(sigPath, &signature))
    signature.clear();
  out->verdict = minisign::verify(trusted, out->bytes, signature);
  out->signer = out->good() ? out->verdict.signer->comment : std::string();
  return true;
}

std::string signatureRefusal(const MessageLists& texts, const std::string& what,
                             const minisign::Verdict& verdict) {
  const bool mismatch = verdict.kind == minisign::Verdict::Mismatch;
  if (what.empty())
    return texts.textOf(MsgList::Signing,
                        mismatch ? signmsg::kCatalogueMismatch : signmsg::kCatalogueNotTrusted);
  return replaced(
      texts.textOf(MsgList::Signing, mismatch ? signmsg::kFileMismatch : signmsg::kFileNotTrusted),
      what);
}

std::string sha256Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
  static const char* hex = "0123456789abcdef";
  std::string text;
  for (unsigned int i = 0; i < size; ++i) {
    text += hex[digest[i] >> 4];
    text += hex[digest[i] & 15];
  }
  return text;
}

std::unique_ptr<PrivateCopy> PrivateCopy::write(const std::string& bytes, const std::string& name,
                                                std::string* error) {
  std::error_code ec;
  std::string pattern = (fs::temp_directory_path(ec) / "tovarin-send-XXXXXX").string();
  if (ec || !::mkdtemp(pattern.data())) {  // mode 0700: nobody else may swap the file
    *error = "cannot make a private folder for the patch";
    return nullptr;
  }
  const std::string path = (fs::path(pattern) / fs::path(name).filename()).string();
  std::unique_ptr<PrivateCopy> copy(new PrivateCopy(pattern, path));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    *error = "cannot write the patch's private copy";
    return nullptr;
  }
  return copy;
}

PrivateCopy::~PrivateCopy() {
  std::error_code ec;
  fs::remove_all(folder_, ec);
}
