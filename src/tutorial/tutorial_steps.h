// The tutorial's page turning and placement, free of widgets: which picture
// shows, what the two step buttons read, and where the window opens.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

inline const QString kTutorCloseCaption = QString::fromUtf8("关闭(Close)");
inline const QString kTutorLastCaption = QString::fromUtf8("上一步(LastStep)");
inline const QString kTutorNextCaption = QString::fromUtf8("下一步(NextStep)");
inline const QString kTutorSkipCaption = QString::fromUtf8("跳过说明(Skip)");

class TutorSteps {
 public:
  static constexpr int kFirstStep = 1;
  static constexpr int kLastStep = 6;

  // Opening from the main window: the back button leads out on the first
  // picture, so it reads Close.
  void open();
  // Every showing starts on the title page.
  void start() { step_ = kFirstStep; }
  // A press on the forward or back button. False when the press leads out of
  // the six pictures: the window hides and the next showing starts over.
  bool next();
  bool back();

  int step() const { return step_; }
  const QString& lastCaption() const { return lastCaption_; }
  const QString& nextCaption() const { return nextCaption_; }

 private:
  int step_ = kFirstStep;
  QString lastCaption_ = kTutorCloseCaption;
  QString nextCaption_ = kTutorNextCaption;
};

// The picture resource of a step: "step" + the number (names compare without
// regard to case).
QString tutorPictureName(int step);

// The set of pictures for a language pack's locale ("en", "zh_CN"): "en"
// for English notes, "" for the first set (Chinese notes), which also
// serves every language without a set of its own.
QString tutorPictureSet(const QString& packLocale);
// The resource of a step's picture in a set.
QString tutorPicturePath(const QString& set, int step);

// Left edge of the tutorial: beside the main window, on its right when at
// least this much screen width is free there, otherwise on its left.
inline constexpr int kTutorSideOffset = 450;
int tutorLeft(int screenWidth, int mainLeft, int mainWidth);

// Where the tutorial opens: level with the main window's top, on the side
// tutorLeft picks when it lies whole inside `available` (the usable part of
// the main window's screen), else on the other side, else moved just far
// enough to lie inside, over the main window. Never off the screen while it
// fits on it: its Close button and notes must stay in reach.
QPoint tutorPosition(const QRect& available, int screenWidth, const QRect& mainFrame,
                     const QSize& tutorSize);
