// A patch made on the patch maker page by the real device library, then
// sent to a lab camera from the firmware page: the camera installs exactly
// the files that were dropped on the page.
#include <QCryptographicHash>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "device_lab.h"
#include "e2e_window.h"
#include "firmware/fw_update_thread.h"
#include "lab_camera.h"
#include "patchformat.h"
#include "session/device_session.h"

namespace fs = std::filesystem;

namespace {

std::string contentOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

class PatchMakerE2eTest : public QObject {
  Q_OBJECT
  QTemporaryDir work_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  E2eWindow win_;

  TMainForm& f() { return *win_.form; }
  fs::path workPath(const std::string& relative) {
    const fs::path path = fs::path(work_.path().toStdString()) / relative;
    fs::create_directories(path.parent_path());
    return path;
  }
  fs::path writeFile(const std::string& relative, const std::string& content) {
    const fs::path path = workPath(relative);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  void drop(const std::vector<fs::path>& files) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const fs::path& file : files) urls << QUrl::fromLocalFile(QString::fromStdString(file));
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(f().Files2Patch_LV->viewport(), &enter);
    QDropEvent dropped(QPointF(30, 30), Qt::CopyAction, &mime, Qt::LeftButton, {}, QEvent::Drop);
    QApplication::sendEvent(f().Files2Patch_LV->viewport(), &dropped);
  }

 private slots:
  void initTestCase() {
    ::setenv("KESTRUM_IO_TIMEOUT_MS", "5000", 1);
    initUiThread();
    devsim::LabConfig config;
    config.devices = {LabCamera{"CAM0001A", "127.0.0.2"}.config(workPath("templates"))};
    config.rebootSeconds = 0.3;
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    std::string error;
    QVERIFY2(lab_->start(&error), error.c_str());
    win_.create();
  }

  void cleanupTestCase() {
    QVERIFY(QTest::qWaitFor([&] { return !f().updateRunActive(); }, 30000));
    QVERIFY(QTest::qWaitFor(
        [this] { return firmwareRunsHoldingConnection(win_.state.updateRun) == 0; }, 30000));
    win_.destroy();
    lab_->stop();
  }

  void makeOnThePageThenSendToACamera() {
    std::string firmware;
    for (int i = 0; i < 200000; ++i) firmware += static_cast<char>((i * 7919) >> 3);
    const fs::path app = writeFile("lab files/app.bin", firmware);
    const fs::path config = writeFile("lab files/cfg.ini", "[net]\nport=9001\n");
    const fs::path rule = writeFile("my rules/patchrule.sh",
                                    "#!/bin/sh\ncp -f /tmp/app.bin /mnt/mtd/\n"
                                    "cp -f /tmp/cfg.ini /mnt/mtd/\n");
    f().PatchSavePath_Edit->setText(QString::fromStdString(workPath("out/x").parent_path()));

    f().IPAddress_Edit->setText("127.0.0.2");
    QVERIFY(win_.click(f().Login_SBtn));
    QCOMPARE(f().TargetVersion_Val->text(), QString("2010"));

    // The page, unlocked from the console: drop, rule script, 00.00.20.11, Make.
    f().Command_Edit->setText("qelvomtr");
    f().CheckCommand(f().Command_Edit);
    f().Pages_PageControl->setCurrentPage(f().MakeUpdatePatch_Page);
    drop({app, config});
    QCOMPARE(f().Files2Patch_LV->count(), 2);
    win_.dialogs.files.push_back(QString::fromStdString(rule));
    QVERIFY(win_.click(f().RuleFile_Btn));
    f().PatchVersionEdits[2]->setText("20");
    f().PatchVersionEdits[3]->setText("11");
    QVERIFY(win_.click(f().MakeUpdatePatch_Btn));
    QCOMPARE(f().MUPresult_Listview->count(), 1);
    QCOMPARE(f().MUPresult_Listview->item(0)->text(), QString("47RKT2011.patch"));
    QCOMPARE(f().MakeUpdatePatchProgress_Gauge->value(), 100);
    const QString patch = listitem::subItem(f().MUPresult_Listview->item(0));

    // The lab's reader takes it: header, the two files, the rule script last.
    patchformat::Header header;
    std::vector<patchformat::EntryInfo> entries;
    std::string error;
    QVERIFY2(patchformat::readPatch(patch.toStdString(), &header, &entries, &error), error.c_str());
    QCOMPARE(header.hardwareName, std::string("47RKT"));
    QCOMPARE(header.version, 2011);
    QCOMPARE(entries.size(), std::size_t{3});
    QCOMPARE(entries[0].name, std::string("app.bin"));
    QCOMPARE(entries[1].name, std::string("cfg.ini"));
    QCOMPARE(entries[2].name, std::string(patchformat::kRuleScriptName));

    // Get Md5 agrees with Qt's own MD5 (not the program's; and no child
    // process, which ThreadSanitizer cannot follow after a fork).
    QVERIFY(win_.click(f().MUPGetmd5_Btn));
    QFile written(patch);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(f().MUPmd5out_Edit->text(),
             QString(QCryptographicHash::hash(written.readAll(), QCryptographicHash::Md5).toHex()));

    // The firmware page sends it; the camera installs both files unchanged.
    f().Pages_PageControl->setCurrentPage(f().FirmwareUpdate_Page);
    win_.dialogs.files.push_back(patch);
    win_.dialogs.answers.push_back(true);
    QVERIFY(win_.click(f().FirmwareUpdate_Btn));
    QVERIFY(
        QTest::qWaitFor([&] { return win_.dialogs.texts().contains("Device reboot!"); }, 30000));
    const fs::path mtd = lab_->device("CAM0001A")->mtd();
    QCOMPARE(contentOf(mtd / "app.bin"), firmware);
    QCOMPARE(contentOf(mtd / "cfg.ini"), contentOf(config));
  }
};

QTEST_MAIN(PatchMakerE2eTest)
#include "patchmaker_e2e_test.moc"
