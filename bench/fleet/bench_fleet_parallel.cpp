// tovarin-fleet updating 20 lab cameras with --parallel 8 against the same
// rollout with --parallel 1, alternated, 9 pairs, medians. A camera's update
// is mostly waiting (its reboot, the searches until it answers again), so
// running eight at a time should be several times faster. The lab restarts
// between runs so that every run finds all cameras on the old version.
//
// The lab's reboot takes 500 ms and searches listen 250 ms (the real default
// is 1 s) so that 9 pairs fit in a few minutes; both sides wait alike.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "camera_fleet.h"
#include "device_lab.h"
#include "environment.h"
#include "lab.h"
#include "patchformat.h"
#include "timing.h"

namespace {

constexpr int kCameras = 20;
constexpr int kPairs = 9;

struct Site {
  devsim::LabConfig config;
  std::unique_ptr<devsim::DeviceLab> lab;

  void restart() {
    if (lab) lab->stop();
    lab = std::make_unique<devsim::DeviceLab>(config);
    std::string error;
    if (!lab->start(&error)) {
      std::fprintf(stderr, "lab: %s\n", error.c_str());
      std::exit(1);
    }
  }
};

// One rollout to every camera; a benchmark of a failing rollout means nothing.
void rollout(const std::string& patch, const std::string& output, int parallel) {
  std::vector<std::string> args = {TOVARIN_FLEET, "update",     "--patch",
                                   patch,         "--parallel", std::to_string(parallel),
                                   "--device"};
  for (int i = 1; i <= kCameras; ++i) args.push_back("127.0.1." + std::to_string(i));
  const int status = bench::runProgramTo(args, output);
  if (status != 0) {
    std::fprintf(stderr, "tovarin-fleet --parallel %d ended with %d; see %s\n", parallel, status,
                 output.c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  bench::enterPrivateNetwork(argc, argv);
  ::setenv("LORVEX_WINDOW_MS", "250", 1);
  bench::ScratchFolder work;

  bench::makeFile(work.path + "/app.bin", 256 * 1024);
  const std::string patch = work.path + "/47RKT2011.patch";
  std::string error;
  if (!patchformat::writePatch(patch, "47RKT", 2011, {{"app.bin", work.path + "/app.bin"}},
                               patchformat::buildInstallScript("2010", {"app.bin"}), &error)) {
    std::fprintf(stderr, "patch: %s\n", error.c_str());
    return 1;
  }

  Site site;
  site.config.rebootSeconds = 0.5;
  if (!devsim::addCameraFleet(&site.config, bench::benchDevice(""), kCameras, "127.0.1.1",
                              &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const std::string output = work.path + "/fleet.txt";
  const bench::PairResult r = bench::runPairs(
      kPairs, [&] { rollout(patch, output, 8); }, [&] { rollout(patch, output, 1); },
      [&] { site.restart(); });
  site.lab->stop();

  std::printf("tovarin-fleet update, %d lab cameras (reboot 500 ms), %d pairs\n", kCameras, kPairs);
  std::printf("  --parallel 1 median %.2f s, --parallel 8 median %.2f s\n", r.baseline, r.subject);
  std::printf("  --parallel 8 is %.1f times as fast (time ratio %.3f)\n", r.throughputRatio(),
              r.timeRatio());
  std::printf("  runs (p1 / p8):");
  for (std::size_t i = 0; i < r.subjectTimes.size(); ++i)
    std::printf(" %.1f/%.1f", r.baselineTimes[i], r.subjectTimes[i]);
  std::printf("\n");
  return 0;
}
