// Every caption and fixed text of the window fits its control under each
// shipped language pack, measured with the fonts the skin gives them.
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QtTest>

#include "app/skin.h"
#include "form_fixture.h"
#include "settings/message_lists.h"

namespace {

// Fields that hold data (folders, addresses) rather than a caption.
const QStringList kDataFields = {"Path_SEdit", "DownloadSavePath_Edit", "CachPath_Edit",
                                 "PatchSavePath_Edit", "URLTestEdit_Edit"};

// The transfer speed labels are made with the window but never shown.
bool neverShown(const QWidget* w) {
  const QString name = w->objectName();
  return name.startsWith("Speed") || name.startsWith("KBperSec");
}

int advance(const QWidget* w, const QString& text) {
  return QFontMetrics(w->font()).horizontalAdvance(text);
}

// Room for one line of text inside a button, after border and padding.
int buttonRoom(const QPushButton* b) {
  QStyleOptionButton opt;
  opt.initFrom(b);
  opt.rect = b->rect();
  opt.text = b->text();
  return b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b).width();
}

// Room for text in a line edit: its contents less the edit's own margins and
// the caret, so that the text never scrolls.
int editRoom(const QLineEdit* e) {
  QStyleOptionFrame opt;
  opt.initFrom(e);
  opt.rect = e->rect();
  opt.lineWidth =
      e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
  const QRect contents = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
  const QMargins margins = e->textMargins();
  const int caret = e->style()->pixelMetric(QStyle::PM_TextCursorWidth, &opt, e);
  return contents.width() - margins.left() - margins.right() - 2 * 2 - caret;
}

}  // namespace

class CaptionsFitTest : public QObject {
  Q_OBJECT
  QStringList misfits;

  void expectFits(const QString& what, int needed, int room) {
    if (needed > room) misfits << QString("%1: needs %2, has %3").arg(what).arg(needed).arg(room);
  }

  void checkWindow(TMainForm& f, const QString& pack) {
    for (QWidget* w : f.findChildren<QWidget*>()) w->ensurePolished();
    for (QWidget* w : f.components()) {
      if (neverShown(w)) continue;
      const QString name = pack + " " + w->objectName();
      if (auto* b = qobject_cast<QPushButton*>(w)) {
        expectFits(name + " \"" + b->text() + "\"", advance(b, b->text()), buttonRoom(b));
      } else if (auto* l = qobject_cast<QLabel*>(w)) {
        if (l->text().isEmpty()) continue;
        if (l->wordWrap()) {
          expectFits(name + " height", l->heightForWidth(l->width()), l->height());
        } else {
          expectFits(name + " \"" + l->text() + "\"", advance(l, l->text()), l->width());
          // A label never reaches past the panel or page it sits on.
          expectFits(name + " right edge", l->geometry().right() + 1, l->parentWidget()->width());
        }
      } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (kDataFields.contains(w->objectName()) || e->text().isEmpty()) continue;
        expectFits(name + " \"" + e->text() + "\"", advance(e, e->text()), editRoom(e));
      } else if (auto* p = qobject_cast<TSkinPanel*>(w)) {
        expectFits(name + " caption", advance(p, p->caption()) + 12, p->width());
      }
    }
    // Texts that come and go: the tips in the tip label, the gauge's texts,
    // the console's placeholder and close hint.
    QLabel* tip = f.FirmwareWpdateTip_Label;
    for (int i = 0; i < f.state().messages.countOf(MsgList::FWTipLabel); ++i) {
      tip->setText(f.msgText(MsgList::FWTipLabel, i));
      expectFits(pack + " tip " + tip->text(), tip->heightForWidth(tip->width()), tip->height());
    }
    TTextGauge* gauge = f.UpdateProgress_Gauge;
    for (int i = 0; i < f.state().messages.countOf(MsgList::UpdateProgressGauge); ++i) {
      const QString text = f.msgText(MsgList::UpdateProgressGauge, i);
      expectFits(pack + " gauge " + text, advance(gauge, text), gauge->width() - 4);
    }
    QPlainTextEdit* history = f.CommandHistory_Memo;
    const int historyRoom = history->width() - 2 * history->frameWidth() -
                            history->verticalScrollBar()->sizeHint().width() -
                            2 * static_cast<int>(history->document()->documentMargin());
    expectFits(pack + " console close hint", advance(history, "=========press ` close=========="),
               historyRoom);
    expectFits(pack + " console placeholder", advance(f.Command_Edit, "Console"),
               editRoom(f.Command_Edit));
  }

  void checkPack(const char* languageName, const QString& pack) {
    FormFixture fx;
    fx.installLanguageData();
    QFile ext(fx.exeDir.filePath("language/language.ext"));
    QVERIFY(ext.open(QIODevice::ReadOnly));
    QByteArray text = ext.readAll();
    ext.close();
    text.replace(QByteArray("language=") + QString::fromUtf8("简体中文").toUtf8(),
                 QByteArray("language=") + languageName);
    QVERIFY(ext.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ext.write(text);
    ext.close();
    TMainForm& f = fx.create();
    QCOMPARE(f.LanguageBox_ComboBox->currentData().toString(), QString::fromUtf8(languageName));
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    checkWindow(f, pack);
  }

 private slots:
  void initTestCase() { applySkin(*qApp); }

  void everyCaptionFitsUnderEachPack() {
    misfits.clear();
    checkPack("English", "English");
    checkPack("简体中文", "Chinese");
    QVERIFY2(misfits.isEmpty(), qPrintable("\n" + misfits.join('\n')));
  }
};

QTEST_MAIN(CaptionsFitTest)
#include "captions_fit_test.moc"
