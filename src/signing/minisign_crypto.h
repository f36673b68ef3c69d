// Signing and checking in minisign's way, with libsodium (the library
// minisign itself uses): Ed25519 over the file's BLAKE2b-512 ("ED", the
// default) or over the file itself (the legacy "Ed"), and a second Ed25519
// signature over the first one and the trusted comment.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "signing/minisign_format.h"

namespace minisign {

// The outcome of checking one signature against the keys one trusts.
struct Verdict {
  enum Kind {
    Good,        // signed by `signer`
    Unsigned,    // no signature, or one that cannot be read
    UnknownKey,  // signed, but by a key nobody trusts
    Mismatch,    // a trusted key's signature that does not fit the bytes
  } kind = Unsigned;
  const PublicKey* signer = nullptr;  // Good only; points into the keys given
  std::string trustedComment;         // Good only
};

// Checks signatureText (a .minisig file's content; empty when there is none)
// over message.
Verdict verify(const std::vector<PublicKey>& trusted, std::string_view message,
               std::string_view signatureText);

// The same for a signature already parsed, whose message is known only by
// its BLAKE2b-512 digest (prehashed signatures) or given whole (legacy
// ones: message). A prehashed signature ignores message, a legacy one the
// digest.
Verdict verifyParsed(const std::vector<PublicKey>& trusted, const Signature& signature,
                     const std::uint8_t* digest64, std::string_view message);

// BLAKE2b-512 of a message given piece by piece, as prehashed signatures sign it.
class MessageDigest {
 public:
  MessageDigest();
  void update(const void* bytes, std::size_t size);
  std::array<std::uint8_t, 64> final();

 private:
  alignas(64) unsigned char state_[384];
};

struct KeyPair {
  PublicKey publicKey;
  SecretKey secretKey;
};
KeyPair generateKeyPair();

// A prehashed signature of message, as `minisign -S` makes it.
Signature sign(const SecretKey& key, std::string_view message, const std::string& trustedComment);

// The public half kept in a secret key.
PublicKey publicKeyOf(const SecretKey& key, const std::string& comment);

}  // namespace minisign
