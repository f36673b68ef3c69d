#include "signing/minisign_format.h"

#include <sodium.h>

#include <cstring>
#include <vector>

namespace minisign {

namespace {

constexpr std::string_view kUntrusted = "untrusted comment: ";
constexpr std::string_view kTrusted = "trusted comment: ";
// The longest line any of the formats needs; a longer one is refused.
constexpr std::size_t kMaxLine = 8192;

struct Lines {
  explicit Lines(std::string_view text) : rest(text) {}
  // The next line without its end ("\n" or "\r\n"); nullopt at the end.
  std::optional<std::string_view> next() {
    if (rest.empty()) return std::nullopt;
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kMaxLine) return std::nullopt;
    return line;
  }
  std::string_view rest;
};

bool initSodium() { return sodium_init() >= 0; }

std::optional<std::vector<std::uint8_t>> fromBase64(std::string_view text) {
  if (!initSodium() || text.size() > kMaxLine) return std::nullopt;
  std::vector<std::uint8_t> bytes(text.size() / 4 * 3 + 3);
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length,
                        &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      end != text.data() + text.size())
    return std::nullopt;
  bytes.resize(length);
  return bytes;
}

std::string toBase64(const std::uint8_t* bytes, std::size_t size) {
  initSodium();
  std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::optional<std::string> commentAfter(std::optional<std::string_view> line,
                                        std::string_view prefix) {
  if (!line || line->substr(0, prefix.size()) != prefix) return std::nullopt;
  return std::string(line->substr(prefix.size()));
}

template <std::size_t N>
void take(std::array<std::uint8_t, N>* out, const std::uint8_t* from) {
  std::memcpy(out->data(), from, N);
}

void append(std::vector<std::uint8_t>* out, const void* bytes, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  out->insert(out->end(), p, p + size);
}

// The secret key's check value: BLAKE2b-256 of algorithm, id and key.
std::array<std::uint8_t, 32> secretKeyCheck(const SecretKey& key) {
  std::array<std::uint8_t, 32> check{};
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, check.size());
  crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>("Ed"), 2);
  crypto_generichash_update(&state, key.id.data(), key.id.size());
  crypto_generichash_update(&state, key.key.data(), key.key.size());
  crypto_generichash_final(&state, check.data(), check.size());
  return check;
}

// Secret key layout: algorithm "Ed", kdf algorithm, check algorithm "B2",
// kdf salt (32), kdf ops and memory limits (8 each), key id, key, check.
constexpr std::size_t kSaltAt = 6, kIdAt = 6 + 32 + 16, kKeyAt = kIdAt + 8, kCheckAt = kKeyAt + 64,
                      kSecretSize = kCheckAt + 32;

}  // namespace

std::string keyIdText(const KeyId& id) {
  static const char* hex = "0123456789ABCDEF";
  std::string text;
  // minisign reads the id as a little-endian number and prints it.
  for (std::size_t i = id.size(); i-- > 0;) {
    text += hex[id[i] >> 4];
    text += hex[id[i] & 15];
  }
  return text;
}

std::optional<PublicKey> parsePublicKey(std::string_view text) {
  Lines lines(text);
  PublicKey key;
  auto comment = commentAfter(lines.next(), kUntrusted);
  auto line = lines.next();
  if (!comment || !line) return std::nullopt;
  auto bytes = fromBase64(*line);
  if (!bytes || bytes->size() != 2 + 8 + 32 || (*bytes)[0] != 'E' || (*bytes)[1] != 'd')
    return std::nullopt;
  take(&key.id, bytes->data() + 2);
  take(&key.key, bytes->data() + 10);
  key.comment = std::move(*comment);
  return key;
}

std::optional<SecretKey> parseSecretKey(std::string_view text, std::string* error) {
  Lines lines(text);
  auto comment = commentAfter(lines.next(), kUntrusted);
  auto line = lines.next();
  auto bytes = line ? fromBase64(*line) : std::nullopt;
  if (!comment || !bytes || bytes->size() != kSecretSize ||
      std::memcmp(bytes->data(), "Ed", 2) != 0 || std::memcmp(bytes->data() + 4, "B2", 2) != 0) {
    *error = "not a minisign secret key";
    return std::nullopt;
  }
  if ((*bytes)[2] != 0 || (*bytes)[3] != 0) {
    *error =
        "the secret key is protected by a password: sign with minisign -S, or make a key "
        "without one (tovarin-sign keygen, minisign -G -W)";
    return std::nullopt;
  }
  SecretKey key;
  take(&key.id, bytes->data() + kIdAt);
  take(&key.key, bytes->data() + kKeyAt);
  if (std::memcmp(secretKeyCheck(key).data(), bytes->data() + kCheckAt, 32) != 0) {
    *error = "the secret key is damaged (its check value does not match)";
    return std::nullopt;
  }
  return key;
}

std::optional<Signature> parseSignature(std::string_view text) {
  Lines lines(text);
  if (!commentAfter(lines.next(), kUntrusted)) return std::nullopt;
  auto first = lines.next();
  auto trusted = commentAfter(lines.next(), kTrusted);
  auto global = lines.next();
  if (!first || !trusted || !global) return std::nullopt;
  auto sig = fromBase64(*first);
  auto globalSig = fromBase64(*global);
  if (!sig || !globalSig || sig->size() != 2 + 8 + 64 || globalSig->size() != 64)
    return std::nullopt;
  Signature out;
  if ((*sig)[0] != 'E' || ((*sig)[1] != 'D' && (*sig)[1] != 'd')) return std::nullopt;
  out.prehashed = (*sig)[1] == 'D';
  take(&out.id, sig->data() + 2);
  take(&out.signature, sig->data() + 10);
  out.trustedComment = std::move(*trusted);
  take(&out.globalSignature, globalSig->data());
  return out;
}

std::string formatPublicKey(const PublicKey& key) {
  std::vector<std::uint8_t> bytes;
  append(&bytes, "Ed", 2);
  append(&bytes, key.id.data(), key.id.size());
  append(&bytes, key.key.data(), key.key.size());
  return std::string(kUntrusted) + key.comment + "\n" + toBase64(bytes.data(), bytes.size()) + "\n";
}

std::string formatSecretKey(const SecretKey& key, const std::string& comment) {
  std::vector<std::uint8_t> bytes(kSecretSize, 0);
  std::memcpy(bytes.data(), "Ed", 2);
  std::memcpy(bytes.data() + 4, "B2", 2);  // kdf algorithm stays 0: no password
  std::memcpy(bytes.data() + kIdAt, key.id.data(), key.id.size());
  std::memcpy(bytes.data() + kKeyAt, key.key.data(), key.key.size());
  const auto check = secretKeyCheck(key);
  std::memcpy(bytes.data() + kCheckAt, check.data(), check.size());
  static_assert(kSaltAt == 6);
  const std::string text =
      std::string(kUntrusted) + comment + "\n" + toBase64(bytes.data(), bytes.size()) + "\n";
  sodium_memzero(bytes.data(), bytes.size());
  return text;
}

std::string formatSignature(const Signature& signature, const std::string& untrustedComment) {
  std::vector<std::uint8_t> bytes;
  append(&bytes, signature.prehashed ? "ED" : "Ed", 2);
  append(&bytes, signature.id.data(), signature.id.size());
  append(&bytes, signature.signature.data(), signature.signature.size());
  return std::string(kUntrusted) + untrustedComment + "\n" + toBase64(bytes.data(), bytes.size()) +
         "\n" + std::string(kTrusted) + signature.trustedComment + "\n" +
         toBase64(signature.globalSignature.data(), signature.globalSignature.size()) + "\n";
}

}  // namespace minisign
