#include "md5.h"

#include <openssl/evp.h>

#include <cstdio>
#include <vector>

namespace wire {

struct Md5::State {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  ~State() { EVP_MD_CTX_free(ctx); }
};

Md5::Md5() : state_(std::make_unique<State>()) {
  EVP_DigestInit_ex(state_->ctx, EVP_md5(), nullptr);
}
Md5::~Md5() = default;

void Md5::update(const void* data, std::size_t size) { EVP_DigestUpdate(state_->ctx, data, size); }

std::string Md5::hex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_DigestFinal_ex(state_->ctx, digest, &len);
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < len; ++i) {
    out += kDigits[digest[i] >> 4];
    out += kDigits[digest[i] & 15];
  }
  return out;
}

bool md5File(const std::string& path, std::string* hex) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  Md5 md5;
  std::vector<char> buffer(256 * 1024);
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) md5.update(buffer.data(), n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (ok) *hex = md5.hex();
  return ok;
}

bool isMd5Hex(const std::string& text) {
  if (text.size() != 32) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace wire
