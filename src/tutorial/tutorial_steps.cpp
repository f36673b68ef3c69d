#include "tutorial/tutorial_steps.h"

void TutorSteps::open() {
  lastCaption_ = kTutorCloseCaption;
  nextCaption_ = kTutorNextCaption;
}

bool TutorSteps::next() {
  if (++step_ > kLastStep) {
    step_ = kFirstStep;
    return false;
  }
  if (step_ == kLastStep)
    nextCaption_ = kTutorCloseCaption;
  else
    lastCaption_ = kTutorLastCaption;
  return true;
}

bool TutorSteps::back() {
  if (--step_ < kFirstStep) {
    step_ = kFirstStep;
    return false;
  }
  if (step_ == kFirstStep)
    lastCaption_ = kTutorCloseCaption;
  else
    nextCaption_ = kTutorNextCaption;
  return true;
}

QString tutorPictureName(int step) { return QStringLiteral("step%1").arg(step); }

int tutorLeft(int screenWidth, int mainLeft, int mainWidth) {
  if (screenWidth - kTutorSideOffset < mainLeft + mainWidth) return mainLeft - kTutorSideOffset;
  return mainLeft + kTutorSideOffset;
}
