// A 256 MiB SendUpdatePatch into a lab device, against a loopback TCP copy
// of the same bytes whose receiver does what the lab camera does with an
// upload: it writes every block to a file and adds it to an MD5 digest.
// Two figures: the upload phase (until the device reports 40, its MD5 check
// included), target >= 0.8 of the baseline's throughput, and the whole call
// (the device then also unpacks and installs every byte twice more).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "environment.h"
#include "kestrum.h"
#include "lab.h"
#include "md5.h"
#include "patchformat.h"
#include "timing.h"

namespace {
std::chrono::steady_clock::time_point g_start, g_unpackStart;
void onProgress(int32_t value, uint16_t channel) {
  if (channel == KESTRUM_CHANNEL_SEND_PATCH && value == KESTRUM_SEND_UNPACK_STAGE)
    g_unpackStart = std::chrono::steady_clock::now();
}
}  // namespace

int main(int argc, char** argv) {
  bench::enterPrivateNetwork(argc, argv);
  bench::ScratchFolder work;
  bench::makeFile(work.path + "/app.bin", 256 * bench::kMiB - 1024);
  std::string patch = work.path + "/47RKT2011.patch", error;
  if (!patchformat::writePatch(patch, "47RKT", 2011, {{"app.bin", work.path + "/app.bin"}},
                               patchformat::buildInstallScript("2010", {"app.bin"}), &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::string md5;
  wire::md5File(patch, &md5);
  const std::uint64_t size = std::filesystem::file_size(patch);

  devsim::LabConfig config;
  config.devices = {bench::benchDevice(work.path + "/template")};
  config.stateDir = work.path + "/state";
  devsim::DeviceLab lab(config);
  if (!lab.start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  set_callback_curprogress(onProgress);
  std::vector<double> uploadPhase;
  auto subject = [&] {
    int32_t handle = ConnectServer("127.0.0.2", 9001);
    g_start = std::chrono::steady_clock::now();
    if (SendUpdatePatch(patch.c_str(), md5.c_str(), &handle) != KESTRUM_SEND_DELIVERED)
      std::abort();
    uploadPhase.push_back(std::chrono::duration<double>(g_unpackStart - g_start).count());
    ReleaseSocket(&handle);
  };
  const std::string copy = work.path + "/copy";
  auto baseline = [&] {
    if (bench::hashingTcpCopy(patch, copy) != md5) std::abort();
  };
  const bench::PairResult r =
      bench::runPairs(9, subject, baseline, [&] { std::filesystem::remove(copy); });
  bench::printThroughput("SendUpdatePatch 256 MiB (whole call) vs TCP copy into a hashing receiver",
                         size, r, 0);
  const double u = bench::median(uploadPhase);
  std::printf(
      "  upload phase only (to progress 40): median %.3f s (%.0f MiB/s), ratio %.2f (target >= "
      "0.8)\n",
      u, size / u / bench::kMiB, r.baseline / u);
  lab.stop();
  return 0;
}
