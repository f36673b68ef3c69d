// What the tovarin-fleet benchmarks share: a lab site that restarts with
// every camera on the old version, the patch they roll out, and one
// rollout run as the operator runs it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "device_lab.h"
#include "environment.h"
#include "patchformat.h"

namespace bench {

struct FleetSite {
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

// A 47RKT 2011 patch of one app.bin of appBytes, written into folder.
inline std::string writeFleetPatch(const std::string& folder, std::size_t appBytes) {
  makeFile(folder + "/app.bin", appBytes);
  const std::string patch = folder + "/47RKT2011.patch";
  std::string error;
  if (!patchformat::writePatch(patch, "47RKT", 2011, {{"app.bin", folder + "/app.bin"}},
                               patchformat::buildInstallScript("2010", {"app.bin"}), &error)) {
    std::fprintf(stderr, "patch: %s\n", error.c_str());
    std::exit(1);
  }
  return patch;
}

// One rollout to the given cameras; a benchmark of a failing rollout means nothing.
inline void rollout(const std::string& patch, const std::string& output,
                    const std::vector<std::string>& addresses, int parallel) {
  std::vector<std::string> args = {TOVARIN_FLEET, "update",     "--patch",
                                   patch,         "--parallel", std::to_string(parallel),
                                   "--device"};
  args.insert(args.end(), addresses.begin(), addresses.end());
  const int status = runProgramTo(args, output);
  if (status != 0) {
    std::fprintf(stderr, "tovarin-fleet, %zu cameras at --parallel %d, ended with %d; see %s\n",
                 addresses.size(), parallel, status, output.c_str());
    std::exit(1);
  }
}

}  // namespace bench
