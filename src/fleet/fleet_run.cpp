#include "fleet/fleet_run.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// Runs job for the indices first..last-1 on at most `parallel` threads.
void runStage(std::size_t first, std::size_t last, std::size_t parallel, const CameraJob& job,
              std::vector<DeviceOutcome>& outcomes) {
  if (first >= last) return;
  std::atomic<std::size_t> next{first};
  auto worker = [&] {
    for (std::size_t i = next++; i < last; i = next++) outcomes[i] = job(i);
  };
  std::vector<std::thread> threads;
  const std::size_t count = std::min(std::max<std::size_t>(parallel, 1), last - first);
  for (std::size_t t = 0; t < count; ++t) threads.emplace_back(worker);
  for (std::thread& t : threads) t.join();
}

}  // namespace

std::vector<DeviceOutcome> runFleet(const std::vector<FleetTarget>& targets, const FleetPlan& plan,
                                    const CameraJob& job) {
  std::vector<DeviceOutcome> outcomes(targets.size());
  const std::size_t canaries = std::min(plan.canary, targets.size());
  runStage(0, canaries, plan.parallel, job, outcomes);

  const auto failed =
      std::find_if(outcomes.begin(), outcomes.begin() + canaries,
                   [](const DeviceOutcome& o) { return o.result != DeviceResult::Confirmed; });
  if (failed != outcomes.begin() + canaries) {
    const std::string& who =
        failed->target.identifier.empty() ? failed->target.address : failed->target.identifier;
    for (std::size_t i = canaries; i < targets.size(); ++i) {
      outcomes[i].target = targets[i];
      outcomes[i].result = DeviceResult::NotStarted;
      outcomes[i].reason = "rollout stopped: canary " + who + " was not confirmed";
    }
    return outcomes;
  }
  runStage(canaries, targets.size(), plan.parallel, job, outcomes);
  return outcomes;
}
