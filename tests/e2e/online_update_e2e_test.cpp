// The online update end to end: the window, the real device link library
// and libcurl against a device lab and the sample world's update server on
// loopback. Log in, press CheckForUpdate, and the camera comes back from its
// reboot with the server's newest firmware and the offered files in place.
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/mainform.h"
#include "common/ui_thread.h"
#include "drill_support.h"
#include "lab_camera.h"

namespace fs = std::filesystem;

using drill::readAll;

class OnlineUpdateE2eTest : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  UpdateLab lab_;
  E2eWindow win_;

  TMainForm& f() { return *win_.form; }

 private slots:
  void initTestCase() {
    ::setenv("KESTRUM_IO_TIMEOUT_MS", "5000", 1);
    initUiThread();
  }

  void init() {
    std::string error;
    QVERIFY2(lab_.startLab(work_.filePath("t").toStdString(), &error), error.c_str());
    QVERIFY2(lab_.startServer(&error), error.c_str());
    win_.updateServer = lab_.serverAddress();
    win_.create();
    win_.dialogs.clear();
  }

  void cleanup() {
    QVERIFY(win_.runEnded());
    win_.destroy();
    lab_.stop();
  }

  void checkForUpdateBringsTheNewestFirmware() {
    QVERIFY(win_.logIn(UpdateLab::kCamera));
    QCOMPARE(f().TargetVersion_Val->text(), QString("2010"));
    const QString patchFolder = work_.filePath("patches");
    f().PatchSavePath_Edit->setText(patchFolder);
    const int searches = win_.searchesFinished;

    QVERIFY(win_.checkForUpdate(*lab_.server));
    QVERIFY(win_.runEnded());

    // Only the files newer than 2010 were fetched (ui.res is from 2010).
    const std::vector<std::string> expected = {"/IPC/47RKT/versionlist_new.txt",
                                               "/IPC/47RKT/app.bin.patch",
                                               "/IPC/47RKT/version.ini.patch"};
    const std::vector<std::string> fetched(lab_.server->requestedPaths());
    QVERIFY(std::search(fetched.begin(), fetched.end(), expected.begin(), expected.end()) !=
            fetched.end());
    QVERIFY(win_.dialogs.texts().contains("Device reboot!"));
    QCOMPARE(QDir(patchFolder + "/autotmp").entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(f().Patch2Send_LV->count(), 0);

    QVERIFY(QTest::qWaitFor([&] { return win_.searchesFinished > searches; }, 10000));
    QVERIFY(lab_.lab->waitOnline("CAM0001A", std::chrono::seconds(5)));
    QVERIFY(win_.logIn(UpdateLab::kCamera));
    QCOMPARE(f().TargetVersion_Val->text(), QString("2011"));

    const fs::path mtd = lab_.camera().mtd();
    for (const char* name : {"app.bin", "version.ini"}) {
      QVERIFY2(readAll(mtd / name) ==
                   readAll(UpdateLab::kServed / "IPC" / "47RKT" / (std::string(name) + ".patch")),
               name);
    }
    QVERIFY(!fs::exists(mtd / "ui.res"));
  }
};

QTEST_MAIN(OnlineUpdateE2eTest)
#include "online_update_e2e_test.moc"
