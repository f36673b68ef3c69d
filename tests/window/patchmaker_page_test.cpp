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
    f = &fx->create();
    f->PatchSavePath_Edit->setText(dir.path());
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
  }
  void cleanup() { fx.reset(); }

  void emptyFileListMakesAPatchOfTheRuleScriptAlone() {
    QVERIFY(!f->MakeUpdatePatch_Btn->isEnabled());
    const QString rule = file("rules/patchrule.sh");
    pickRule(rule);
    QCOMPARE(fx->dialogs.fileFilters.last(), QString("RuleFile(*.sh)|*.sh|BatFile(*.bat)|*.bat"));
    QCOMPARE(fx->dialogs.fileInitialFolders.last(), QString("./"));
    f->MakeUpdatePatch_Btn->click();

    QCOMPARE(fx->device.makePatches.size(), std::size_t{1});
    const auto& call = fx->device.makePatches[0];
    QCOMPARE(call.hardwareName, std::string("47RKT"));
    QCOMPARE(call.fileCount, 1);
    QCOMPARE(call.outputPath, (dir.path() + "/47RKT0.patch").toStdString());
    QCOMPARE(call.answers.size(), std::size_t{1});  // n = 1 only; 0 and 2 get nothing
    QCOMPARE(call.answers[0].index, 1);
    QCOMPARE(call.answers[0].name, std::string("patchrule.sh"));
    QCOMPARE(call.answers[0].info, rule.toStdString());
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
    f->MakeUpdatePatch_Btn->click();
    setRow(f->PatchVersionEdits, {"00", "00", "01", "00"});
    fx->device.makePatchResult = -3;
    f->MakeUpdatePatch_Btn->click();
    QCOMPARE(fx->device.makePatches.size(), std::size_t{2});
    QCOMPARE(f->MUPresult_Listview->count(), 1);
    QCOMPARE(resultPath(), dir.filePath("47RKT0.patch"));
    QVERIFY(fx->dialogs.boxes().empty());
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

  void pathsTheLibraryCannotTakeAreRefusedBeforeMake() {
    pickRule(file("r.sh"));
    const QString deep = "/" + QString(KESTRUM_PATCH_INFO_SIZE, 'd') + "/a.bin";
    listitem::add(f->Files2Patch_LV, "a.bin", deep, 2, f->TovarinImages_ImageList);
    f->MakeUpdatePatch_Btn->click();
    QVERIFY(fx->device.makePatches.empty());
    QCOMPARE(fx->dialogs.boxes().size(), std::size_t{1});
    QVERIFY(fx->dialogs.texts()[0].contains("too long"));
  }

  void md5OfTheResult() {
    f->MUPGetmd5_Btn->click();
    QCOMPARE(f->MUPmd5out_Edit->text(), QString("Need a File"));
    const QString patch = file("x.patch");
    fx->dialogs.files.push_back(patch);
    QTest::mouseClick(f->MUPresult_Listview->viewport(), Qt::LeftButton);
    QCOMPARE(fx->dialogs.fileFilters.last(), QString("PatchFile(*.patch)|*.patch"));
    f->MUPGetmd5_Btn->click();
    QCOMPARE(f->MUPmd5out_Edit->text(),
             QString(QCryptographicHash::hash("x.patch", QCryptographicHash::Md5).toHex()));
  }
};

QTEST_MAIN(PatchMakerPageTest)
#include "patchmaker_page_test.moc"
