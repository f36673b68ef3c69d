// The patch maker page as an operator uses it: files dropped on the list,
// the rule script, the version rows, Make and what it hands the library.
#include <QClipboard>
#include <QMimeData>
#include <QtTest>

#include "devicelink/progress_callbacks.h"
#include "form_fixture.h"

class PatchMakerPageTest : public QObject {
  Q_OBJECT
  std::unique_ptr<FormFixture> fx;
  TMainForm* f = nullptr;
  QTemporaryDir dir;

  QString file(const QString& relative) {
    const QString path = dir.filePath(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(relative.toUtf8());
    return path;
  }
  void drop(const QStringList& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    // The toolkit delivers a drop to the widget that accepted its entry.
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(f->Files2Patch_LV->viewport(), &enter);
    QDropEvent event(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {}, QEvent::Drop);
    QApplication::sendEvent(f->Files2Patch_LV->viewport(), &event);
    QVERIFY(event.isAccepted());
  }
  void pickRule(const QString& path) {
    fx->dialogs.files.push_back(path);
    QTest::mouseClick(f->RuleFile_Btn, Qt::LeftButton);
  }
  void setRow(std::array<QLineEdit*, 4>& row, const QStringList& parts) {
    for (int i = 0; i < 4; ++i) row[i]->setText(parts[i]);
  }
  // Each key goes where the focus is, as typing does.
  void type(const QString& keys) {
    for (QChar c : keys) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
  }
  QString resultPath() { return listitem::subItem(f->MUPresult_Listview->item(0)); }

 private slots:
  void init() {
    fx = std::make_unique<FormFixture>();
    QVERIFY(fx->showActive());
    f = fx->form.get();
    f->PatchSavePath_Edit->setText(dir.path());
  }
  void cleanup() { fx.reset(); }

  void makeRefusesAPatchOfNoFilesOrOfVersionZero() {
    QVERIFY(!f->MakeUpdatePatch_Btn->isEnabled());
    const QString rule = file("rules/patchrule.sh");
    pickRule(rule);
    QCOMPARE(fx->dialogs.fileFilters.last(), QString("RuleFile(*.sh)|*.sh|BatFile(*.bat)|*.bat"));
    QCOMPARE(fx->dialogs.fileInitialFolders.last(), QString("./"));
    setRow(f->PatchVersionEdits, {"00", "00", "00", "01"});
    f->MakeUpdatePatch_Btn->click();
    QCOMPARE(fx->dialogs.texts(), QStringList{"No files to patch: drag the files of the patch "
                                              "onto the file list first."});
    drop({file("a.bin")});
    setRow(f->PatchVersionEdits, {"00", "00", "00", "00"});
    f->MakeUpdatePatch_Btn->click();
    QCOMPARE(fx->dialogs.texts().last(),
             QString("00.00.00.00 is no version: enter the version the patch brings as NewV."));
    QVERIFY(fx->device.makePatches.empty());
    QCOMPARE(f->MUPresult_Listview->count(), 0);

    f->PatchVersionEdits[3]->setText("01");
    f->MakeUpdatePatch_Btn->click();
    const auto& call = fx->device.makePatches.at(0);
    QCOMPARE(call.hardwareName, std::string("47RKT"));
    QCOMPARE(call.fileCount, 2);
    QCOMPARE(call.outputPath, (dir.path() + "/47RKT1.patch").toStdString());
    QCOMPARE(call.answers.size(), std::size_t{2});  // n = 1 and 2; 0 and 3 get nothing
    QCOMPARE(call.answers[1].name, std::string("patchrule.sh"));
    QCOMPARE(call.answers[1].info, rule.toStdString());
  }

  void versionRowsNameThePatchAndFilesGoInDropOrder() {
    const QString a = file("in/a.bin"), b = file(QString(90, 'x') + "/b.bin");
    drop({a, dir.path(), dir.filePath("gone.bin"), b, a});  // folder, missing: skipped
    QCOMPARE(f->Files2Patch_LV->count(), 3);
    pickRule(file("my rules/r.sh"));
    setRow(f->PatchVersionEdits, {"00", "01", "02", "03"});
    setRow(f->OldVersionEdits, {"00", "01", "02", "02"});
    fx->device.onMakePatch = [] { CurProgressCallback(63, 90); };
    f->MakeUpdatePatch_Btn->click();

    const auto& call = fx->device.makePatches.at(0);
    QCOMPARE(call.newVersion, 10203);
    QCOMPARE(call.oldVersion, 10202);
    QCOMPARE(call.fileCount, 4);
    QCOMPARE(call.answers.size(), std::size_t{4});
    QCOMPARE(call.answers[1].info, b.toStdString());  // taken whole, past 79 characters
    QCOMPARE(call.answers[2].info, a.toStdString());  // the same file twice
    QCOMPARE(call.answers[3].name, std::string("r.sh"));
    QCOMPARE(call.answers[3].info, "\"" + dir.filePath("my rules/r.sh").toStdString() + "\"");
    QCOMPARE(f->MUPresult_Listview->item(0)->text(), QString("47RKT10203.patch"));
    QCOMPARE(resultPath(), dir.filePath("47RKT10203.patch"));
    QCOMPARE(f->MakeUpdatePatchProgress_Gauge->value(), 63);
  }

  void aFailedMakeKeepsThePreviousResult() {
    pickRule(file("r.sh"));
    drop({file("a.bin")});
    setRow(f->PatchVersionEdits, {"00", "00", "00", "01"});
    f->MakeUpdatePatch_Btn->click();
    const QString note = f->MUPresultNote_Memo->toPlainText();
    setRow(f->PatchVersionEdits, {"00", "00", "01", "00"});
    fx->device.makePatchResult = -3;
    f->MakeUpdatePatch_Btn->click();
    QCOMPARE(fx->device.makePatches.size(), std::size_t{2});
    QCOMPARE(f->MUPresult_Listview->count(), 1);
    QCOMPARE(resultPath(), dir.filePath("47RKT1.patch"));
    QCOMPARE(f->MUPresultNote_Memo->toPlainText(), note);
    QVERIFY(fx->dialogs.boxes().empty());
  }

  // An icon dragged from one area onto another (or onto itself) must not
  // become a second entry: only the file list takes drops, only of files.
  void iconsDraggedBetweenAreasAddNothing() {
    pickRule(file("r.sh"));
    drop({file("a.bin")});
    fx->dialogs.files.push_back(file("x.patch"));
    QTest::mouseClick(f->MUPresult_Listview->viewport(), Qt::LeftButton);
    const std::array<QListWidget*, 3> areas{f->Files2Patch_LV, f->UpdateRuleFile_LV,
                                            f->MUPresult_Listview};
    for (QListWidget* from : areas) {
      QVERIFY(!from->dragEnabled());
      for (QListWidget* onto : areas) {
        std::unique_ptr<QMimeData> icon(from->model()->mimeData({from->model()->index(0, 0)}));
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, icon.get(), Qt::LeftButton, {});
        QApplication::sendEvent(onto->viewport(), &enter);
        QDropEvent event(QPointF(20, 20), Qt::CopyAction, icon.get(), Qt::LeftButton, {},
                         QEvent::Drop);
        QApplication::sendEvent(onto->viewport(), &event);
        QVERIFY(!event.isAccepted());
      }
    }
    QMimeData text;
    text.setText("a.bin");
    QDropEvent event(QPointF(20, 20), Qt::CopyAction, &text, Qt::LeftButton, {}, QEvent::Drop);
    QApplication::sendEvent(f->Files2Patch_LV->viewport(), &event);
    for (QListWidget* area : areas) QCOMPARE(area->count(), 1);
    // Where the toolkit looks for a drop target, only the file list is one.
    QVERIFY(f->Files2Patch_LV->viewport()->acceptDrops());
    for (QListWidget* area : {f->UpdateRuleFile_LV, f->MUPresult_Listview})
      QVERIFY(!area->acceptDrops() && !area->viewport()->acceptDrops());

    setRow(f->PatchVersionEdits, {"00", "00", "00", "01"});
    f->MakeUpdatePatch_Btn->click();
    QCOMPARE(fx->device.makePatches.size(), std::size_t{1});
    QCOMPARE(fx->device.makePatches[0].fileCount, 2);
  }

  void aPastedLetterStopsMakeBeforeTheLibrary() {
    pickRule(file("r.sh"));
    QApplication::clipboard()->setText("4x");
    f->OldVersionEdits[1]->clear();
    f->OldVersionEdits[1]->paste();
    f->MakeUpdatePatch_Btn->click();
    QCOMPARE(fx->dialogs.texts(), QStringList{"'004x0000' is not a valid integer value"});
    // The part being edited is checked as Make takes the focus from it.
    f->PatchVersionEdits[2]->setFocus();
    f->PatchVersionEdits[2]->setText("x");
    f->MakeUpdatePatch_Btn->click();
    QCOMPARE(fx->dialogs.texts().last(), QString("'x' is not a valid integer value"));
    QCOMPARE(f->OldVersionEdits[1]->text(), QString("4x"));
    QVERIFY(fx->device.makePatches.empty());
  }

  void typingIntoTheParts() {
    QLineEdit* const* row = f->PatchVersionEdits.data();
    row[0]->setFocus(Qt::TabFocusReason);
    type("1.2.3.4");
    QCOMPARE(QApplication::focusWidget(), row[3]);
    QCOMPARE((QStringList{row[0]->text(), row[1]->text(), row[2]->text(), row[3]->text()}),
             (QStringList{"01", "02", "03", "4"}));
    type("a-.");  // swallowed, then the dot normalises in place
    QCOMPARE(row[3]->text(), QString("04"));
    QCOMPARE(QApplication::focusWidget(), row[3]);
    QTest::keyClick(row[3], Qt::Key_Backspace);
    QTest::keyClick(row[3], Qt::Key_Backspace);
    f->OldVersionEdits[0]->setFocus(Qt::MouseFocusReason);
    QCOMPARE(row[3]->text(), QString("00"));
    // Every click on the hardware name empties it.
    QTest::mouseClick(f->PatchHWName_Edit, Qt::LeftButton);
    QCOMPARE(f->PatchHWName_Edit->text(), QString());
  }

  void aPartTakesTwoDigitsDeleteAndDroppedText() {
    QLineEdit* const* row = f->PatchVersionEdits.data();
    row[0]->clear();
    row[0]->setFocus(Qt::TabFocusReason);
    type("345");
    QCOMPARE(row[0]->text(), QString("34"));
    // Delete edits as Backspace does; X11 sends it with the DEL character.
    row[1]->setFocus(Qt::TabFocusReason);
    row[1]->setText("12");
    row[1]->setCursorPosition(0);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7f)));
    QApplication::sendEvent(row[1], &del);
    QCOMPARE(row[1]->text(), QString("2"));

    // Dropped text goes in as pasted text does: leaving the part normalises
    // it, or reports what is no number.
    auto dropText = [](QLineEdit* part, const QString& text) {
      QMimeData mime;
      mime.setText(text);
      part->clear();
      QDragEnterEvent enter(QPoint(3, 3), Qt::CopyAction, &mime, Qt::LeftButton, {});
      QApplication::sendEvent(part, &enter);
      QDropEvent event(QPointF(3, 3), Qt::CopyAction, &mime, Qt::LeftButton, {}, QEvent::Drop);
      QApplication::sendEvent(part, &event);
    };
    dropText(row[2], "5");
    QCOMPARE(QApplication::focusWidget(), row[2]);
    dropText(row[3], "x7");
    QCOMPARE(row[2]->text(), QString("05"));
    QVERIFY(fx->dialogs.boxes().empty());
    f->OldVersionEdits[0]->setFocus(Qt::MouseFocusReason);
    QCOMPARE(row[3]->text(), QString("x7"));
    QCOMPARE(fx->dialogs.texts(), QStringList{"'x7' is not a valid integer value"});
  }

  void pathsTheLibraryCannotTakeAreRefusedBeforeMake() {
    pickRule(file("r.sh"));
    setRow(f->PatchVersionEdits, {"00", "00", "00", "01"});
    const QString deep = "/" + QString(KESTRUM_PATCH_INFO_SIZE, 'd') + "/a.bin";
    listitem::add(f->Files2Patch_LV, "a.bin", deep, 2, f->TovarinImages_ImageList);
    f->MakeUpdatePatch_Btn->click();
    QVERIFY(fx->device.makePatches.empty());
    QCOMPARE(fx->dialogs.boxes().size(), std::size_t{1});
    QVERIFY(fx->dialogs.texts()[0].contains("too long"));
  }

  // After Make the area says where the patch went; the MD5 shown until then
  // was another file's, until Get Md5 runs again.
  void theResultAreaShowsWhereMakeWroteAndItsOwnMd5() {
    auto md5Of = [](const QByteArray& content) {
      return QString(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex());
    };
    f->MUPGetmd5_Btn->click();
    QCOMPARE(f->MUPmd5out_Edit->text(), QString("Need a File"));
    fx->dialogs.files.push_back(file("x.patch"));
    QTest::mouseClick(f->MUPresult_Listview->viewport(), Qt::LeftButton);
    QCOMPARE(fx->dialogs.fileFilters.last(), QString("PatchFile(*.patch)|*.patch"));
    QCOMPARE(f->MUPmd5out_Edit->text(), QString());
    f->MUPGetmd5_Btn->click();
    QCOMPARE(f->MUPmd5out_Edit->text(), md5Of("x.patch"));
    QCOMPARE(f->MUPresultNote_Memo->toPlainText(), QString());

    pickRule(file("r.sh"));
    drop({file("a.bin")});
    setRow(f->PatchVersionEdits, {"00", "00", "20", "11"});
    f->MakeUpdatePatch_Btn->click();
    const QString made = dir.filePath("47RKT2011.patch");
    QCOMPARE(resultPath(), made);
    QCOMPARE(f->MUPresultNote_Memo->toPlainText(),
             "Patch written to " + QDir::toNativeSeparators(made));
    QCOMPARE(f->MUPmd5out_Edit->text(), QString());
    file("47RKT2011.patch");  // what the library would have written
    f->MUPGetmd5_Btn->click();
    QCOMPARE(f->MUPmd5out_Edit->text(), md5Of("47RKT2011.patch"));

    // A patch picked by hand is no longer where Make wrote.
    fx->dialogs.files.push_back(dir.filePath("x.patch"));
    QTest::mouseClick(f->MUPresult_Listview->viewport(), Qt::LeftButton);
    QCOMPARE(f->MUPresultNote_Memo->toPlainText(), QString());
    QCOMPARE(f->MUPmd5out_Edit->text(), QString());
  }
};

QTEST_MAIN(PatchMakerPageTest)
#include "patchmaker_page_test.moc"
