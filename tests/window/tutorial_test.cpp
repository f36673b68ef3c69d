// The tutorial window as the operator meets it: hidden until asked for,
// opened beside the main window, paged, skipped and dragged.
#include <QtTest>

#include "form_fixture.h"
#include "tutorial/tutor_form.h"

class TutorialTest : public QObject {
  Q_OBJECT
 private slots:
  void createdHiddenAndBorderless() {
    FormFixture fx;
    TMainForm& f = fx.create();
    TTutor_Form tutor(f);
    f.show();
    QTest::qWait(50);
    QVERIFY(tutor.isHidden());
    QVERIFY(tutor.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(tutor.size(), QSize(650, 512));
    QCOMPARE(tutor.Tutor_Image->geometry(), QRect(-1, -1, 660, 520));
    QCOMPARE(tutor.LastStep_Btn->geometry(), QRect(0, 136, 57, 209));
    QCOMPARE(tutor.NextStep_Btn->geometry(), QRect(600, 136, 49, 209));
    QCOMPARE(tutor.Skip_Btn->geometry(), QRect(0, 0, 649, 25));
    QCOMPARE(tutor.Skip_Btn->text(), QString::fromUtf8("跳过说明(Skip)"));
    QCOMPARE(alphaOf(tutor.Skip_Btn), 200);
  }

  void everyPictureIsThereAtItsSize() {
    FormFixture fx;
    TMainForm& f = fx.create();
    TTutor_Form tutor(f);
    f.TutorShow_Btn->click();
    QVERIFY(tutor.isVisible());
    QCOMPARE(tutor.Tutor_Image->pixmap().size(), QSize(660, 540));
    for (int step = 2; step <= 6; ++step) {
      tutor.NextStep_Btn->click();
      QCOMPARE(tutor.currentStep(), step);
      QCOMPARE(tutor.Tutor_Image->pixmap().size(), QSize(654, 514));
    }
    QCOMPARE(tutor.NextStep_Btn->text(), QString::fromUtf8("关闭(Close)"));
    tutor.NextStep_Btn->click();
    QVERIFY(tutor.isHidden());
  }

  void closeOnTheFirstStepAndReopenAfterSkip() {
    FormFixture fx;
    TMainForm& f = fx.create();
    TTutor_Form tutor(f);
    f.TutorShow_Btn->click();
    QCOMPARE(tutor.LastStep_Btn->text(), QString::fromUtf8("关闭(Close)"));
    tutor.LastStep_Btn->click();
    QVERIFY(tutor.isHidden());
    f.TutorShow_Btn->click();
    tutor.NextStep_Btn->click();
    tutor.NextStep_Btn->click();
    tutor.Skip_Btn->click();
    QVERIFY(tutor.isHidden());
    QCOMPARE(tutor.currentStep(), 3);
    f.TutorShow_Btn->click();
    QCOMPARE(tutor.currentStep(), 1);
    QCOMPARE(tutor.LastStep_Btn->text(), QString::fromUtf8("关闭(Close)"));
  }

  void openingAgainWhileOpenStartsOver() {
    // The captions are reset on opening; the picture and step must follow.
    FormFixture fx;
    TMainForm& f = fx.create();
    TTutor_Form tutor(f);
    f.TutorShow_Btn->click();
    tutor.NextStep_Btn->click();
    tutor.NextStep_Btn->click();
    f.TutorShow_Btn->click();
    QCOMPARE(tutor.currentStep(), 1);
    tutor.LastStep_Btn->click();
    QVERIFY(tutor.isHidden());
  }

  void opensWhollyOnTheMainWindowsScreen() {
    // The main window at the right edge of its screen: the tutorial is
    // placed within that screen's usable area, whatever its size.
    FormFixture fx;
    TMainForm& f = fx.create();
    TTutor_Form tutor(f);
    f.show();
    const QRect available = f.screen()->availableGeometry();
    f.move(available.right() + 1 - f.frameGeometry().width(), available.top() + 10);
    f.TutorShow_Btn->click();
    QVERIFY2(available.contains(tutor.frameGeometry()),
             qPrintable(QString("tutorial at %1,%2 on a screen of %3x%4")
                            .arg(tutor.x())
                            .arg(tutor.y())
                            .arg(available.width())
                            .arg(available.height())));
    QCOMPARE(tutor.y(), f.frameGeometry().y());
  }

  void stepButtonsLightUpUnderThePointer() {
    FormFixture fx;
    TMainForm& f = fx.create();
    TTutor_Form tutor(f);
    f.TutorShow_Btn->click();
    QCOMPARE(alphaOf(tutor.NextStep_Btn), 50);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(tutor.NextStep_Btn, &enter);
    QCOMPARE(alphaOf(tutor.NextStep_Btn), 200);
    QCOMPARE(alphaOf(tutor.LastStep_Btn), 50);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(tutor.NextStep_Btn, &leave);
    QCOMPARE(alphaOf(tutor.NextStep_Btn), 50);
  }

  void draggingThePictureMovesTheWindow() {
    FormFixture fx;
    TMainForm& f = fx.create();
    TTutor_Form tutor(f);
    f.TutorShow_Btn->click();
    const QPoint start = tutor.pos();
    QTest::mousePress(tutor.Tutor_Image, Qt::LeftButton, {}, QPoint(300, 200));
    QMouseEvent move(QEvent::MouseMove, QPointF(340, 230),
                     QPointF(tutor.Tutor_Image->mapToGlobal(QPoint(340, 230))), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(tutor.Tutor_Image, &move);
    QTest::mouseRelease(tutor.Tutor_Image, Qt::LeftButton, {}, QPoint(340, 230));
    QCOMPARE(tutor.pos(), start + QPoint(40, 30));
  }
};

QTEST_MAIN(TutorialTest)
#include "tutorial_test.moc"
