// tovarin-fleet updating 1,000 lab cameras with --parallel 64 against the
// ideal: 1,000 / 64 times the median time of one camera's rollout, measured
// in the same run, alternated, 9 pairs, medians. The ratio shows what
// running 64 at once costs beyond the waiting they share: the program's and
// the lab's CPU, the shared searches, the descriptors. The peak memory is
// the largest tovarin-fleet run's (the 1,000-camera one).
//
// Both runs name their cameras by address (--device), so each does the same
// per-camera work. The lab's reboot takes 500 ms and searches listen 250 ms
// (the real default is 1 s) so that 9 pairs fit in a few minutes; both sides
// wait alike.
//
//   bench_fleet_scale [CAMERAS [PAIRS [PARALLEL]]]   (default 1000 9 64)
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "camera_fleet.h"
#include "fleet_rollout.h"
#include "lab.h"
#include "timing.h"

namespace {

constexpr double kTarget = 1.5;

long argument(int argc, char** argv, int index, long fallback) {
  return argc > index ? std::strtol(argv[index], nullptr, 10) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  bench::enterPrivateNetwork(argc, argv);
  const int cameras = static_cast<int>(argument(argc, argv, 1, 1000));
  const int pairs = static_cast<int>(argument(argc, argv, 2, bench::kMinRounds));
  const int parallel = static_cast<int>(argument(argc, argv, 3, 64));
  if (cameras < 2 || cameras > 5000 || pairs < 1 || parallel < 1 || parallel > 256) {
    std::fprintf(stderr, "usage: bench_fleet_scale [CAMERAS 2-5000 [PAIRS [PARALLEL 1-256]]]\n");
    return 2;
  }
  ::setenv("LORVEX_WINDOW_MS", "250", 1);
  bench::ScratchFolder work;

  const std::string patch = bench::writeFleetPatch(work.path, 64 * 1024);

  // One site for both: the lone camera is the site's last, so its searches
  // hear every other camera too.
  bench::FleetSite site;
  site.config.rebootSeconds = 0.5;
  std::string error;
  if (!devsim::addCameraFleet(&site.config, bench::benchDevice(""), cameras + 1, "127.0.1.1",
                              &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<std::string> many;
  for (int i = 0; i < cameras; ++i) many.push_back(site.config.devices[i].address);
  const std::vector<std::string> one = {site.config.devices.back().address};

  const std::string output = work.path + "/fleet.txt";
  const bench::PairResult r = bench::runPairs(
      pairs, [&] { bench::rollout(patch, output, many, parallel); },
      [&] { bench::rollout(patch, output, one, 1); }, [&] { site.restart(); });
  site.lab->stop();

  rusage children{};
  ::getrusage(RUSAGE_CHILDREN, &children);
  const double ideal = static_cast<double>(cameras) / parallel * r.baseline;
  const double ratio = r.subject / ideal;
  std::printf("tovarin-fleet update, %d lab cameras (reboot 500 ms, search 250 ms), %d pairs\n",
              cameras, pairs);
  std::printf("  one camera median %.2f s; ideal for %d at --parallel %d: %d/%d x %.2f = %.2f s\n",
              r.baseline, cameras, parallel, cameras, parallel, r.baseline, ideal);
  std::printf(
      "  %d cameras at --parallel %d median %.2f s: %.2f times the ideal (target <= %.1f)%s\n",
      cameras, parallel, r.subject, ratio, kTarget, ratio <= kTarget ? "" : ": missed");
  std::printf("  peak memory of tovarin-fleet: %.1f MB\n", children.ru_maxrss / 1024.0);
  std::printf("  runs (one / many):");
  for (std::size_t i = 0; i < r.subjectTimes.size(); ++i)
    std::printf(" %.2f/%.1f", r.baselineTimes[i], r.subjectTimes[i]);
  std::printf("\n");
  return 0;
}
