// The program's one state object and the one-shot device command.
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "devicelink/device_command.h"
#include "scripted_device_link.h"

namespace {

TEST(AppState, ResetReturnsEverythingToTheStartStateButLiveRunCounts) {
  AppState state;
  state.session.DeviceAddress = "127.0.0.9";
  state.session.CommandConnection = 4;
  state.session.UpdatePending = -1;
  setCredentialField(state.session.UserName, "operator");
  state.chosenDevice.data[0] = 'x';
  DeviceSearchRecord record{};
  state.searchResult = &record;
  state.messages.fill();
  state.updateRun.active = true;
  state.updateRun.address = "127.0.0.9";
  state.updateRun.holdingConnection = 1;  // a run still holding its connection

  state.reset();

  EXPECT_EQ(state.session.DeviceAddress, "");
  EXPECT_EQ(state.session.CommandConnection, -1);
  EXPECT_EQ(state.session.UpdatePending, 0);
  EXPECT_EQ(state.session.UserName[0], '\0');
  EXPECT_EQ(state.chosenDevice.data[0], '\0');
  EXPECT_EQ(state.searchResult.load(), nullptr);
  EXPECT_EQ(state.messages.countOf(MsgList::FWHints), 0);
  EXPECT_FALSE(state.updateRun.active);
  EXPECT_EQ(state.updateRun.address, "");
  // The run ends later and takes its own count back.
  EXPECT_EQ(state.updateRun.holdingConnection.load(), 1);
}

TEST(DeviceCommand, SendsTheCodeOnItsOwnConnectionAndAlwaysReleasesIt) {
  {
    ScriptedDeviceLink link;
    EXPECT_TRUE(sendDeviceCommand(link, "127.0.0.2", KESTRUM_REQ_REBOOT));
    ASSERT_EQ(link.connectAddresses, std::vector<std::string>{"127.0.0.2"});
    EXPECT_EQ(link.connectPorts.front(), kDevicePort);
    ASSERT_EQ(link.searchDirs.size(), 1u);
    EXPECT_TRUE(link.searchDirs[0].nullPath);
    EXPECT_EQ(link.searchDirs[0].code, KESTRUM_REQ_REBOOT);
    EXPECT_TRUE(link.openHandles().empty());
  }
  {
    // Refused by the device: still released, and reported.
    ScriptedDeviceLink link;
    link.searchDirResults = {-1};
    EXPECT_FALSE(sendDeviceCommand(link, "127.0.0.2", KESTRUM_REQ_BACKTRACK));
    EXPECT_EQ(link.searchDirs.at(0).code, KESTRUM_REQ_BACKTRACK);
    EXPECT_TRUE(link.openHandles().empty());
  }
  {
    // No connection: nothing is sent.
    ScriptedDeviceLink link;
    link.connectResults = {-1};
    EXPECT_FALSE(sendDeviceCommand(link, "127.0.0.2", KESTRUM_REQ_REBOOT));
    EXPECT_TRUE(link.searchDirs.empty());
  }
}

}  // namespace
