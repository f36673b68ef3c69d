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
#include "e2e_window.h"
#include "lab_camera.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

class RemoteFilesE2eTest : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  QTemporaryDir downloads_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  E2eWindow win_;

  TMainForm& f() { return *win_.form; }
  fs::path onDevice(const std::string& path) {
    return fs::path(lab_->device("CAM0001A")->folder()) / "sdcard" / path;
  }
  fs::path downloaded(const std::string& name) {
    return fs::path(downloads_.path().toStdString()) / name;
  }

  bool listingDone() {
    return QTest::qWaitFor([&] { return f().ListingThread && f().ListingThread->Finished(); },
                           10000);
  }
  bool missionsDone() {
    return QTest::qWaitFor(
        [&] {
          for (TThread* m : f().DownloadMissions)
            if (m && !m->Finished()) return false;
          return true;
        },
        20000);
  }
  QStringList shownNames() {
    QStringList out;
    for (int i = 0; i < f().FileList_LV->count(); ++i) out << f().FileList_LV->item(i)->text();
    out.sort();
    return out;
  }
  // Double-clicks an item as the operator does.
  bool doubleClick(const QString& name) {
    const auto found = f().FileList_LV->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    QListWidgetItem* item = found.first();
    f().FileList_LV->scrollToItem(item);
    const QPoint at = f().FileList_LV->visualItemRect(item).center();
    QTest::mouseClick(f().FileList_LV->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(f().FileList_LV->viewport(), Qt::LeftButton, {}, at);
    return true;
  }
  bool logIn() {
    f().IPAddress_Edit->setText("127.0.0.2");
    if (!win_.click(f().Login_SBtn)) return false;
    return f().Login_SBtn->text() == "ChangeDev" && listingDone();
  }
  bool browseTo100Media() {
    return doubleClick("DCIM") && listingDone() && doubleClick("100MEDIA") && listingDone();
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
    win_.create();
    f().show();
    f().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f()));
    QVERIFY(QTest::qWaitFor([&] { return f().DevSearch_Btn->isEnabled(); }, 10000));
    f().DownloadSavePath_Edit->setText(downloads_.path());
  }

  void cleanupTestCase() {
    if (win_.form) win_.destroy();
    lab_->stop();
  }

  void theAccessCodeUnlocksAndLoginListsTheRoot() {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &f(), '`');
    QTest::keyClicks(f().Command_Edit, "qelvomtr");
    QTest::keyClick(f().Command_Edit, Qt::Key_Return);
    QVERIFY(f().Pages_PageControl->isTabVisible(f().Tovarin_Page));
    QVERIFY(logIn());
    QTabBar* tabs = f().Pages_PageControl->tabBar();
    for (int i = 0; i < tabs->count(); ++i)
      if (tabs->tabText(i) == "Tovarin")
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(i).center());
    QCOMPARE(f().Pages_PageControl->currentPage(), f().Tovarin_Page);
    QCOMPARE(shownNames(),
             QStringList({"DCIM", "README", "backup.v1", "my clip, 1.mp4", "notes.txt", "record"}));
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard"));
  }

  void browseIntoNestedFoldersAndBackUp() {
    QVERIFY(browseTo100Media());
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard/DCIM/100MEDIA"));
    QCOMPARE(f().FileList_LV->count(), 15);  // more than one reply
    QVERIFY(win_.click(f().Backdir_Btn));
    QVERIFY(listingDone());
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard/DCIM"));
    QCOMPARE(shownNames(), QStringList({".thumbs", "100MEDIA"}));
    QVERIFY(win_.click(f().Backdir_Btn));
    QVERIFY(listingDone());
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard"));
    // Dots in the names play no part: Up goes up one level.
    QVERIFY(doubleClick("backup.v1") && listingDone());
    QVERIFY(doubleClick("2026-11") && listingDone());
    QCOMPARE(shownNames(), QStringList({"index", "old clip.mp4"}));
    QVERIFY(win_.click(f().Backdir_Btn));
    QVERIFY(listingDone());
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard/backup.v1"));
    QVERIFY(win_.click(f().Backdir_Btn));
    QVERIFY(listingDone());
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard"));
  }

  void nineDownloadsAtOnceWithAndWithoutMd5() {
    QVERIFY(browseTo100Media());
    f().MD5Need_CheckBox->setChecked(true);
    const QStringList names = {"clip0001.mp4", "clip0002.mp4", "CLIP0003.MP4",
                               "pic0001.jpg",  "pic0002.jpg",  "pic0003.jpg",
                               "pic0004.jpg",  "pic0005.jpg",  "pic0006.jpg"};
    for (const QString& name : names) QVERIFY(doubleClick(name));
    QVERIFY(missionsDone());
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
      QVERIFY(doubleClick(QString("pic%1.jpg").arg(i, 4, 10, QChar('0'))));
    QVERIFY(missionsDone());
    QVERIFY(!win_.dialogs.texts().contains("Download missions reach limit!"));
    QCOMPARE(readAll(downloaded("pic0011.jpg")), readAll(onDevice("DCIM/100MEDIA/pic0011.jpg")));
  }

  void anExistingFileAsksBeforeItIsReplaced() {
    QVERIFY(win_.click(f().Login_SBtn));  // stop-all, then logged in again
    QVERIFY(listingDone());
    QVERIFY(browseTo100Media());
    std::ofstream(downloaded("pic0001.jpg"), std::ios::binary) << "the operator's own file";
    win_.dialogs.clear();
    win_.dialogs.answers = {false};
    QVERIFY(doubleClick("pic0001.jpg"));
    QVERIFY(missionsDone());
    QCOMPARE(readAll(downloaded("pic0001.jpg")), std::string("the operator's own file"));
    QCOMPARE(win_.dialogs.boxes().at(0).title, QString("Download Warning"));
    win_.dialogs.answers = {true};
    QVERIFY(doubleClick("pic0001.jpg"));
    QVERIFY(missionsDone());
    QCOMPARE(readAll(downloaded("pic0001.jpg")), readAll(onDevice("DCIM/100MEDIA/pic0001.jpg")));
  }

  void closingDuringADownloadWaitsForIt() {
    win_.link.FlowCtrl(1);  // 1 KB/s: the 3 KB picture takes seconds
    QVERIFY(doubleClick("pic0012.jpg"));
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
