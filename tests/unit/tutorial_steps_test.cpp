// Page turning of the tutorial and where it opens beside the main window.
#include <gtest/gtest.h>

#include "tutorial/tutorial_steps.h"

namespace {

// A tutorial as TutorShow_Btn leaves it: captions set, showing on step 1.
TutorSteps opened() {
  TutorSteps steps;
  steps.open();
  steps.start();
  return steps;
}

}  // namespace

TEST(TutorialSteps, FirstStepOffersCloseAndBackLeadsOut) {
  TutorSteps steps = opened();
  EXPECT_EQ(steps.step(), 1);
  EXPECT_EQ(steps.lastCaption(), kTutorCloseCaption);
  EXPECT_EQ(steps.nextCaption(), kTutorNextCaption);
  EXPECT_FALSE(steps.back());
  EXPECT_EQ(steps.step(), 1);
}

TEST(TutorialSteps, WalkingForwardEndsWithCloseOnTheLastPicture) {
  TutorSteps steps = opened();
  for (int expected = 2; expected <= 6; ++expected) {
    ASSERT_TRUE(steps.next());
    EXPECT_EQ(steps.step(), expected);
    EXPECT_EQ(steps.lastCaption(), kTutorLastCaption) << "step " << expected;
    EXPECT_EQ(steps.nextCaption(), expected == 6 ? kTutorCloseCaption : kTutorNextCaption)
        << "step " << expected;
  }
  // One more press leaves, and the tutorial is back on its first picture.
  EXPECT_FALSE(steps.next());
  EXPECT_EQ(steps.step(), 1);
}

TEST(TutorialSteps, CaptionsComeBackWhenTurningBackAndForth) {
  TutorSteps steps = opened();
  ASSERT_TRUE(steps.next());  // 1 -> 2: the back button no longer closes
  EXPECT_EQ(steps.lastCaption(), kTutorLastCaption);
  ASSERT_TRUE(steps.back());  // 2 -> 1: it closes again
  EXPECT_EQ(steps.lastCaption(), kTutorCloseCaption);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(steps.next());
  ASSERT_EQ(steps.step(), 6);
  ASSERT_TRUE(steps.back());  // 6 -> 5: forward leads on again
  EXPECT_EQ(steps.step(), 5);
  EXPECT_EQ(steps.nextCaption(), kTutorNextCaption);
  EXPECT_EQ(steps.lastCaption(), kTutorLastCaption);
  ASSERT_TRUE(steps.next());  // 5 -> 6
  EXPECT_EQ(steps.nextCaption(), kTutorCloseCaption);
}

TEST(TutorialSteps, ReopeningStartsOnTheTitlePageWithFreshCaptions) {
  // Skipped on step 4: the step is kept until the next opening resets it.
  TutorSteps steps = opened();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(steps.next());
  ASSERT_EQ(steps.step(), 4);
  steps.open();
  steps.start();
  EXPECT_EQ(steps.step(), 1);
  EXPECT_EQ(steps.lastCaption(), kTutorCloseCaption);
  EXPECT_EQ(steps.nextCaption(), kTutorNextCaption);
  EXPECT_FALSE(steps.back());
}

TEST(TutorialSteps, PicturesAreNamedByStep) {
  EXPECT_EQ(tutorPictureName(1), QString("step1"));
  EXPECT_EQ(tutorPictureName(6), QString("step6"));
}

TEST(TutorialPlacement, OpensRightOfTheMainWindowWhenThereIsRoom) {
  // 1920-wide screen, main window 646 wide at 100: 746 <= 1470.
  EXPECT_EQ(tutorLeft(1920, 100, 646), 550);
  // Exactly 450 pixels free still counts as room.
  EXPECT_EQ(tutorLeft(1920, 1920 - 450 - 646, 646), 1920 - 646);
}

TEST(TutorialPlacement, OpensLeftOfTheMainWindowAtTheRightScreenEdge) {
  EXPECT_EQ(tutorLeft(1280, 1280 - 646, 646), 1280 - 646 - 450);
  // One pixel short of room is on the left too.
  EXPECT_EQ(tutorLeft(1920, 1920 - 449 - 646, 646), 1920 - 449 - 646 - 450);
}

TEST(TutorialPlacement, KeepsTheSideChosenWhereTheTutorialFits) {
  const QSize tutor(650, 512);
  // 1920 x 1080, main window 646 x 510 at (100, 80): right of it, level with its top.
  EXPECT_EQ(tutorPosition({0, 0, 1920, 1040}, 1920, {100, 80, 646, 510}, tutor), QPoint(550, 80));
  // At the right edge of the screen: 450 to its left, as before.
  EXPECT_EQ(tutorPosition({0, 0, 1920, 1040}, 1920, {1274, 80, 646, 510}, tutor), QPoint(824, 80));
}

TEST(TutorialPlacement, StaysOnANarrowScreen) {
  const QSize tutor(650, 512);
  // The centred window on 1280 and 1024 wide screens: no side has room, so
  // the tutorial moves over the window, against the screen's left edge.
  EXPECT_EQ(tutorPosition({0, 0, 1280, 1024}, 1280, {319, 257, 642, 510}, tutor), QPoint(0, 257));
  EXPECT_EQ(tutorPosition({0, 0, 1024, 768}, 1024, {191, 129, 642, 510}, tutor), QPoint(0, 129));
  // On a second screen right of the first, the screen's width alone picks
  // the left side, which lies on the first screen: the other side fits.
  EXPECT_EQ(tutorPosition({1920, 0, 1920, 1040}, 1920, {2020, 80, 642, 510}, tutor),
            QPoint(2470, 80));
  // A panel on the left, and a window low on the screen: inside what is left.
  EXPECT_EQ(tutorPosition({40, 0, 984, 740}, 1024, {191, 400, 642, 510}, tutor),
            QPoint(40, 740 - 512));
  // A second screen to the right of the first.
  EXPECT_EQ(tutorPosition({1920, 0, 1024, 768}, 1024, {2111, 129, 642, 510}, tutor),
            QPoint(1920, 129));
}

TEST(TutorialSteps, EnglishPacksGetTheEnglishPicturesAndOthersTheFirstSet) {
  EXPECT_EQ(tutorPictureSet("en"), "en");
  EXPECT_EQ(tutorPictureSet("en_GB"), "en");
  EXPECT_EQ(tutorPictureSet("zh_CN"), "");
  EXPECT_EQ(tutorPictureSet(""), "");
  EXPECT_EQ(tutorPictureSet("eno"), "");
  EXPECT_EQ(tutorPicturePath("", 3), ":/tutorial/STEP3.png");
  EXPECT_EQ(tutorPicturePath("en", 1), ":/tutorial/en/STEP1.png");
}
