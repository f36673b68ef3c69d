#include <gtest/gtest.h>

#include <thread>

#include "common/platform_locale.h"

TEST(ProcessLocale, ChangesNothingWhenAlreadyChinese) {
  platform::setSystemLocale(2052);
  platform::SetConsoleOutputCP(0);
  std::thread([] {
    initProcessLocale();
    EXPECT_EQ(StartupThreadLocale, 2052u);
    EXPECT_EQ(platform::GetThreadLocale(), 2052u);
    EXPECT_EQ(platform::ConsoleOutputCP(), 0u);  // untouched
  }).join();
}

TEST(ProcessLocale, OtherLocalesSwitchTheThreadAndTheCodePage) {
  platform::setSystemLocale(1033);
  platform::SetConsoleOutputCP(0);
  std::thread([] {
    initProcessLocale();
    EXPECT_EQ(StartupThreadLocale, 1033u);
    EXPECT_EQ(platform::GetThreadLocale(), 2052u);
    EXPECT_EQ(platform::ConsoleOutputCP(), 936u);
  }).join();
  // A worker starts with the system's locale and applies the rule itself.
  std::thread([] {
    EXPECT_EQ(platform::GetThreadLocale(), 1033u);
    applyDeviceThreadLocale();
    EXPECT_EQ(platform::GetThreadLocale(), 2052u);
  }).join();
}
