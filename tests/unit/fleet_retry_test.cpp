// How a camera's update rides over transient failures: which steps are
// tried again, with which pauses, what is never sent twice, what the reason
// says; and how a camera that came back at another address is found again.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "fleet/device_update.h"
#include "fleet/retry_policy.h"
#include "fleet/shared_search.h"
#include "scripted_device_link.h"

namespace {

using namespace std::chrono_literals;
using Pauses = std::vector<std::chrono::milliseconds>;

TEST(RetryPolicy, PausesGrowUpToTheLongestAndTriesStopAtTheBound) {
  RetryPolicy policy;
  policy.tries = 5;
  policy.firstPause = 500ms;
  policy.longestPause = 3000ms;
  EXPECT_EQ((Pauses{500ms, 1000ms, 2000ms, 3000ms, 3000ms}),
            (Pauses{policy.pauseAfter(1), policy.pauseAfter(2), policy.pauseAfter(3),
                    policy.pauseAfter(4), policy.pauseAfter(5)}));

  Pauses slept;
  const auto sleep = [&](std::chrono::milliseconds p) { slept.push_back(p); };
  int calls = 0;
  EXPECT_EQ(5, runWithRetries(policy, sleep, [&](int n) {
              EXPECT_EQ(++calls, n);
              return TryOutcome::Transient;
            }));
  EXPECT_EQ((Pauses{500ms, 1000ms, 2000ms, 3000ms}), slept);  // none after the last

  slept.clear();
  EXPECT_EQ(2, runWithRetries(policy, sleep, [](int n) {
              return n == 2 ? TryOutcome::Done : TryOutcome::Transient;
            }));
  EXPECT_EQ(Pauses{500ms}, slept);
  EXPECT_EQ("camera busy", withTries("camera busy", 1));
  EXPECT_EQ("no answer to the login (3 tries)", withTries("no answer to the login", 3));
}

struct NoProgress final : IFleetProgress {
  void stageChanged(std::size_t, Stage, int) override {}
  void finished(std::size_t, const DeviceOutcome&) override {}
};

class RetriedSequence : public ::testing::Test {
 protected:
  RetriedSequence() {
    routeSendProgress(link);
    patch.path = "/nowhere/47RKT2011.patch";
    patch.md5 = std::string(32, 'a');
    patch.hardware = "47RKT";
    patch.version = 2011;
    options.rebootWait = 1s;
    options.sleep = [this](std::chrono::milliseconds p) { pauses.push_back(p); };
    link.searchRecords = {ScriptedDeviceLink::record("127.0.0.9", "CAM9")};
  }
  DeviceOutcome run(FleetTarget target = {"127.0.0.9", "CAM9"}) {
    return updateOneDevice(link, search, patch, target, options, progress, 0);
  }
  static ScriptedDeviceLink::LoginAnswer on(int32_t version) { return {0, "47RKT", version}; }

  ScriptedDeviceLink link;
  SharedSearch search{link};
  PatchToSend patch;
  DeviceUpdateOptions options;
  NoProgress progress;
  Pauses pauses;
};

TEST_F(RetriedSequence, RefusedAndLostLoginsAreTriedAgainWithGrowingPauses) {
  link.connectResults = {-1};  // the first try finds no connection
  // The second loses the default login; the typed account's refusal then
  // says nothing of the camera. The third logs in.
  link.loginAnswers = {{-1}, {KESTRUM_LOGIN_WRONG_PASSWORD}, on(2010), on(2011)};
  const DeviceOutcome o = run();
  EXPECT_EQ(DeviceResult::Confirmed, o.result) << o.reason;
  EXPECT_EQ((Pauses{1000ms, 2000ms}), pauses);
  EXPECT_EQ(1u, link.sends.size());
}

TEST_F(RetriedSequence, LoginWithoutAnswerFailsAfterTheBoundWithItsTries) {
  link.loginAnswers = {{-3}, {-3}, {-3}};
  const DeviceOutcome o = run();
  EXPECT_EQ(DeviceResult::Failed, o.result);
  EXPECT_EQ("no answer to the login (3 tries)", o.reason);
  EXPECT_EQ(3u, link.connectAddresses.size());
  EXPECT_TRUE(link.sends.empty());
}

// A refused account is the camera's answer: not asked again.
TEST_F(RetriedSequence, RefusedAccountIsNotAskedAgain) {
  link.loginAnswers = {{KESTRUM_LOGIN_WRONG_PASSWORD}, {KESTRUM_LOGIN_WRONG_PASSWORD}};
  EXPECT_EQ("login refused: wrong password", run().reason);
  EXPECT_TRUE(pauses.empty());
}

TEST_F(RetriedSequence, UploadIsSentAgainOnlyUntilTheCameraAcceptedIt) {
  int sends = 0;
  link.onSend = [&](const char*, const char*, int32_t*) {
    if (++sends == 1) return KESTRUM_FAIL_CONNECTION;  // reset before the camera took the patch
    link.curProgress(0, KESTRUM_CHANNEL_SEND_PATCH);
    link.curProgress(24, KESTRUM_CHANNEL_SEND_PATCH);
    return KESTRUM_FAIL_CONNECTION;  // lost during the upload: the camera holds part of it
  };
  const DeviceOutcome o = run();
  EXPECT_EQ(DeviceResult::Failed, o.result);
  EXPECT_EQ("connection lost during the upload at 61 % (2 tries)", o.reason);
  EXPECT_EQ(2, sends);
  EXPECT_TRUE(link.searchDirs.empty());  // no reboot
}

TEST_F(RetriedSequence, LostWhileUnpackingIsNotSentAgain) {
  link.onSend = [&](const char*, const char*, int32_t*) {
    link.curProgress(0, KESTRUM_CHANNEL_SEND_PATCH);
    link.curProgress(KESTRUM_SEND_UNPACK_STAGE, KESTRUM_CHANNEL_SEND_PATCH);
    return KESTRUM_FAIL_TIMEOUT;
  };
  EXPECT_EQ("camera stopped answering while the camera unpacked the patch", run().reason);
  EXPECT_EQ(1u, link.sends.size());
}

TEST_F(RetriedSequence, RebootRequestIsAskedAgainAndItsVersionDecides) {
  link.searchDirResults = {-3, 0};
  link.loginAnswers = {on(2010), on(2011)};
  const DeviceOutcome answered = run();
  EXPECT_EQ(DeviceResult::Confirmed, answered.result) << answered.reason;
  EXPECT_EQ(2u, link.searchDirs.size());
}

// Never answered, and the camera is still on its old version: it never
// rebooted, and the reason says why.
TEST_F(RetriedSequence, UnansweredRebootOfACameraStillOnItsVersionFails) {
  link.searchDirResults = {KESTRUM_FAIL_CONNECTION, KESTRUM_FAIL_CONNECTION,
                           KESTRUM_FAIL_CONNECTION};
  link.loginAnswers = {on(2010), on(2010)};
  const DeviceOutcome lost = run();
  EXPECT_EQ(DeviceResult::Failed, lost.result);
  EXPECT_EQ("connection lost at the reboot request (3 tries)", lost.reason);
}

TEST_F(RetriedSequence, CameraBackAtAnotherAddressIsConfirmedThere) {
  link.onSearch = [&] {
    // Before the reboot request it answers at its address, after it elsewhere.
    if (!link.searchDirCalls().empty())
      link.searchRecords = {ScriptedDeviceLink::record("127.0.0.8", "CAM7"),
                            ScriptedDeviceLink::record("127.0.0.77", "CAM9")};
  };
  link.loginAnswers = {on(2010), on(2011)};
  // Named by address: its identifier is learnt before the reboot.
  const DeviceOutcome o = run({"127.0.0.9", ""});
  EXPECT_EQ(DeviceResult::Confirmed, o.result) << o.reason;
  EXPECT_EQ("127.0.0.77", o.addressAfter);
  EXPECT_EQ("127.0.0.77", link.connectAddresses.back());
}

TEST(SharedSearch, CameraIsFoundByIdentifierOnlyWhereItIsUnambiguous) {
  ScriptedDeviceLink link;
  SharedSearch search(link);
  const auto now = SharedSearch::Clock::now();
  const auto find = [&](const FleetTarget& camera) {
    const auto found = search.waitForCamera(camera, SharedSearch::Clock::now(), now);
    return found ? found->address : std::string("-");
  };
  link.searchRecords = {ScriptedDeviceLink::record("127.0.0.5", "OTHER"),
                        ScriptedDeviceLink::record("127.0.0.6", "CAM9")};
  EXPECT_EQ("127.0.0.6", find({"127.0.0.9", "CAM9"}));
  EXPECT_EQ("-", find({"127.0.0.9", ""}));
  // Another camera now at its old address is not it.
  EXPECT_EQ("127.0.0.6", find({"127.0.0.5", "CAM9"}));
  link.searchRecords.push_back(ScriptedDeviceLink::record("127.0.0.7", "CAM9"));
  EXPECT_EQ("-", find({"127.0.0.9", "CAM9"}));
  // A camera that gave the same identifier before the reboot is not it.
  const auto found =
      search.waitForCamera({"127.0.0.9", "CAM9"}, SharedSearch::Clock::now(), now, {"127.0.0.7"});
  EXPECT_EQ("127.0.0.6", found ? found->address : "-");
  EXPECT_EQ("127.0.0.7", find({"127.0.0.7", "CAM9"}));
}

}  // namespace
