#include "common/file_helpers.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

struct MdCtxFree {
  void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

}  // namespace

std::string FileMd5Hex(const std::string& fileName) {
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "cannot open " + fileName);
  FdCloser closer{fd};
  // Exclusive sharing: writers that honour advisory locks wait for us.
  ::flock(fd, LOCK_SH | LOCK_NB);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

  std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1)
    throw std::system_error(ENOMEM, std::generic_category(), "md5 init");

  constexpr std::size_t kBufferSize = 256 * 1024;
  std::vector<unsigned char> buffer(kBufferSize);
  for (;;) {
    ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "cannot read " + fileName);
    }
    EVP_DigestUpdate(ctx.get(), buffer.data(), static_cast<std::size_t>(got));
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(ctx.get(), digest, &length);

  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 0x0f]);
  }
  return hex;
}

void ClearDirectory(const std::string& folder) {
  std::error_code ec;
  fs::directory_iterator it(fs::path(folder), fs::directory_options::skip_permission_denied, ec);
  if (ec) return;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return;
    const fs::path entry = it->path();
    std::error_code typeEc;
    // A link is deleted as a file; its target is never followed.
    if (it->is_directory(typeEc) && !it->is_symlink(typeEc)) {
      ClearDirectory(entry.string());
    } else {
      std::error_code removeEc;
      fs::remove(entry, removeEc);
    }
  }
}
