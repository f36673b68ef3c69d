// Tab's reading order and the screen-reader names of the window's controls.
#include <gtest/gtest.h>

#include "app/tab_order.h"
#include "settings/accessible_names.h"
#include "settings/language_pack.h"

TEST(ReadingOrder, RowsFromTheTopThenLeftToRight) {
  // A fold strip down the left edge, a list at the top right, then three
  // fields whose labels sit a pixel or two lower than their neighbours, a
  // row of two buttons and a button at the bottom.
  const std::vector<QRect> places = {
      QRect(475, 27, 161, 278),  // 0 list (top right)
      QRect(280, 278, 73, 25),   // 1 Login
      QRect(252, 200, 137, 18),  // 2 address
      QRect(0, 0, 17, 480),      // 3 fold strip
      QRect(522, 284, 65, 25),   // 4 Search, in Login's row (6 pixels lower)
      QRect(252, 222, 137, 18),  // 5 user
      QRect(490, 435, 145, 25),  // 6 tutorial
  };
  EXPECT_EQ(readingOrder(places), (std::vector<int>{3, 0, 2, 5, 1, 4, 6}));
  // Beyond the tolerance a control starts a row of its own.
  EXPECT_EQ(readingOrder({QRect(300, 10, 5, 5), QRect(0, 19, 5, 5)}), (std::vector<int>{0, 1}));
  EXPECT_EQ(readingOrder({QRect(300, 10, 5, 5), QRect(0, 18, 5, 5)}), (std::vector<int>{1, 0}));
  EXPECT_TRUE(readingOrder({}).empty());
}

TEST(ScreenReaderNames, PackNameElseEnglishAndNothingForCaptionedControls) {
  const LanguagePack pack = LanguagePack::fromText(
      "[Names]\nDevList_TreeView=设备列表\nPassword_Edit=\n[Caption]\nLogin_SBtn=x\n");
  EXPECT_EQ(accessibleNameOf("DevList_TreeView", &pack), "设备列表");
  EXPECT_EQ(accessibleNameOf("DevList_TreeView", nullptr), "Device list");
  // An empty value keeps the English name.
  EXPECT_EQ(accessibleNameOf("Password_Edit", &pack), "Password");
  // A captioned button is read by its caption.
  EXPECT_EQ(accessibleNameOf("Login_SBtn", &pack), "");
  for (const std::string& name : namedForScreenReaders())
    EXPECT_FALSE(accessibleNameOf(name, nullptr).empty()) << name;
}
