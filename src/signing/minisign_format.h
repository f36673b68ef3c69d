// minisign's file formats: public keys (.pub), secret keys (.key, only the
// unencrypted kind that `minisign -G -W` writes) and signatures (.minisig).
// Parsing never trusts its input: anything off the format is refused.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace minisign {

using KeyId = std::array<std::uint8_t, 8>;
using PublicKeyBytes = std::array<std::uint8_t, 32>;
using SecretKeyBytes = std::array<std::uint8_t, 64>;  // seed then public key
using SignatureBytes = std::array<std::uint8_t, 64>;

struct PublicKey {
  KeyId id{};
  PublicKeyBytes key{};
  std::string comment;  // the untrusted comment line, without its prefix
};

struct SecretKey {
  KeyId id{};
  SecretKeyBytes key{};
};

struct Signature {
  bool prehashed = true;  // "ED": over the BLAKE2b-512 of the file; "Ed": over the file
  KeyId id{};
  SignatureBytes signature{};
  std::string trustedComment;        // without its prefix
  SignatureBytes globalSignature{};  // over signature || trustedComment
};

// The key id as minisign prints it: 16 upper-case hex digits.
std::string keyIdText(const KeyId& id);

std::optional<PublicKey> parsePublicKey(std::string_view text);
// Secret keys protected by a password are refused (*error says so).
std::optional<SecretKey> parseSecretKey(std::string_view text, std::string* error);
std::optional<Signature> parseSignature(std::string_view text);

std::string formatPublicKey(const PublicKey& key);
std::string formatSecretKey(const SecretKey& key, const std::string& comment);
std::string formatSignature(const Signature& signature, const std::string& untrustedComment);

}  // namespace minisign
