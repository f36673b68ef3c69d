// One language on screen: under each shipped pack, every text the window
// can show (message lists, captions, hints, field texts, tabs, the caption
// bar, screen-reader names, the boxes the handlers raise) holds no text of
// the other language, and no visible control is nameless to a screen reader.
#include <QAccessible>
#include <QRegularExpression>
#include <QtTest>

#include "firmware/firmware_window.h"
#include "form_fixture.h"
#include "remotefiles/remotefiles_window.h"
#include "settings/message_lists.h"
#include "tutorial/tutor_form.h"

namespace {

bool hasChinese(const QString& text) {
  for (QChar c : text)
    if ((c.unicode() >= 0x3000 && c.unicode() <= 0x9fff) ||
        (c.unicode() >= 0xff00 && c.unicode() <= 0xffef))
      return true;
  return false;
}

// Names that read the same in every language.
const QStringList kSameInEveryLanguage = {"Tovarin", "MD5", "md5",  "KB", "GB",
                                          "IP",      "ID",  "Ctrl", "Esc"};

// English words (three letters or more) in a text of the Chinese pack.
QStringList englishWords(const QString& text) {
  // A file extension (".patch") is no word.
  static const QRegularExpression word("(?<![.\\w])[A-Za-z]{3,}\\b");
  QStringList found;
  for (auto it = word.globalMatch(text); it.hasNext();) {
    const QString w = it.next().captured();
    if (!kSameInEveryLanguage.contains(w)) found << w;
  }
  return found;
}

// Fields whose text is data (folders, addresses, the account, the start
// value that the catalogue request uses) rather than words of a language.
const QStringList kDataTexts = {"Path_SEdit",         "DownloadSavePath_Edit", "CachPath_Edit",
                                "PatchSavePath_Edit", "URLTestEdit_Edit",      "IPAddress_Edit",
                                "UserName_Edit",      "PatchHWName_Edit",      "TargetHarward_Val",
                                "TargetVersion_Val"};

// The button that the tutorial's fixed text names in both languages.
bool fixedBilingual(const QString& text) {
  return text == QString::fromUtf8("使用说明 (instructions)");
}

// Every text a control shows or tells about itself.
QStringList textsOf(QWidget* w) {
  QStringList texts{w->toolTip(), w->accessibleName()};
  const bool data = kDataTexts.contains(w->objectName());
  if (auto* l = qobject_cast<QLabel*>(w); l && !data) texts << l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) texts << b->text();
  if (auto* e = qobject_cast<QLineEdit*>(w); e && !data) texts << e->text() << e->placeholderText();
  if (auto* g = qobject_cast<TTextGauge*>(w)) texts << g->progressText();
  if (auto* p = qobject_cast<TSkinPanel*>(w)) texts << p->caption();
  if (auto* m = qobject_cast<QPlainTextEdit*>(w)) texts << m->toPlainText();
  for (QAction* a : w->actions()) texts << a->text() << a->toolTip();
  return texts;
}

}  // namespace

class LanguageWalkTest : public QObject {
  Q_OBJECT
  QStringList strays;

  void check(const QString& where, const QString& text, bool chinese) {
    if (text.isEmpty() || fixedBilingual(text)) return;
    const bool stray = chinese ? !englishWords(text).isEmpty() : hasChinese(text);
    if (stray) strays << where + ": " + (chinese ? englishWords(text).join(' ') : text);
  }

  void walk(FormFixture& fx, TMainForm& f, bool chinese) {
    strays.clear();
    for (MsgList list : MessageLists::packOrder())
      for (int i = 0; i < f.state().messages.countOf(list); ++i)
        check(QString(MessageLists::nameOf(list)) + QString::number(i), f.msgText(list, i),
              chinese);
    check("caption", f.windowTitle(), chinese);
    for (int i = 0; i < f.Pages_PageControl->pageCount(); ++i)
      check("tab", f.Pages_PageControl->pageCaption(f.Pages_PageControl->page(i)), chinese);
    for (QWidget* w : f.findChildren<QWidget*>()) {
      // The console speaks its commands, which are the same in every language.
      if (w == f.Command_Edit || w == f.CommandHistory_Memo || w == f.LanguageBox_ComboBox)
        continue;
      // The tab strip's own scroll arrows carry Qt's texts; the file menu
      // takes its item's text from the message list as it opens.
      if (qobject_cast<QTabBar*>(w->parentWidget()) || qobject_cast<QMenu*>(w)) continue;
      for (const QString& text : textsOf(w)) check(w->objectName(), text, chinese);
    }
    // The boxes and questions the handlers raise.
    fx.dialogs.clear();
    f.IPAddress_Edit->clear();
    f.Login_SBtnClick();
    f.FirmwareUpdate_BtnClick(f.DeviceReboot_Btn);
    f.FirmwareUpdate_BtnClick(f.FirmwareBacktrack_Btn);
    makeRemoteFilesPage(f)->askMissionOverwrite();
    f.state().updateRun.active = true;
    confirmCloseDuringUpdate(f);
    f.state().updateRun.active = false;
    f.MUPGetmd5_BtnClick();
    check("MUPmd5out_Edit", f.MUPmd5out_Edit->text(), chinese);
    QCOMPARE(fx.dialogs.boxes().size(), std::size_t(5));
    for (const ShownBox& box : fx.dialogs.boxes()) {
      check("box title", box.title, chinese);
      check("box", box.text, chinese);
    }
  }

  // Visible controls a screen reader reaches: the named ones, the ones Tab
  // reaches, less empty value labels (nothing to read) and the bevels
  // (lines that only separate areas).
  QStringList nameless(TMainForm& f) {
    QStringList found;
    for (QWidget* w : f.findChildren<QWidget*>()) {
      if (!w->isVisible() || qobject_cast<TBevel*>(w)) continue;
      const bool named = f.components().contains(w);
      if (!named && !(w->focusPolicy() & Qt::TabFocus)) continue;
      if (auto* l = qobject_cast<QLabel*>(w); l && l->text().isEmpty()) continue;
      // The line inside a spin box: the reader reads the spin box.
      if (qobject_cast<QAbstractSpinBox*>(w->parentWidget())) continue;
      QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
      if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
        found << w->objectName() + " (" + w->metaObject()->className() + ")";
    }
    return found;
  }

  void switchTo(TMainForm& f, const char* command) {
    f.Command_Edit->setText(command);
    f.CheckCommand(f.Command_Edit);
  }

  // Every page shown in turn, with the login panel folded away.
  QStringList namelessOnEveryPage(TMainForm& f) {
    QStringList found = nameless(f);
    switchTo(f, "qelvomtr");
    f.PanelSpreader_BtnClick();
    waitUntil([&] { return !f.loginPanelOpen(); });
    for (int i = 0; i < f.Pages_PageControl->pageCount(); ++i) {
      f.Pages_PageControl->setCurrentPage(f.Pages_PageControl->page(i));
      for (const QString& name : nameless(f))
        if (!found.contains(name)) found << name;
    }
    return found;
  }

 private slots:
  void chineseShowsNoEnglish() {
    FormFixture fx;
    fx.installLanguageData();
    TMainForm& f = fx.create();
    f.show();
    walk(fx, f, true);
    QVERIFY2(strays.isEmpty(), qPrintable(strays.join('\n')));
  }

  void englishShowsNoChinese() {
    FormFixture fx;
    fx.installLanguageData();
    TMainForm& f = fx.create();
    f.show();
    switchTo(f, "language:english");
    walk(fx, f, false);
    QVERIFY2(strays.isEmpty(), qPrintable(strays.join('\n')));
  }

  void noVisibleControlIsNamelessUnderEitherPack() {
    for (const char* language : {"language:chinese", "language:english"}) {
      FormFixture fx;
      fx.installLanguageData();
      TMainForm& f = fx.create();
      f.show();
      switchTo(f, language);
      const QStringList found = namelessOnEveryPage(f);
      QVERIFY2(found.isEmpty(), qPrintable(QString(language) + ": " + found.join(", ")));
    }
  }

  void theTutorialFollowsTheLanguageWhileOpen() {
    FormFixture fx;
    fx.installLanguageData();
    TMainForm& f = fx.create();
    TTutor_Form tutor(f);
    f.show();
    f.TutorShow_BtnClick();
    QVERIFY(tutor.isVisible());
    auto shows = [&](const char* resource) {
      return tutor.Tutor_Image->pixmap().toImage() ==
             QImage(resource).convertToFormat(tutor.Tutor_Image->pixmap().toImage().format());
    };
    QVERIFY(shows(":/tutorial/STEP1.png"));
    switchTo(f, "language:english");
    QVERIFY(shows(":/tutorial/en/STEP1.png"));
    tutor.StepCtrlBtn_Click(tutor.NextStep_Btn);
    QVERIFY(shows(":/tutorial/en/STEP2.png"));
    switchTo(f, "language:chinese");
    QVERIFY(shows(":/tutorial/STEP2.png"));
  }
};

QTEST_MAIN(LanguageWalkTest)
#include "language_walk_test.moc"
