// The hidden console driven as an operator drives it: backtick, typing, Enter.
#include <QtTest>

#include "form_fixture.h"

namespace {

QStringList historyLines(TMainForm& f) {
  const QString text = f.CommandHistory_Memo->toPlainText();
  return text.isEmpty() ? QStringList() : text.split('\n');
}

const QString kHint = "=========press ` close==========";

}  // namespace

class ConsoleTest : public QObject {
  Q_OBJECT
  FormFixture* fx = nullptr;
  TMainForm* f = nullptr;

  QWidget* focused() { return fx->focused(); }
  void type(const QString& command) {
    QTest::keyClicks(f->Command_Edit, command);
    QTest::keyClick(f->Command_Edit, Qt::Key_Return);
  }

 private slots:
  void init() {
    fx = new FormFixture;
    QVERIFY(fx->showActive());
    f = fx->form.get();
  }
  void cleanup() { delete fx; }

  void backtickShowsHidesAndShowsAgainWithOneHintLine() {
    QTest::keyClick(focused(), '`');
    QVERIFY(f->Command_Edit->isVisible());
    QVERIFY(f->CommandHistory_Memo->isVisible());
    QCOMPARE(f->Command_Edit->text(), QString("Console"));
    QCOMPARE(historyLines(*f), QStringList{kHint});
    QCOMPARE(kHint.size(), 32);
    QCOMPARE(QApplication::focusWidget(), f->Command_Edit);
    QTest::keyClick(focused(), '`');
    QVERIFY(!f->Command_Edit->isVisible());
    QVERIFY(!f->CommandHistory_Memo->isVisible());
    QTest::keyClick(focused(), '`');
    QVERIFY(f->Command_Edit->isVisible());
    QCOMPARE(historyLines(*f), QStringList{kHint});
  }

  void placeholderClearsOnClickAndReturnsWhenLeftEmpty() {
    QTest::keyClick(focused(), '`');
    QTest::mouseClick(f->Command_Edit, Qt::LeftButton);
    QVERIFY(f->Command_Edit->text().isEmpty());
    f->Password_Edit->setFocus();
    QCOMPARE(f->Command_Edit->text(), QString("Console"));
  }

  void makeUpdatePatchShowsThePatchMakerTab() {
    QTest::keyClick(focused(), '`');
    f->Command_Edit->clear();
    type("make update patch");
    QCOMPARE(historyLines(*f),
             (QStringList{kHint, "make update patch", "make update patch page get!"}));
    QVERIFY(f->Pages_PageControl->isTabVisible(f->MakeUpdatePatch_Page));
    QVERIFY(!f->Pages_PageControl->isTabVisible(f->Tovarin_Page));
    QVERIFY(f->Command_Edit->text().isEmpty());
  }

  void nearMissesAreNoCommands() {
    QTest::keyClick(focused(), '`');
    f->Command_Edit->clear();
    type(" make update patch");
    f->Command_Edit->clear();
    type("Make update patch");
    QCOMPARE(historyLines(*f), (QStringList{kHint, " make update patch", "Make update patch"}));
    QVERIFY(!f->Pages_PageControl->isTabVisible(f->MakeUpdatePatch_Page));
  }

  void enterOnAnEmptyLineAddsNothing() {
    QTest::keyClick(focused(), '`');
    f->Command_Edit->clear();
    QTest::keyClick(f->Command_Edit, Qt::Key_Return);
    QCOMPARE(historyLines(*f), QStringList{kHint});
  }

  void accessCodeUnlocksThreePagesAndTheFoldButton() {
    QTest::keyClick(focused(), '`');
    f->Command_Edit->clear();
    type("qelvomtr");
    // The code itself stays out of the history.
    QCOMPARE(historyLines(*f), (QStringList{kHint, "********", "technicist permission get!"}));
    QVERIFY(f->Pages_PageControl->isTabVisible(f->Tovarin_Page));
    QVERIFY(f->Pages_PageControl->isTabVisible(f->Options_Page));
    QVERIFY(f->Pages_PageControl->isTabVisible(f->MakeUpdatePatch_Page));
    QVERIFY(f->PanelSpreader_Btn->isEnabled());
  }

  void backtickInThePasswordFieldLandsInTheFieldOnly() {
    f->Password_Edit->setFocus();
    QTest::keyClicks(focused(), "a`");
    QVERIFY(!f->Command_Edit->isVisible());
    QCOMPARE(f->Password_Edit->text(), QString("a`"));
    // Ctrl+` opens the console from the field; the next key goes there,
    // replacing its selected placeholder.
    QTest::keyClick(focused(), Qt::Key_QuoteLeft, Qt::ControlModifier);
    QVERIFY(f->Command_Edit->isVisible());
    QTest::keyClicks(focused(), "b");
    QCOMPARE(f->Password_Edit->text(), QString("a`"));
    QCOMPARE(f->Command_Edit->text(), QString("b"));
    // From a button a plain backtick opens it.
    QTest::keyClick(focused(), '`');
    QVERIFY(!f->Command_Edit->isVisible());
    f->TutorShow_Btn->setFocus();
    QTest::keyClick(f->TutorShow_Btn, '`');
    QVERIFY(f->Command_Edit->isVisible());
  }

  void hidingTheConsoleGivesTheFocusBack() {
    f->Password_Edit->setFocus();
    QTest::keyClick(focused(), Qt::Key_QuoteLeft, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), f->Command_Edit);
    QTest::keyClick(focused(), '`');
    QCOMPARE(QApplication::focusWidget(), f->Password_Edit);
    // Not the fold button: a Space now types into the field, nothing folds.
    QVERIFY(f->loginPanelOpen());
  }

  void focusGoesBackAlsoAfterACommand() {
    f->UserName_Edit->setFocus();
    QTest::keyClick(focused(), Qt::Key_QuoteLeft, Qt::ControlModifier);
    f->Command_Edit->clear();
    type("qelvomtr");
    QTest::keyClick(focused(), '`');
    QCOMPARE(QApplication::focusWidget(), f->UserName_Edit);
  }

  void languageCommandsWithoutPacksDoNothing() {
    QTest::keyClick(focused(), '`');
    f->Command_Edit->clear();
    type("language:english");
    QCOMPARE(historyLines(*f), (QStringList{kHint, "language:english"}));
  }
};

QTEST_MAIN(ConsoleTest)
#include "console_test.moc"
