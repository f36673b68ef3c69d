// configs.ini and language.ext on a full disk: a write that cannot complete
// fails and leaves the old file byte for byte. Runs in a private mount
// namespace on a tiny tmpfs of its own; exits 77 (skipped) where this process
// may not create one.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/language_index.h"
#include "settings/settings_file.h"

namespace fs = std::filesystem;

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "FAILED: %s\n", what);
  ++failures;
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// Writes until the file system refuses another byte.
void fillDisk(const fs::path& filler) {
  const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return;
  const std::string block(4096, 'f');
  while (::write(fd, block.data(), block.size()) > 0) {
  }
  while (::write(fd, "f", 1) == 1) {
  }
  ::close(fd);
}

void runChecks(const fs::path& exe) {
  for (const char* sub : {"download", "cach", "patch", "language"}) fs::create_directory(exe / sub);
  // About 3 KB: one page of the tmpfs. The rewrites below need two.
  const std::string settings = "[CONFIGS]\n; " + std::string(3000, '-') +
                               "\ndownloadsavepath=" + (exe / "download").string() +
                               "\ncachpath=" + (exe / "cach").string() +
                               "\npatchsavepath=" + (exe / "patch").string() + "\nspeedlimit=123\n";
  writeFile(settingsFilePath(exe), settings);
  const std::string languages =
      "[CONFIGS]\nlanguage=English\n; " + std::string(3000, '-') +
      "\n[LANGUAGELIST]\nlistcount=1\nindex0=English\nfile0=English.lng\n";
  writeFile(languageIndexPath(exe), languages);

  fillDisk(exe / "filler");
  const std::string longValue(2000, 'x');
  check(!writeFolderKey(exe, kPatchFolderKey, (exe / longValue).string()),
        "a write on the full disk reports failure");
  check(readFile(settingsFilePath(exe)) == settings, "configs.ini is kept byte for byte");
  check(!writeConfiguredLanguage(exe, longValue), "a language write on the full disk fails");
  check(readFile(languageIndexPath(exe)) == languages, "language.ext is kept byte for byte");
  const StartupSettings read = readStartupSettings(exe);
  check(read.speedLimit == 123, "the speed limit survives");
  check(read.patchFolder == (exe / "patch").string(), "the patch folder survives");

  // With room again the same write goes through and leaves nothing beside it.
  fs::remove(exe / "filler");
  check(writeFolderKey(exe, kPatchFolderKey, (exe / "patch").string() + "2"),
        "the write succeeds once there is room");
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(exe)) entries += entry.is_regular_file();
  check(entries == 1, "no temporary file is left behind");
}

}  // namespace

int main() {
  ::alarm(60);  // bounded, whatever happens
  if (::unshare(CLONE_NEWNS) != 0) {
    std::perror("unshare(CLONE_NEWNS); skipped");
    return 77;
  }
  // Nothing mounted here may show outside this process.
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    std::perror("mount --make-rprivate /; skipped");
    return 77;
  }
  char dir[] = "/tmp/tovarin-full-disk-XXXXXX";
  if (!::mkdtemp(dir)) return 77;
  if (::mount("tovarin-full", dir, "tmpfs", 0, "size=64k,nr_inodes=64") != 0) {
    std::perror("mount tmpfs; skipped");
    ::rmdir(dir);
    return 77;
  }
  runChecks(fs::path(dir));
  ::umount2(dir, MNT_DETACH);
  ::rmdir(dir);
  std::printf("%s\n", failures == 0 ? "all checks passed" : "some checks failed");
  return failures == 0 ? 0 : 1;
}
