#include "signing/signed_file.h"

#include <openssl/evp.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "settings/message_lists.h"
#include "signing/signing_texts.h"

namespace fs = std::filesystem;

namespace {

// A signature file is four short lines.
constexpr std::uintmax_t kMaxSignatureFile = 16384;
constexpr std::size_t kChunk = 1 << 20;

std::string replaced(std::string text, const std::string& name) {
  if (const std::size_t at = text.find("%1"); at != std::string::npos) text.replace(at, 2, name);
  return text;
}

std::string hexOf(const unsigned char* bytes, std::size_t size) {
  static const char* hex = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += hex[bytes[i] >> 4];
    text += hex[bytes[i] & 15];
  }
  return text;
}

}  // namespace

std::string signaturePathOf(const std::string& path) { return path + ".minisig"; }

bool checkFileSignature(const std::vector<minisign::PublicKey>& trusted, const std::string& path,
                        const std::string& signatureText, SignedFile* out, std::string* error,
                        std::ostream* copy) {
  *out = SignedFile{};
  std::error_code ec;
  std::ifstream in(path, std::ios::binary);
  if (!fs::is_regular_file(path, ec) || !in) {
    *error = "cannot read " + path;
    return false;
  }
  const auto signature = minisign::parseSignature(signatureText);
  // Legacy signatures sign the message itself: it is kept whole, as minisign does.
  const bool keepWhole = signature && !signature->prehashed;
  std::string whole;
  minisign::MessageDigest digest;
  std::vector<char> chunk(kChunk);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) break;
    digest.update(chunk.data(), got);
    if (keepWhole) whole.append(chunk.data(), got);
    if (copy && !copy->write(chunk.data(), static_cast<std::streamsize>(got))) {
      *error = "cannot write the copy of " + path;
      return false;
    }
  }
  if (in.bad()) {
    *error = "cannot read " + path;
    return false;
  }
  if (!signature) return true;  // unsigned
  const auto hash = digest.final();
  out->verdict = minisign::verifyParsed(trusted, *signature, hash.data(), whole);
  if (out->good()) out->signer = out->verdict.signer->comment;
  return true;
}

bool readSignedFile(const std::vector<minisign::PublicKey>& trusted, const std::string& path,
                    SignedFile* out, std::string* error, std::ostream* copy) {
  std::string signature;
  const std::string sigPath = signaturePathOf(path);
  std::error_code ec;
  if (fs::file_size(sigPath, ec) <= kMaxSignatureFile && !ec) {
    std::ifstream in(sigPath, std::ios::binary);
    signature.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return checkFileSignature(trusted, path, signature, out, error, copy);
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

std::string fileSha256Hex(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
  std::vector<char> chunk(kChunk);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    EVP_DigestUpdate(context, chunk.data(), static_cast<std::size_t>(in.gcount()));
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_DigestFinal_ex(context, digest, &size);
  EVP_MD_CTX_free(context);
  return in.bad() ? std::string() : hexOf(digest, size);
}

std::unique_ptr<PrivateCopy> PrivateCopy::checked(const std::vector<minisign::PublicKey>& trusted,
                                                  const std::string& path, SignedFile* verdict,
                                                  std::string* error) {
  std::error_code ec;
  std::string pattern = (fs::temp_directory_path(ec) / "tovarin-send-XXXXXX").string();
  if (ec || !::mkdtemp(pattern.data())) {  // mode 0700: nobody else may swap the file
    *error = "cannot make a private folder for the patch";
    return nullptr;
  }
  const std::string copyPath = (fs::path(pattern) / fs::path(path).filename()).string();
  std::unique_ptr<PrivateCopy> copy(new PrivateCopy(pattern, copyPath));
  std::ofstream out(copyPath, std::ios::binary | std::ios::trunc);
  if (!readSignedFile(trusted, path, verdict, error, &out)) return nullptr;
  out.close();
  if (!out) {
    *error = "cannot write the patch's private copy";
    return nullptr;
  }
  if (!verdict->good()) return nullptr;
  return copy;
}

PrivateCopy::~PrivateCopy() {
  std::error_code ec;
  fs::remove_all(folder_, ec);
}
