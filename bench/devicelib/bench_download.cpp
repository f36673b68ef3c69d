// A 256 MiB download through RecvFile from the lab into a file, against a
// plain loopback TCP copy of the same bytes into a file. Target: >= 0.8.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "environment.h"
#include "kestrum.h"
#include "lab.h"
#include "timing.h"

int main(int argc, char** argv) {
  bench::enterPrivateNetwork(argc, argv);
  const std::uint64_t size = 256 * bench::kMiB;
  bench::ScratchFolder work;
  bench::makeFile(work.path + "/template/big.bin", size);
  devsim::LabConfig config;
  config.devices = {bench::benchDevice(work.path + "/template")};
  config.stateDir = work.path + "/state";
  devsim::DeviceLab lab(config);
  std::string error;
  if (!lab.start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::string source = work.path + "/state/BENCH/sdcard/big.bin";
  std::string target = work.path + "/out.bin";

  auto subject = [&] {
    int32_t handle = ConnectServer("127.0.0.2", 9001);
    uint16_t id = 1;
    char buffer[KESTRUM_FILE_BUFFER_SIZE];
    int32_t count = 0, fileSize = 0;
    if (SearchDir("big.bin", KESTRUM_REQ_GET_FILE, &id, &handle) != 0 ||
        RecvData(buffer, &count, &fileSize, id, &handle) != KESTRUM_RECV_SIZE_KNOWN ||
        RecvFile(target.c_str(), fileSize, id, &handle) < 0)
      std::abort();
    StopRecvFile(id);
    ReleaseSocket(&handle);
  };
  const bench::PairResult r = bench::runPairs(
      9, subject, [&] { bench::plainTcpCopy(source, target); },
      [&] { std::filesystem::remove(target); });
  bench::printThroughput("RecvFile 256 MiB vs plain TCP copy", size, r, 0.8);
  lab.stop();
  return 0;
}
