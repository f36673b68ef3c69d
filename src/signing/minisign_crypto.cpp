#include "signing/minisign_crypto.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace minisign {

namespace {

void needSodium() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium cannot start");
}

std::array<std::uint8_t, 64> blake2b512(std::string_view message) {
  std::array<std::uint8_t, 64> digest{};
  crypto_generichash(digest.data(), digest.size(),
                     reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                     nullptr, 0);
  return digest;
}

bool ed25519Verify(const SignatureBytes& sig, const std::uint8_t* data, std::size_t size,
                   const PublicKeyBytes& key) {
  return crypto_sign_verify_detached(sig.data(), data, size, key.data()) == 0;
}

SignatureBytes ed25519Sign(const std::uint8_t* data, std::size_t size, const SecretKey& key) {
  SignatureBytes sig{};
  crypto_sign_detached(sig.data(), nullptr, data, size, key.key.data());
  return sig;
}

std::vector<std::uint8_t> globalMessage(const Signature& s) {
  std::vector<std::uint8_t> bytes(s.signature.begin(), s.signature.end());
  bytes.insert(bytes.end(), s.trustedComment.begin(), s.trustedComment.end());
  return bytes;
}

}  // namespace

MessageDigest::MessageDigest() {
  static_assert(sizeof(crypto_generichash_state) <= sizeof(state_));
  needSodium();
  crypto_generichash_init(reinterpret_cast<crypto_generichash_state*>(state_), nullptr, 0, 64);
}

void MessageDigest::update(const void* bytes, std::size_t size) {
  crypto_generichash_update(reinterpret_cast<crypto_generichash_state*>(state_),
                            static_cast<const unsigned char*>(bytes), size);
}

std::array<std::uint8_t, 64> MessageDigest::final() {
  std::array<std::uint8_t, 64> digest{};
  crypto_generichash_final(reinterpret_cast<crypto_generichash_state*>(state_), digest.data(),
                           digest.size());
  return digest;
}

Verdict verify(const std::vector<PublicKey>& trusted, std::string_view message,
               std::string_view signatureText) {
  needSodium();
  const auto sig = parseSignature(signatureText);
  if (!sig) return Verdict{};
  std::array<std::uint8_t, 64> digest{};
  if (sig->prehashed) digest = blake2b512(message);
  return verifyParsed(trusted, *sig, digest.data(), message);
}

Verdict verifyParsed(const std::vector<PublicKey>& trusted, const Signature& signature,
                     const std::uint8_t* digest64, std::string_view message) {
  needSodium();
  Verdict verdict;
  const Signature* sig = &signature;
  const auto key = std::find_if(trusted.begin(), trusted.end(),
                                [&](const PublicKey& k) { return k.id == sig->id; });
  if (key == trusted.end()) {
    verdict.kind = Verdict::UnknownKey;
    return verdict;
  }
  verdict.kind = Verdict::Mismatch;
  bool fits;
  if (sig->prehashed) {
    fits = ed25519Verify(sig->signature, digest64, 64, key->key);
  } else {
    fits = ed25519Verify(sig->signature, reinterpret_cast<const std::uint8_t*>(message.data()),
                         message.size(), key->key);
  }
  const auto global = globalMessage(*sig);
  if (!fits || !ed25519Verify(sig->globalSignature, global.data(), global.size(), key->key))
    return verdict;
  verdict.kind = Verdict::Good;
  verdict.signer = &*key;
  verdict.trustedComment = sig->trustedComment;
  return verdict;
}

KeyPair generateKeyPair() {
  needSodium();
  KeyPair pair;
  randombytes_buf(pair.secretKey.id.data(), pair.secretKey.id.size());
  crypto_sign_keypair(pair.publicKey.key.data(), pair.secretKey.key.data());
  pair.publicKey.id = pair.secretKey.id;
  pair.publicKey.comment = "minisign public key " + keyIdText(pair.publicKey.id);
  return pair;
}

Signature sign(const SecretKey& key, std::string_view message, const std::string& trustedComment) {
  needSodium();
  Signature s;
  s.prehashed = true;
  s.id = key.id;
  const auto digest = blake2b512(message);
  s.signature = ed25519Sign(digest.data(), digest.size(), key);
  s.trustedComment = trustedComment;
  const auto global = globalMessage(s);
  s.globalSignature = ed25519Sign(global.data(), global.size(), key);
  return s;
}

PublicKey publicKeyOf(const SecretKey& key, const std::string& comment) {
  PublicKey pub;
  pub.id = key.id;
  // An Ed25519 secret key carries its public half in its last 32 bytes.
  std::copy(key.key.begin() + 32, key.key.end(), pub.key.begin());
  pub.comment = comment;
  return pub;
}

}  // namespace minisign
