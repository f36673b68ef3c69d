// FileMd5Hex on a 512 MiB file in the page cache vs. md5sum on the same file.
// Target: at least 0.9 of md5sum's throughput.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/file_helpers.h"
#include "timing.h"

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 512;
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("tovarin-bench-md5-" + std::to_string(::getpid()));
  {
    std::ofstream out(file, std::ios::binary);
    std::vector<char> block(1 << 20);
    for (std::size_t i = 0; i < mib; ++i) {
      for (std::size_t j = 0; j < block.size(); ++j) block[j] = static_cast<char>(i * 131 + j * 7);
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  std::string ours, theirs;
  auto subject = [&] { ours = FileMd5Hex(file.string()); };
  auto baseline = [&] {
    const std::string cmd = "md5sum '" + file.string() + "'";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    char buf[128] = {};
    if (pipe && std::fgets(buf, sizeof buf, pipe)) theirs.assign(buf, 32);
    if (pipe) ::pclose(pipe);
  };
  const bench::PairResult r = bench::runPairs(9, subject, baseline, {}, true);
  std::filesystem::remove(file);
  const double subjectMBs = mib / r.subject, baselineMBs = mib / r.baseline;
  std::printf("FileMd5Hex %zu MiB: median %.3f s (%.0f MiB/s)\n", mib, r.subject, subjectMBs);
  std::printf("md5sum     %zu MiB: median %.3f s (%.0f MiB/s)\n", mib, r.baseline, baselineMBs);
  std::printf("throughput ratio FileMd5Hex / md5sum: %.3f (target >= 0.9)\n",
              subjectMBs / baselineMBs);
  if (ours != theirs) {
    std::printf("digests differ: %s vs %s\n", ours.c_str(), theirs.c_str());
    return 1;
  }
  return 0;
}
