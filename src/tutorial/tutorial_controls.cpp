#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "app/mainform.h"
#include "tutorial/tutor_form.h"
#include "tutorial/tutorial_window.h"

namespace {

// A skinned button whose caption may be wider than the button: on the narrow
// step buttons the caption breaks before its parenthesis and shrinks until
// each line fits.
class TStepButton final : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    QFont font = painter.font();
    QString shown = text();
    const auto paren = shown.indexOf('(');
    if (paren > 0 && QFontMetrics(font).horizontalAdvance(shown) > width() - 4)
      shown.insert(paren, '\n');
    qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : 9.0;
    for (; size > 5.0; size -= 0.5) {
      font.setPointSizeF(size);
      if (QFontMetrics(font).boundingRect(rect(), Qt::AlignCenter, shown).width() <= width() - 4)
        break;
    }
    painter.setFont(font);
    painter.drawText(rect(), Qt::AlignCenter, shown);
  }
};

QPushButton* stripButton(QWidget* parent, const char* name, const QString& caption, int left,
                         int top, int width, int height) {
  auto* button = new TStepButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(left, top, width, height);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

void setAlpha(QWidget* control, int alpha) {
  auto* effect = qobject_cast<QGraphicsOpacityEffect*>(control->graphicsEffect());
  if (!effect) {
    effect = new QGraphicsOpacityEffect(control);
    control->setGraphicsEffect(effect);
  }
  effect->setOpacity(alpha / 255.0);
  control->setProperty("alpha", alpha);
}

int alphaOf(const QWidget* control) { return control->property("alpha").toInt(); }

TTutor_Form::TTutor_Form(TMainForm& mainForm) : mainForm_(mainForm) {
  Q_INIT_RESOURCE(tutorial);
  setObjectName("Tutor_Form");
  setWindowTitle("Tutor_Form");
  // No border, no caption bar, no border icons.
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  // The program ends with its main window even while the tutorial is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  setFixedSize(kClientWidth, kClientHeight);
  buildControls();
  connectTutorialHandlers(mainForm_, *this);
}

TTutor_Form::~TTutor_Form() { mainForm_.setTutorForm(nullptr); }

void TTutor_Form::buildControls() {
  Tutor_Image = new QLabel(this);
  Tutor_Image->setObjectName("Tutor_Image");
  // One pixel beyond the window on the top left, as the pictures are drawn.
  Tutor_Image->setGeometry(-1, -1, 660, 520);
  Tutor_Image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Tutor_Image->setScaledContents(false);

  LastStep_Btn = stripButton(this, "LastStep_Btn", kTutorLastCaption, 0, 136, 57, 209);
  NextStep_Btn = stripButton(this, "NextStep_Btn", kTutorNextCaption, 600, 136, 49, 209);
  Skip_Btn = stripButton(this, "Skip_Btn", kTutorSkipCaption, 0, 0, 649, 25);
  setAlpha(LastStep_Btn, kStepBtnAlpha);
  setAlpha(NextStep_Btn, kStepBtnAlpha);
  setAlpha(Skip_Btn, kSkipBtnAlpha);
}
