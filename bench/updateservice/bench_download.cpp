// The update download (CurlHttpClient::getToFile with progress reports) vs.
// `curl -o` of the same 256 MiB file from the same loopback update server.
// Target: within 1.1x of curl's time.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "environment.h"
#include "timing.h"
#include "update_server.h"
#include "updateservice/curl_http_client.h"

namespace fs = std::filesystem;

namespace {

// Counts reports as the window would receive them.
struct CountingProgress final : IHttpProgress {
  void transferStarted(std::uint64_t) override {}
  void transferProgress(std::uint64_t, std::uint64_t) override { ++reports; }
  void transferEnded() override {}
  int reports = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  const fs::path root =
      fs::temp_directory_path() / ("tovarin-bench-dl-" + std::to_string(::getpid()));
  fs::create_directories(root / "IPC" / "47RKT");
  {
    std::ofstream out(root / "IPC" / "47RKT" / "app.bin.patch", std::ios::binary);
    std::vector<char> block(1 << 20);
    for (std::size_t i = 0; i < mib; ++i) {
      for (std::size_t j = 0; j < block.size(); ++j) block[j] = static_cast<char>(i * 31 + j * 3);
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  devsim::UpdateServer server(root.string(), "127.0.0.1", 0);
  std::string error;
  if (!server.start(&error)) {
    std::printf("update server: %s\n", error.c_str());
    return 1;
  }
  const std::string url =
      "http://127.0.0.1:" + std::to_string(server.port()) + "/IPC/47RKT/app.bin.patch";
  const fs::path ours = root / "ours", theirs = root / "theirs";

  bool ok = true;
  CountingProgress progress;
  auto prepare = [&] {
    std::error_code ec;
    fs::remove(ours, ec);
    fs::remove(theirs, ec);
  };
  const std::uintmax_t size = std::uintmax_t{mib} << 20;
  auto complete = [&](const fs::path& file) {
    std::error_code ec;
    return fs::file_size(file, ec) == size;
  };
  auto subject = [&] {
    ok = CurlHttpClient().getToFile(url, ours.string(), &progress).ok && complete(ours) && ok;
  };
  auto baseline = [&] {
    ok = bench::runProgram({"curl", "-sS", "-f", "--noproxy", "*", "-o", theirs.string(), url}) &&
         complete(theirs) && ok;
  };
  const bench::PairResult r = bench::runPairs(11, subject, baseline, prepare, true);
  server.stop();
  fs::remove_all(root);

  std::printf("getToFile %zu MiB: median %.3f s (%.0f MiB/s), %d progress reports per run\n", mib,
              r.subject, mib / r.subject, progress.reports / 12);
  std::printf("curl -o %zu MiB:   median %.3f s (%.0f MiB/s)\n", mib, r.baseline, mib / r.baseline);
  std::printf("time ratio getToFile / curl: %.3f (target <= 1.1), 11 pairs\n",
              r.subject / r.baseline);
  if (!ok) {
    std::printf("a download failed\n");
    return 1;
  }
  return 0;
}
