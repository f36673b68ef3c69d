// Runs one job per camera on a few threads at a time. With a canary count K
// the first K cameras go first, on their own; the rest start only when every
// one of them was confirmed, else they are reported as not started.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "fleet/fleet_types.h"

struct FleetPlan {
  std::size_t parallel = 4;  // cameras at a time, at least 1
  std::size_t canary = 0;    // 0: no canary stage
};

using CameraJob = std::function<DeviceOutcome(std::size_t index)>;

// outcomes[i] belongs to targets[i]. A job for a camera that did not start
// is never called; its outcome is NotStarted with the reason.
std::vector<DeviceOutcome> runFleet(const std::vector<FleetTarget>& targets, const FleetPlan& plan,
                                    const CameraJob& job);
