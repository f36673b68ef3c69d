#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// A new, never-before-seen file beside `target`; O_EXCL and O_NOFOLLOW so
// that nothing placed there beforehand is reused or followed.
int createTemporaryBeside(const fs::path& target, mode_t mode, std::string& name) {
  static std::atomic<unsigned> counter{0};
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = (folder / ("." + target.filename().string() + "." + std::to_string(::getpid()) + "." +
                      std::to_string(counter++) + ".tmp"))
               .string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool replaceFileContents(const fs::path& file, std::string_view bytes) {
  // A settings file reached through a link is rewritten where it really lives.
  // A file that does not exist yet is no link: it is created.
  std::error_code ec;
  fs::path target = file;
  if (fs::is_symlink(fs::symlink_status(file, ec))) {
    target = fs::canonical(file, ec);
    if (ec) return false;
  }

  mode_t mode = 0666;  // the umask applies, as for any new file
  bool existed = false;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return false;
    // Renaming would get round a file that refuses writes; refuse as an
    // in-place write would.
    const int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (probe < 0) return false;
    ::close(probe);
    mode = st.st_mode & 07777;
    existed = true;
  }

  std::string temporary;
  const int fd = createTemporaryBeside(target, mode, temporary);
  if (fd < 0) return false;
  bool ok = writeAll(fd, bytes);
  if (ok && existed) ok = ::fchmod(fd, mode) == 0;
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}
