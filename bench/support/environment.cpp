#include "environment.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

extern char** environ;

namespace bench {

void enterPrivateNetwork(int argc, char** argv) {
  const char* inside = std::getenv("TOVARIN_IN_NETNS");
  if (inside && std::string(inside) == "1") return;
  std::vector<char*> args{const_cast<char*>(TOVARIN_NETNS_RUN)};
  for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  ::execv(TOVARIN_NETNS_RUN, args.data());
  std::perror("netns-run.sh");
  std::exit(77);
}

ScratchFolder::ScratchFolder() {
  // Memory-backed when there is room, so that disk write-back does not
  // drown the difference being measured.
  std::error_code ec;
  const auto space = std::filesystem::space("/dev/shm", ec);
  const std::string base = (!ec && space.available > (3ull << 30)) ? "/dev/shm" : "/tmp";
  std::string pattern = base + "/tovarin-bench-XXXXXX";
  if (!::mkdtemp(pattern.data())) std::abort();
  path = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

void makeFile(const std::string& path, std::uint64_t size) {
  constexpr std::size_t kBuffer = 256 * 1024;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::vector<unsigned char> buffer(kBuffer);
  std::uint32_t x = 12345;
  for (auto& b : buffer) b = static_cast<unsigned char>((x = x * 1664525u + 1013904223u) >> 24);
  for (std::uint64_t left = size; left > 0;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kBuffer));
    buffer[0] = static_cast<unsigned char>(left);  // no two blocks alike
    if (std::fwrite(buffer.data(), 1, n, f) != n) std::abort();
    left -= n;
  }
  if (std::fclose(f) != 0) std::abort();
}

bool runProgram(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int runProgramTo(const std::vector<std::string>& argv, const std::string& outputPath) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t files;
  ::posix_spawn_file_actions_init(&files);
  ::posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, args[0], &files, nullptr, args.data(), environ);
  ::posix_spawn_file_actions_destroy(&files);
  if (spawned != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace bench
