// Nine downloads at once against one, by aggregate throughput: running them
// together must not make the whole slower than one after another would be.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "environment.h"
#include "kestrum.h"
#include "lab.h"
#include "timing.h"

namespace {
void fetch(const std::string& target) {
  int32_t handle = ConnectServer("127.0.0.2", 9001);
  uint16_t id = 1;
  char buffer[KESTRUM_FILE_BUFFER_SIZE];
  int32_t count = 0, size = 0;
  if (SearchDir("clip.bin", KESTRUM_REQ_GET_FILE, &id, &handle) != 0 ||
      RecvData(buffer, &count, &size, id, &handle) != KESTRUM_RECV_SIZE_KNOWN ||
      RecvFile(target.c_str(), size, id, &handle) < 0)
    std::abort();
  StopRecvFile(id);
  ReleaseSocket(&handle);
}
}  // namespace

int main(int argc, char** argv) {
  bench::enterPrivateNetwork(argc, argv);
  const std::uint64_t size = 32 * bench::kMiB;
  bench::ScratchFolder work;
  bench::makeFile(work.path + "/template/clip.bin", size);
  devsim::LabConfig config;
  config.devices = {bench::benchDevice(work.path + "/template")};
  config.stateDir = work.path + "/state";
  devsim::DeviceLab lab(config);
  std::string error;
  if (!lab.start(&error)) return 1;

  // The subject is nine at once, the baseline one alone.
  const bench::PairResult r = bench::runPairs(
      9,
      [&] {
        std::vector<std::thread> threads;
        for (int i = 0; i < 9; ++i)
          threads.emplace_back([&, i] { fetch(work.path + "/nine" + std::to_string(i) + ".bin"); });
        for (auto& t : threads) t.join();
      },
      [&] { fetch(work.path + "/one.bin"); });
  const double o = r.baseline, n = r.subject;
  std::printf(
      "Nine 32 MiB downloads at once vs one\n"
      "  one: median %.3f s (%.0f MiB/s); nine: median %.3f s (%.0f MiB/s aggregate)\n"
      "  ratio (aggregate nine / one) %.2f over 9 pairs\n",
      o, size / o / bench::kMiB, n, 9 * size / n / bench::kMiB, (9 * size / n) / (size / o));
  lab.stop();
  return 0;
}
