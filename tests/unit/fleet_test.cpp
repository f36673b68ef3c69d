// The parts of tovarin-fleet decided without a lab: how many cameras run at
// once and when the canary stops a rollout, how waiting threads share
// device searches, and the device sequence's answers to outcomes the lab
// world does not produce.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "fleet/device_update.h"
#include "fleet/fleet_run.h"
#include "fleet/shared_search.h"
#include "scripted_device_link.h"

namespace {

using namespace std::chrono_literals;

std::vector<FleetTarget> targets(std::size_t count) {
  std::vector<FleetTarget> list;
  for (std::size_t i = 0; i < count; ++i) list.push_back({"127.0.0." + std::to_string(i + 2), ""});
  return list;
}

DeviceOutcome outcome(const FleetTarget& target, DeviceResult result) {
  DeviceOutcome o;
  o.target = target;
  o.result = result;
  return o;
}

TEST(FleetRun, RunsAtMostParallelCamerasAtOnceAndKeepsTheOrder) {
  const auto list = targets(12);
  std::atomic<int> running{0}, peak{0};
  const auto outcomes = runFleet(list, {3, 0}, [&](std::size_t i) {
    const int now = ++running;
    int seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(20ms);
    --running;
    return outcome(list[i], DeviceResult::Confirmed);
  });
  EXPECT_EQ(3, peak.load());
  ASSERT_EQ(12u, outcomes.size());
  for (std::size_t i = 0; i < list.size(); ++i)
    EXPECT_EQ(list[i].address, outcomes[i].target.address);
}

TEST(FleetRun, RestStartsOnlyAfterEveryCanaryWasConfirmed) {
  const auto list = targets(8);
  std::atomic<int> canariesDone{0};
  std::atomic<bool> startedEarly{false};
  const auto outcomes = runFleet(list, {4, 3}, [&](std::size_t i) {
    if (i >= 3 && canariesDone.load() < 3) startedEarly = true;
    std::this_thread::sleep_for(5ms);
    if (i < 3) ++canariesDone;
    return outcome(list[i], DeviceResult::Confirmed);
  });
  EXPECT_FALSE(startedEarly.load());
  for (const DeviceOutcome& o : outcomes) EXPECT_EQ(DeviceResult::Confirmed, o.result);
}

TEST(FleetRun, FailedCanaryLeavesTheRestUntouched) {
  auto list = targets(6);
  list[1].identifier = "CAM2";
  std::mutex mutex;
  std::vector<std::size_t> called;
  const auto outcomes = runFleet(list, {4, 2}, [&](std::size_t i) {
    std::lock_guard lock(mutex);
    called.push_back(i);
    return outcome(list[i], i == 1 ? DeviceResult::Failed : DeviceResult::Confirmed);
  });
  std::sort(called.begin(), called.end());
  EXPECT_EQ((std::vector<std::size_t>{0, 1}), called);
  for (std::size_t i = 2; i < list.size(); ++i) {
    EXPECT_EQ(DeviceResult::NotStarted, outcomes[i].result);
    EXPECT_EQ(list[i].address, outcomes[i].target.address);
    EXPECT_NE(std::string::npos, outcomes[i].reason.find("CAM2")) << outcomes[i].reason;
  }
}

TEST(SharedSearch, WaitersShareSearchesAndOnlyNewerOnesCount) {
  ScriptedDeviceLink link;
  // The camera is back from the third search on; each search takes a while.
  link.onSearch = [&] {
    std::this_thread::sleep_for(30ms);
    if (link.searches == 2) link.searchRecords = {ScriptedDeviceLink::record("127.0.0.9", "CAM9")};
  };
  SharedSearch search(link);
  const auto since = SharedSearch::Clock::now();
  std::vector<std::thread> waiters;
  std::atomic<int> found{0};
  for (int i = 0; i < 6; ++i)
    waiters.emplace_back([&] {
      if (search.waitForAnswer("127.0.0.9", since, since + 5s)) ++found;
    });
  for (std::thread& t : waiters) t.join();
  EXPECT_EQ(6, found.load());
  // Six threads, yet no search beyond the one that found the camera.
  EXPECT_EQ(3, link.searches);

  // A search older than `since` is not taken, even when it heard the camera.
  const auto later = SharedSearch::Clock::now();
  EXPECT_TRUE(search.waitForAnswer("127.0.0.9", later, later + 5s));
  EXPECT_EQ(4, link.searches);
}

TEST(SharedSearch, GivesUpAtTheDeadline) {
  ScriptedDeviceLink link;
  link.onSearch = [] { std::this_thread::sleep_for(20ms); };
  SharedSearch search(link);
  const auto since = SharedSearch::Clock::now();
  EXPECT_FALSE(search.waitForAnswer("127.0.0.9", since, since + 200ms));
  EXPECT_GE(link.searches, 5);   // it kept asking ...
  EXPECT_LE(link.searches, 15);  // ... one search after another, not more
}

// Records the stages each camera went through.
struct StageLog final : IFleetProgress {
  void stageChanged(std::size_t, Stage stage, int) override { stages.push_back(stage); }
  void finished(std::size_t, const DeviceOutcome&) override {}
  std::vector<Stage> stages;
};

class DeviceSequence : public ::testing::Test {
 protected:
  DeviceSequence() {
    routeSendProgress(link);
    patch.path = "/nowhere/47RKT2011.patch";
    patch.md5 = std::string(32, 'a');
    patch.hardware = "47RKT";
    patch.version = 2011;
  }
  DeviceOutcome run() {
    DeviceUpdateOptions options;
    options.rebootWait = 2s;
    return updateOneDevice(link, search, patch, {"127.0.0.9", "CAM9"}, options, log, 0);
  }
  ScriptedDeviceLink link;
  SharedSearch search{link};
  PatchToSend patch;
  StageLog log;
};

TEST_F(DeviceSequence, UpdateAppliedAtOnceIsConfirmedByALoginWithoutReboot) {
  link.loginAnswers = {{}, {0, "47RKT", 2011}};
  link.onSend = [&](const char*, const char*, int32_t*) {
    link.curProgress(10, KESTRUM_CHANNEL_SEND_PATCH);
    link.curProgress(KESTRUM_SEND_UNPACK_STAGE, KESTRUM_CHANNEL_SEND_PATCH);
    return 2011;
  };
  const DeviceOutcome o = run();
  EXPECT_EQ(DeviceResult::Confirmed, o.result) << o.reason;
  EXPECT_EQ(2010, o.versionBefore);
  EXPECT_EQ(2011, o.versionAfter);
  EXPECT_TRUE(link.searchDirs.empty());  // no reboot request
  EXPECT_EQ(0, link.searches);
  // The library's progress reached this camera's line.
  EXPECT_NE(log.stages.end(), std::find(log.stages.begin(), log.stages.end(), Stage::Unpacking));
}

TEST_F(DeviceSequence, PendingUpdateOrWrongHardwareIsRefusedBeforeSending) {
  ScriptedDeviceLink::LoginAnswer pending;
  pending.updatePending = 1;
  link.loginAnswers = {pending};
  EXPECT_NE(std::string::npos, run().reason.find("already pending"));

  link.loginAnswers = {{0, "52HQX", 3000}};
  const DeviceOutcome other = run();
  EXPECT_EQ(DeviceResult::Failed, other.result);
  EXPECT_NE(std::string::npos, other.reason.find("camera is 52HQX")) << other.reason;
  EXPECT_TRUE(link.sends.empty());
}

TEST_F(DeviceSequence, UnknownSendOutcomeIsAFailure) {
  link.onSend = [](const char*, const char*, int32_t*) { return 3; };
  const DeviceOutcome o = run();
  EXPECT_EQ(DeviceResult::Failed, o.result);
  EXPECT_NE(std::string::npos, o.reason.find("code 3")) << o.reason;
}

}  // namespace
