// UdpSearch against the bare search window (a wait of the same length),
// alternated, medians:
//  - 50 lab devices, 9 pairs; target: at most window + 100 ms;
//  - a large site of 1,000 lab cameras (127.0.1.1 and up, one shared storage
//    folder), ten searches in a row; every search must find all 1,000, and
//    the median search at most window + 200 ms.
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "camera_fleet.h"
#include "environment.h"
#include "lab.h"
#include "lorvex.h"
#include "timing.h"

namespace {

struct Outcome {
  bool allFound = false;
  bool withinTarget = false;
};

Outcome compare(const char* title, devsim::LabConfig config, const std::string& stateDir, int pairs,
                int targetMs) {
  const int devices = static_cast<int>(config.devices.size());
  config.stateDir = stateDir;
  devsim::DeviceLab lab(config);
  std::string error;
  if (!lab.start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return {};
  }
  std::vector<double> window, search;
  std::vector<int> counts;
  for (int pair = 0; pair < pairs; ++pair) {
    window.push_back(bench::seconds([] { ::poll(nullptr, 0, LORVEX_SEARCH_WINDOW_MS); }));
    int found = 0;
    search.push_back(bench::seconds([&] {
      for (auto r = UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT); r; r = r->next) ++found;
    }));
    counts.push_back(found);
  }
  lab.stop();
  double w = bench::median(window), s = bench::median(search);
  std::string found;
  for (int c : counts) found += " " + std::to_string(c);
  std::printf(
      "%s: UdpSearch vs the bare %d ms window, %d pairs\n"
      "  window median %.3f s, search median %.3f s, overhead %.1f ms (target <= %d ms)\n"
      "  devices found per search (of %d):%s\n",
      title, LORVEX_SEARCH_WINDOW_MS, pairs, w, s, (s - w) * 1000, targetMs, devices,
      found.c_str());
  int fewest = *std::min_element(counts.begin(), counts.end());
  return {fewest == devices, (s - w) * 1000 <= targetMs};
}

}  // namespace

int main(int argc, char** argv) {
  bench::enterPrivateNetwork(argc, argv);
  bench::ScratchFolder work;

  devsim::LabConfig small;
  for (int i = 0; i < 50; ++i) {
    devsim::DeviceConfig d = bench::benchDevice("");
    d.identifier = "CAM" + std::to_string(1000 + i);
    d.address = "127.0.0." + std::to_string(2 + i);
    small.devices.push_back(d);
  }
  Outcome a = compare("50 devices", small, work.path + "/small", 9, 100);

  bench::makeFile(work.path + "/fleet/log.txt", 4096);  // the storage all cameras share
  devsim::LabConfig site;
  std::string error;
  if (!devsim::addCameraFleet(&site, bench::benchDevice(work.path + "/fleet"), 1000, "127.0.1.1",
                              &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  Outcome b = compare("1000 cameras", site, work.path + "/site", 10, 200);
  return a.allFound && b.allFound && a.withinTarget && b.withinTarget ? 0 : 1;
}
