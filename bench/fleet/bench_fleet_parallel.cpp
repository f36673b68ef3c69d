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
#include "fleet_rollout.h"
#include "lab.h"
#include "timing.h"

namespace {

constexpr int kCameras = 20;
constexpr int kPairs = 9;

}  // namespace

int main(int argc, char** argv) {
  bench::enterPrivateNetwork(argc, argv);
  ::setenv("LORVEX_WINDOW_MS", "250", 1);
  bench::ScratchFolder work;

  const std::string patch = bench::writeFleetPatch(work.path, 256 * 1024);

  bench::FleetSite site;
  site.config.rebootSeconds = 0.5;
  std::string error;
  if (!devsim::addCameraFleet(&site.config, bench::benchDevice(""), kCameras, "127.0.1.1",
                              &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<std::string> cameras;
  for (int i = 1; i <= kCameras; ++i) cameras.push_back("127.0.1." + std::to_string(i));
  const std::string output = work.path + "/fleet.txt";
  const bench::PairResult r = bench::runPairs(
      kPairs, [&] { bench::rollout(patch, output, cameras, 8); },
      [&] { bench::rollout(patch, output, cameras, 1); }, [&] { site.restart(); });
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
