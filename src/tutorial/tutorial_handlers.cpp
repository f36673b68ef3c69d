// The tutorial window's events, and the main window's button that opens it.
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include "app/mainform.h"
#include "tutorial/tutor_form.h"
#include "tutorial/tutorial_window.h"

void TMainForm::TutorShow_BtnClick() {
  if (!tutorForm_) return;
  TTutor_Form& tutor = *tutorForm_;
  tutor.steps().open();
  setAlpha(tutor.LastStep_Btn, kStepBtnAlpha);
  setAlpha(tutor.NextStep_Btn, kStepBtnAlpha);
  const QRect main = frameGeometry();
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const int screenWidth = screen ? screen->geometry().width() : main.right() + 1;
  const QRect available = screen ? screen->availableGeometry() : main;
  tutor.move(tutorPosition(available, screenWidth, main, tutor.frameGeometry().size()));
  if (tutor.isVisible()) {
    // Already open: start over, so that the captions just set and the
    // picture agree (showing again would not reset the step).
    tutor.FormShow();
    tutor.raise();
    tutor.activateWindow();
  } else {
    tutor.show();
  }
}

void TTutor_Form::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TTutor_Form::FormShow() {
  loadPicture(1);
  steps_.start();
  showCaptions();
}

void TTutor_Form::loadPicture(int step) {
  Tutor_Image->setPixmap(
      QPixmap(tutorPicturePath(mainForm_.state().settings.tutorialPictureSet, step)));
}

void TTutor_Form::showPictureLanguage() {
  if (isVisible()) loadPicture(steps_.step());
}

void showTutorialLanguage(TMainForm& form, const QString& packLocale) {
  form.state().settings.tutorialPictureSet = tutorPictureSet(packLocale);
  if (TTutor_Form* tutor = form.tutorForm()) tutor->showPictureLanguage();
}

void TTutor_Form::showCaptions() {
  LastStep_Btn->setText(steps_.lastCaption());
  NextStep_Btn->setText(steps_.nextCaption());
}

void TTutor_Form::StepCtrlBtn_Click(QPushButton* sender) {
  const bool stays = sender == NextStep_Btn ? steps_.next() : steps_.back();
  if (!stays) {
    hide();
    return;
  }
  loadPicture(steps_.step());
  showCaptions();
}

void TTutor_Form::StepCtrlBtn_MouseEnter(QPushButton* sender) {
  setAlpha(sender, kStepBtnHoverAlpha);
}

void TTutor_Form::StepCtrlBtn_MouseLeave(QPushButton* sender) { setAlpha(sender, kStepBtnAlpha); }

void TTutor_Form::Skip_BtnClick() { hide(); }

void TTutor_Form::Tutor_ImageMouseDown(const QPoint& globalPos) {
  // The window manager moves the window as if its caption bar were held;
  // where none does (no window manager), the window follows the pointer.
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = globalPos - pos();
}

void TTutor_Form::Tutor_ImageMouseMove(const QPoint& globalPos) {
  if (dragging_) move(globalPos - dragOffset_);
}

void TTutor_Form::Tutor_ImageMouseUp() { dragging_ = false; }

bool TTutor_Form::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Tutor_Image) {
    // Only mouse events are cast: the picture gets every other kind too.
    auto pointer = [event] { return static_cast<QMouseEvent*>(event)->globalPosition().toPoint(); };
    switch (event->type()) {
      case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
          Tutor_ImageMouseDown(pointer());
        return true;
      case QEvent::MouseMove:
        Tutor_ImageMouseMove(pointer());
        return true;
      case QEvent::MouseButtonRelease:
        Tutor_ImageMouseUp();
        return true;
      default:
        return false;
    }
  }
  auto* button = qobject_cast<QPushButton*>(watched);
  if (button == LastStep_Btn || button == NextStep_Btn) {
    if (event->type() == QEvent::Enter) StepCtrlBtn_MouseEnter(button);
    if (event->type() == QEvent::Leave) StepCtrlBtn_MouseLeave(button);
  }
  return false;
}

void connectTutorialHandlers(TMainForm& mainForm, TTutor_Form& tutor) {
  mainForm.setTutorForm(&tutor);
  QObject::connect(mainForm.TutorShow_Btn, &QPushButton::clicked, &mainForm,
                   [&mainForm] { mainForm.TutorShow_BtnClick(); });
  for (QPushButton* step : {tutor.LastStep_Btn, tutor.NextStep_Btn}) {
    QObject::connect(step, &QPushButton::clicked, &tutor,
                     [&tutor, step] { tutor.StepCtrlBtn_Click(step); });
    step->installEventFilter(&tutor);
  }
  QObject::connect(tutor.Skip_Btn, &QPushButton::clicked, &tutor,
                   [&tutor] { tutor.Skip_BtnClick(); });
  tutor.Tutor_Image->installEventFilter(&tutor);
}
