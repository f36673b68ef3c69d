// Pack of one 512 MiB download (page cache) vs. dd bs=1M copying the same
// bytes. Pack flushes the patch to disk before giving it its final name, so
// dd does too (conv=fsync): both times end with the bytes on disk.
// Target: Pack within 1.25x of dd's time.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "environment.h"
#include "timing.h"
#include "updateservice/packer.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 512;
  const fs::path folder =
      fs::temp_directory_path() / ("tovarin-bench-pack-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string work = folder.string() + "/";
  {
    std::ofstream out(folder / "0", std::ios::binary);
    std::vector<char> block(1 << 20);
    for (std::size_t i = 0; i < mib; ++i) {
      for (std::size_t j = 0; j < block.size(); ++j) block[j] = static_cast<char>(i * 131 + j * 7);
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  const fs::path patch = folder / "47RKT2011.patch";
  const fs::path copy = folder / "dd.out";
  bool ok = true;
  auto prepare = [&] {
    std::error_code ec;
    fs::remove(patch, ec);
    fs::remove(copy, ec);
  };
  auto subject = [&] {
    ok = Pack(work, "47RKT", 2011, {"app.bin"}, "2010").ok && fs::file_size(patch) > (mib << 20) &&
         ok;
  };
  auto baseline = [&] {
    ok = bench::runProgram({"dd", "if=" + (folder / "0").string(), "of=" + copy.string(), "bs=1M",
                            "conv=fsync", "status=none"}) &&
         ok;
  };
  const bench::PairResult r = bench::runPairs(11, subject, baseline, prepare, true);
  fs::remove_all(folder);

  std::printf("Pack %zu MiB:      median %.3f s (%.0f MiB/s)\n", mib, r.subject, mib / r.subject);
  std::printf("dd bs=1M %zu MiB:  median %.3f s (%.0f MiB/s)\n", mib, r.baseline, mib / r.baseline);
  std::printf("time ratio Pack / dd: %.3f (target <= 1.25), 11 pairs\n", r.subject / r.baseline);
  if (!ok) {
    std::printf("a run failed\n");
    return 1;
  }
  return 0;
}
