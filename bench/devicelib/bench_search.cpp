// One UdpSearch finding 50 lab devices, against the bare search window (a
// wait of the same length). Target: at most window + 100 ms.
#include <poll.h>

#include <algorithm>

#include <cstdio>
#include <string>

#include "environment.h"
#include "lab.h"
#include "lorvex.h"
#include "timing.h"

int main(int argc, char** argv) {
  bench::enterPrivateNetwork(argc, argv);
  bench::ScratchFolder work;
  devsim::LabConfig config;
  for (int i = 0; i < 50; ++i) {
    devsim::DeviceConfig d = bench::benchDevice("");
    d.identifier = "CAM" + std::to_string(1000 + i);
    d.address = "127.0.0." + std::to_string(2 + i);
    config.devices.push_back(d);
  }
  config.stateDir = work.path + "/state";
  devsim::DeviceLab lab(config);
  std::string error;
  if (!lab.start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  int worstCount = 50;
  const bench::PairResult r = bench::runPairs(
      9,
      [&] {
        int found = 0;
        for (auto d = UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT); d; d = d->next) ++found;
        worstCount = std::min(worstCount, found);
      },
      [] { ::poll(nullptr, 0, LORVEX_SEARCH_WINDOW_MS); });
  const double w = r.baseline, s = r.subject;
  std::printf(
      "UdpSearch with 50 devices vs the bare %d ms window\n"
      "  window median %.3f s, search median %.3f s, overhead %.1f ms (target <= 100 ms)\n"
      "  fewest devices found in a search: %d of 50\n",
      LORVEX_SEARCH_WINDOW_MS, w, s, (s - w) * 1000, worstCount);
  lab.stop();
  return worstCount == 50 ? 0 : 1;
}
