#include "tutorial/tutorial_steps.h"

#include <algorithm>

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

QString tutorPictureSet(const QString& packLocale) {
  return packLocale == "en" || packLocale.startsWith("en_") ? QStringLiteral("en") : QString();
}

QString tutorPicturePath(const QString& set, int step) {
  // Resource names are upper case; the step's name compares without case.
  const QString folder = set.isEmpty() ? QString() : set + "/";
  return ":/tutorial/" + folder + tutorPictureName(step).toUpper() + ".png";
}

int tutorLeft(int screenWidth, int mainLeft, int mainWidth) {
  if (screenWidth - kTutorSideOffset < mainLeft + mainWidth) return mainLeft - kTutorSideOffset;
  return mainLeft + kTutorSideOffset;
}

namespace {

// The nearest start in [low, high - size]; low when the size does not fit.
int clampInto(int start, int size, int low, int high) {
  return std::max(low, std::min(start, high - size));
}

}  // namespace

QPoint tutorPosition(const QRect& available, int screenWidth, const QRect& mainFrame,
                     const QSize& tutorSize) {
  const int low = available.left();
  const int high = available.left() + available.width();
  const int top = clampInto(mainFrame.top(), tutorSize.height(), available.top(),
                            available.top() + available.height());
  auto fits = [&](int left) { return left >= low && left + tutorSize.width() <= high; };
  const int preferred = tutorLeft(screenWidth, mainFrame.left(), mainFrame.width());
  if (fits(preferred)) return {preferred, top};
  const int otherSide = preferred < mainFrame.left() ? mainFrame.left() + kTutorSideOffset
                                                     : mainFrame.left() - kTutorSideOffset;
  if (fits(otherSide)) return {otherSide, top};
  return {clampInto(preferred, tutorSize.width(), low, high), top};
}
