// TTutor_Form: the borderless instructions window with six pictures, created
// hidden beside the main window and opened only by its TutorShow_Btn.
#pragma once

#include <QLabel>
#include <QPoint>
#include <QPushButton>
#include <QWidget>

#include "tutorial/tutorial_steps.h"

class TMainForm;

// Blending of the buttons over the picture, 0 (invisible) to 255 (opaque).
inline constexpr int kStepBtnAlpha = 50;
inline constexpr int kStepBtnHoverAlpha = 200;
inline constexpr int kSkipBtnAlpha = 200;

class TTutor_Form : public QWidget {
 public:
  static constexpr int kClientWidth = 650;
  static constexpr int kClientHeight = 512;

  // Builds the hidden window and hooks it to the main window's TutorShow_Btn.
  explicit TTutor_Form(TMainForm& mainForm);
  ~TTutor_Form() override;

  void FormShow();
  void StepCtrlBtn_Click(QPushButton* sender);
  void StepCtrlBtn_MouseEnter(QPushButton* sender);
  void StepCtrlBtn_MouseLeave(QPushButton* sender);
  void Skip_BtnClick();
  // The main window's language changed: an open tutorial shows its step in
  // the new language's pictures.
  void showPictureLanguage();
  // Pressing on the picture drags the whole window (it has no caption bar).
  void Tutor_ImageMouseDown(const QPoint& globalPos);
  void Tutor_ImageMouseMove(const QPoint& globalPos);
  void Tutor_ImageMouseUp();

  TutorSteps& steps() { return steps_; }
  int currentStep() const { return steps_.step(); }

  QLabel* Tutor_Image = nullptr;
  QPushButton* LastStep_Btn = nullptr;
  QPushButton* NextStep_Btn = nullptr;
  QPushButton* Skip_Btn = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  void loadPicture(int step);
  void showCaptions();

  TMainForm& mainForm_;
  TutorSteps steps_;
  // Set while the window follows the pointer by hand (no window manager move).
  bool dragging_ = false;
  QPoint dragOffset_;
};

// Picks the tutorial's pictures for a language pack's locale.
void showTutorialLanguage(TMainForm& form, const QString& packLocale);

// Blending of a control over what lies beneath it, 0..255.
void setAlpha(QWidget* control, int alpha);
int alphaOf(const QWidget* control);
