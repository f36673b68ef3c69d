// The file page end to end: the real window and device libraries against the
// lab's first sample camera. Unlock, log in, browse, nine downloads at once
// with and without the MD5 check, the overwrite question, closing during a
// download.
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/mainform.h"
#include "common/ui_thread.h"
#include "common/worker_thread.h"
#include "device_lab.h"
#include "drill_support.h"
#include "lab_camera.h"

namespace fs = std::filesystem;

using drill::readAll;

class RemoteFilesE2eTest : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  QTemporaryDir downloads_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  drill::DrillWindow win_;

  TMainForm& f() { return *win_.form; }
  fs::path onDevice(const std::string& path) {
    return fs::path(lab_->device("CAM0001A")->folder()) / "sdcard" / path;
  }
  fs::path downloaded(const std::string& name) {
    return fs::path(downloads_.path().toStdString()) / name;
  }

  bool logIn() { return win_.logIn("127.0.0.2") && win_.listingDone(); }
  bool browseTo100Media() {
    return win_.doubleClick("DCIM") && win_.listingDone() && win_.doubleClick("100MEDIA") &&
           win_.listingDone();
  }

 private slots:
  void initTestCase() {
    initUiThread();
    const fs::path templates = fs::path(work_.path().toStdString()) / "templates";
    devsim::DeviceConfig camera = LabCamera{"CAM0001A", "127.0.0.2"}.config(templates);
    camera.storageTemplate = TOVARIN_WORLD_SOURCE "/devices/CAM0001A/sdcard";
    devsim::LabConfig config;
    config.devices = {camera};
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    std::string error;
    QVERIFY2(lab_->start(&error), error.c_str());
    QVERIFY(win_.showWindow());
    QVERIFY(QTest::qWaitFor([&] { return f().DevSearch_Btn->isEnabled(); }, 10000));
    f().DownloadSavePath_Edit->setText(downloads_.path());
  }

  void cleanupTestCase() {
    if (win_.form) win_.destroy();
    lab_->stop();
  }

  void theAccessCodeUnlocksAndLoginListsTheRoot() {
    QVERIFY(win_.unlock());
    QVERIFY(logIn());
    win_.showPage("Tovarin");
    QCOMPARE(f().Pages_PageControl->currentPage(), f().Tovarin_Page);
    QCOMPARE(win_.shownNames(),
             QStringList({"DCIM", "README", "backup.v1", "my clip, 1.mp4", "notes.txt", "record"}));
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard"));
  }

  void browseIntoNestedFoldersAndBackUp() {
    QVERIFY(browseTo100Media());
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard/DCIM/100MEDIA"));
    QCOMPARE(f().FileList_LV->count(), 15);  // more than one reply
    QVERIFY(win_.click(f().Backdir_Btn));
    QVERIFY(win_.listingDone());
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard/DCIM"));
    QCOMPARE(win_.shownNames(), QStringList({".thumbs", "100MEDIA"}));
    QVERIFY(win_.click(f().Backdir_Btn));
    QVERIFY(win_.listingDone());
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard"));
    // Dots in the names play no part: Up goes up one level.
    QVERIFY(win_.doubleClick("backup.v1") && win_.listingDone());
    QVERIFY(win_.doubleClick("2026-11") && win_.listingDone());
    QCOMPARE(win_.shownNames(), QStringList({"index", "old clip.mp4"}));
    QVERIFY(win_.click(f().Backdir_Btn));
    QVERIFY(win_.listingDone());
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard/backup.v1"));
    QVERIFY(win_.click(f().Backdir_Btn));
    QVERIFY(win_.listingDone());
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard"));
  }

  void nineDownloadsAtOnceWithAndWithoutMd5() {
    QVERIFY(browseTo100Media());
    f().MD5Need_CheckBox->setChecked(true);
    const QStringList names = {"clip0001.mp4", "clip0002.mp4", "CLIP0003.MP4",
                               "pic0001.jpg",  "pic0002.jpg",  "pic0003.jpg",
                               "pic0004.jpg",  "pic0005.jpg",  "pic0006.jpg"};
    for (const QString& name : names) QVERIFY(win_.doubleClick(name));
    QVERIFY(win_.missionsDone());
    for (const QString& name : names) {
      const std::string n = name.toStdString();
      QVERIFY2(fs::exists(downloaded(n)), n.c_str());
      QCOMPARE(readAll(downloaded(n)), readAll(onDevice("DCIM/100MEDIA/" + n)));
    }
    int md5Reports = 0, plainReports = 0;
    for (const auto& box : win_.dialogs.boxes()) {
      if (!box.text.startsWith("download ok\n")) continue;
      (box.title == "file md5" ? md5Reports : plainReports) += box.text.count('\n');
    }
    QCOMPARE(md5Reports, 3);  // the clips were checked, the pictures never
    QCOMPARE(plainReports, 6);
    // Their slots are free again: more, in the same login.
    win_.dialogs.clear();
    for (int i = 7; i <= 11; ++i)
      QVERIFY(win_.doubleClick(QString("pic%1.jpg").arg(i, 4, 10, QChar('0'))));
    QVERIFY(win_.missionsDone());
    QVERIFY(!win_.dialogs.texts().contains("Download missions reach limit!"));
    QCOMPARE(readAll(downloaded("pic0011.jpg")), readAll(onDevice("DCIM/100MEDIA/pic0011.jpg")));
  }

  void anExistingFileAsksBeforeItIsReplaced() {
    QVERIFY(win_.click(f().Login_SBtn));  // stop-all, then logged in again
    QVERIFY(win_.listingDone());
    QVERIFY(browseTo100Media());
    std::ofstream(downloaded("pic0001.jpg"), std::ios::binary) << "the operator's own file";
    win_.dialogs.clear();
    win_.dialogs.answers = {false};
    QVERIFY(win_.doubleClick("pic0001.jpg"));
    QVERIFY(win_.missionsDone());
    QCOMPARE(readAll(downloaded("pic0001.jpg")), std::string("the operator's own file"));
    QCOMPARE(win_.dialogs.boxes().at(0).title, QString("Download Warning"));
    win_.dialogs.answers = {true};
    QVERIFY(win_.doubleClick("pic0001.jpg"));
    QVERIFY(win_.missionsDone());
    QCOMPARE(readAll(downloaded("pic0001.jpg")), readAll(onDevice("DCIM/100MEDIA/pic0001.jpg")));
  }

  void closingDuringADownloadWaitsForIt() {
    win_.link.FlowCtrl(1);  // 1 KB/s: the 3 KB picture takes seconds
    QVERIFY(win_.doubleClick("pic0012.jpg"));
    QTest::qWait(500);
    bool running = false;
    for (TThread* m : f().DownloadMissions) running = running || (m && !m->Finished());
    QVERIFY(running);
    f().close();  // stops every mission and waits for each
    win_.link.FlowCtrl(0);
    QCOMPARE(readAll(downloaded("pic0012.jpg")), readAll(onDevice("DCIM/100MEDIA/pic0012.jpg")));
    // Earlier downloads stay as they were.
    QCOMPARE(readAll(downloaded("clip0001.mp4")), readAll(onDevice("DCIM/100MEDIA/clip0001.mp4")));
  }
};

QTEST_MAIN(RemoteFilesE2eTest)
#include "remote_files_e2e_test.moc"
