#include "devicelink/device_results.h"

#include <gtest/gtest.h>

#include "kestrum.h"

TEST(DeviceResultsTest, SendResultEdges) {
  EXPECT_EQ(decodeSendResult(KESTRUM_SEND_HARDWARE_MISMATCH), SendOutcome::HardwareMismatch);
  EXPECT_EQ(decodeSendResult(KESTRUM_SEND_BUSY), SendOutcome::Busy);
  EXPECT_EQ(decodeSendResult(KESTRUM_FAIL_REFUSED), SendOutcome::Failed);
  EXPECT_EQ(decodeSendResult(-11), SendOutcome::Failed);
  EXPECT_EQ(decodeSendResult(0), SendOutcome::Unknown);
  EXPECT_EQ(decodeSendResult(KESTRUM_SEND_DELIVERED - 1), SendOutcome::Unknown);
  EXPECT_EQ(decodeSendResult(KESTRUM_SEND_DELIVERED), SendOutcome::Delivered);
  EXPECT_EQ(decodeSendResult(KESTRUM_SEND_DELIVERED + 1), SendOutcome::Installed);
}

TEST(DeviceResultsTest, OnlyLostOrSilentIsUnreachable) {
  EXPECT_TRUE(isUnreachable(KESTRUM_FAIL_CONNECTION));
  EXPECT_TRUE(isUnreachable(KESTRUM_FAIL_TIMEOUT));
  EXPECT_FALSE(isUnreachable(KESTRUM_FAIL_REFUSED));
  EXPECT_FALSE(isUnreachable(KESTRUM_FAIL_MALFORMED));
  EXPECT_FALSE(isUnreachable(KESTRUM_LOGIN_WRONG_PASSWORD));
}
