// The window driven from the keyboard alone: Enter, Space, Escape, Tab, the
// backtick in a field, the masked password and the focus ring.
#include <QMessageBox>
#include <QtTest>

#include "app/real_services.h"
#include "app/skin.h"
#include "form_fixture.h"
#include "session/discovery.h"

class KeyboardTest : public QObject {
  Q_OBJECT
  FormFixture* fx = nullptr;
  TMainForm* f = nullptr;

  QWidget* focused() { return fx->focused(); }
  void unlock() {
    QTest::keyClick(focused(), Qt::Key_QuoteLeft, Qt::ControlModifier);
    f->Command_Edit->clear();
    QTest::keyClicks(f->Command_Edit, "qelvomtr");
    QTest::keyClick(f->Command_Edit, Qt::Key_Return);
    QTest::keyClick(focused(), Qt::Key_Escape);
  }

 private slots:
  void init() {
    fx = new FormFixture;
    QVERIFY(fx->showActive());
    f = fx->form.get();
  }
  void cleanup() { delete fx; }
  // The skin draws the focus ring.
  void initTestCase() { applySkin(*qApp); }

  void enterInEachLoginFieldPressesLogin() {
    f->IPAddress_Edit->clear();  // the press then shows its address box
    for (QLineEdit* field : {f->IPAddress_Edit, f->UserName_Edit, f->Password_Edit}) {
      fx->dialogs.clear();
      field->setFocus();
      QTest::keyClick(field, Qt::Key_Return);
      QCOMPARE(fx->dialogs.texts(), QStringList{"IPaddress error"});
    }
  }

  void enterOrSpaceOnACameraTakesItIntoTheFields() {
    // The start-up search reads the scripted records on its own thread.
    QVERIFY(waitUntil([&] { return !deviceSearchRunning(); }));
    fx->device.searchRecords = {ScriptedDeviceLink::record("127.0.0.2", "CAM1"),
                                ScriptedDeviceLink::record("127.0.0.3", "CAM2")};
    f->DevSearch_BtnClick();
    QVERIFY(waitUntil([&] { return !deviceSearchRunning() && f->DevSearch_Btn->isEnabled(); }));
    QTreeWidget* tree = f->DevList_TreeView;
    tree->setFocus();
    tree->setCurrentItem(tree->topLevelItem(0));
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(f->IPAddress_Edit->text(), QString("127.0.0.2"));
    tree->setCurrentItem(tree->topLevelItem(1));
    QTest::keyClick(tree, Qt::Key_Space);
    QCOMPARE(f->IPAddress_Edit->text(), QString("127.0.0.3"));
  }

  void escapeClosesTheConsoleAndGivesTheFocusBack() {
    f->UserName_Edit->setFocus();
    QTest::keyClick(f->UserName_Edit, Qt::Key_QuoteLeft, Qt::ControlModifier);
    QVERIFY(f->Command_Edit->isVisible());
    QCOMPARE(QApplication::focusWidget(), f->Command_Edit);
    QTest::keyClick(focused(), Qt::Key_Escape);
    QVERIFY(!f->Command_Edit->isVisible());
    QVERIFY(!f->CommandHistory_Memo->isVisible());
    QCOMPARE(QApplication::focusWidget(), f->UserName_Edit);
    QCOMPARE(f->UserName_Edit->text(), QString("admin"));  // nothing typed by the shortcut
    QVERIFY(f->Command_Edit->toolTip().contains("Ctrl+`"));
  }

  void thePasswordIsMaskedUntilShown() {
    QCOMPARE(f->Password_Edit->echoMode(), QLineEdit::Password);
    const QRect before = f->Password_Edit->geometry();
    auto* show = f->Password_Edit->findChild<QAction*>("ShowPassword_Action");
    QVERIFY(show);
    show->trigger();
    QCOMPARE(f->Password_Edit->echoMode(), QLineEdit::Normal);
    show->trigger();
    QCOMPARE(f->Password_Edit->echoMode(), QLineEdit::Password);
    QCOMPARE(f->Password_Edit->geometry(), before);
  }

  void tabFollowsThePageFromTheFoldStripOn() {
    QVERIFY(waitUntil([&] { return !deviceSearchRunning() && f->DevSearch_Btn->isEnabled(); }));
    unlock();
    f->PanelSpreader_Btn->setFocus(Qt::TabFocusReason);
    QList<QWidget*> walked{f->PanelSpreader_Btn};
    for (int i = 0; i < 60; ++i) {
      QTest::keyClick(focused(), Qt::Key_Tab);
      if (focused() == walked.first()) break;
      walked << focused();
    }
    const auto at = [&](QWidget* w) { return walked.indexOf(w); };
    for (QWidget* w :
         QList<QWidget*>{f->DevList_TreeView, f->DeviceID_Edit, f->IPAddress_Edit, f->UserName_Edit,
                         f->Password_Edit, f->Login_SBtn, f->DevSearch_Btn, f->TutorShow_Btn})
      QVERIFY2(at(w) > 0, qPrintable(w->objectName()));
    QVERIFY(at(f->IPAddress_Edit) < at(f->UserName_Edit));
    QVERIFY(at(f->UserName_Edit) < at(f->Password_Edit));
    QVERIFY(at(f->Password_Edit) < at(f->Login_SBtn));
    QVERIFY(at(f->Login_SBtn) < at(f->DevSearch_Btn));
    QVERIFY(at(f->DevSearch_Btn) < at(f->TutorShow_Btn));
  }

  void everyVisibleButtonOfEachPageIsReachedByTab() {
    unlock();
    f->PanelSpreader_BtnClick();
    QVERIFY(waitUntil([&] { return !f->loginPanelOpen(); }));
    for (int i = 0; i < f->Pages_PageControl->pageCount(); ++i) {
      f->Pages_PageControl->setCurrentPage(f->Pages_PageControl->page(i));
      f->Pages_PageControl->tabBar()->setFocus(Qt::TabFocusReason);
      QSet<QWidget*> walked;
      for (int k = 0; k < 80; ++k) {
        QTest::keyClick(focused(), Qt::Key_Tab);
        walked.insert(focused());
      }
      // The folded login panel's buttons are cut off: only its strip counts.
      for (QPushButton* b : f->findChildren<QPushButton*>())
        if (b->isVisible() && b->isEnabled() && !f->Login_Panel->isAncestorOf(b))
          QVERIFY2(walked.contains(b), qPrintable(b->objectName()));
      QVERIFY(walked.contains(f->PanelSpreader_Btn));
    }
  }

  void theFoldedPanelTakesNoTabStopsAndGivesUpTheFocus() {
    unlock();
    f->Password_Edit->setFocus();
    f->PanelSpreader_BtnClick();
    QVERIFY(waitUntil([&] { return !f->loginPanelOpen(); }));
    QVERIFY(!f->Login_Panel->isAncestorOf(focused()) || focused() == f->PanelSpreader_Btn);
    for (int k = 0; k < 40; ++k) {
      QTest::keyClick(focused(), Qt::Key_Tab);
      QVERIFY2(!f->Login_Panel->isAncestorOf(focused()) || focused() == f->PanelSpreader_Btn,
               qPrintable(focused()->objectName()));
    }
    f->PanelSpreader_BtnClick();
    QVERIFY(waitUntil([&] { return f->loginPanelOpen(); }));
    QCOMPARE(f->Password_Edit->focusPolicy(), Qt::StrongFocus);
  }

  void aFocusedButtonShowsItsRingInBothLooks() {
    QVERIFY(waitUntil([&] { return !deviceSearchRunning() && f->DevSearch_Btn->isEnabled(); }));
    for (QPushButton* button : {f->DevSearch_Btn, f->Login_SBtn}) {
      f->IPAddress_Edit->setFocus();
      const QImage plain = button->grab().toImage();
      button->setFocus(Qt::TabFocusReason);
      const QImage ringed = button->grab().toImage();
      // The ring lies along the edge: one pixel in from the left, mid height.
      const QPoint edge(1, button->height() / 2);
      QVERIFY2(plain.pixel(edge) != ringed.pixel(edge), qPrintable(button->objectName()));
    }
  }

  void aBoxIsWideEnoughForItsTitle() {
    QMessageBox box(QMessageBox::NoIcon, "A title long enough to be cut", "ok", QMessageBox::Ok);
    QtDialogs::keepTitleWhole(box);
    box.show();
    const int title = box.fontMetrics().horizontalAdvance(box.windowTitle());
    QVERIFY(box.width() >= title + QtDialogs::kTitleBarButtonsRoom);
  }
};

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
