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
#include "app/ui_thread.h"
#include "device_lab.h"
#include "e2e_window.h"
#include "firmware/fw_update_thread.h"
#include "lab_camera.h"
#include "session/device_session.h"
#include "update_server.h"
#include "updateservice/web_fetch.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCamera = "127.0.0.2";  // 47RKT, firmware 2010
const fs::path kServed = fs::path(TOVARIN_WORLD_SOURCE) / "updateserver";

std::string contentOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

class OnlineUpdateE2eTest : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  std::unique_ptr<devsim::UpdateServer> server_;
  E2eWindow win_;
  int searchesFinished_ = 0;

  TMainForm& f() { return *win_.form; }

  bool login() {
    f().IPAddress_Edit->setText(kCamera);
    f().Login_SBtn->click();
    return f().Login_SBtn->text() == "ChangeDev" && !f().loginPanelOpen();
  }

  bool runEnded() {
    return QTest::qWaitFor(
        [&] {
          return !f().updateRunActive() && firmwareRunsHoldingConnection(win_.state.updateRun) == 0;
        },
        30000);
  }

 private slots:
  void initTestCase() {
    ::setenv("KESTRUM_IO_TIMEOUT_MS", "5000", 1);
    initUiThread();
  }

  void init() {
    devsim::LabConfig config;
    config.devices = {LabCamera{"CAM0001A", kCamera}.config(work_.filePath("t").toStdString())};
    config.rebootSeconds = 0.3;
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    std::string error;
    QVERIFY2(lab_->start(&error), error.c_str());
    server_ = std::make_unique<devsim::UpdateServer>(kServed.string(), "127.0.0.1", 0);
    QVERIFY2(server_->start(&error), error.c_str());

    win_.updateServer = QString("127.0.0.1:%1").arg(server_->port());
    win_.create();
    searchesFinished_ = 0;
    QObject::connect(f().DevSearchMessageEdit_Edit, &QLineEdit::textChanged, win_.form.get(),
                     [this](const QString& text) {
                       if (text == "search finished!") ++searchesFinished_;
                     });
    win_.dialogs.clear();
  }

  void cleanup() {
    QVERIFY(runEnded());
    win_.destroy();
    server_->stop();
    lab_->stop();
    lab_.reset();
  }

  void checkForUpdateBringsTheNewestFirmware() {
    QVERIFY(login());
    QCOMPARE(f().TargetVersion_Val->text(), QString("2010"));
    const QString patchFolder = work_.filePath("patches");
    f().PatchSavePath_Edit->setText(patchFolder);
    const int searches = searchesFinished_;
    // The history and message fetches of the login and the first showing
    // ask the same server: let them end so that the check's requests follow
    // one another below.
    QVERIFY(QTest::qWaitFor([] { return !webFetchRunning(); }, 20000));

    f().CheckForUpdate_Btn->click();
    QVERIFY(QTest::qWaitFor([&] { return !f().UpdateCheckActive; }, 30000));
    QVERIFY(runEnded());

    // Only the files newer than 2010 were fetched (ui.res is from 2010).
    const std::vector<std::string> fetched(server_->requestedPaths());
    const std::vector<std::string> expected = {"/IPC/47RKT/versionlist_new.txt",
                                               "/IPC/47RKT/app.bin.patch",
                                               "/IPC/47RKT/version.ini.patch"};
    QVERIFY(std::search(fetched.begin(), fetched.end(), expected.begin(), expected.end()) !=
            fetched.end());
    QVERIFY(win_.dialogs.texts().contains("Device reboot!"));
    QCOMPARE(QDir(patchFolder + "/autotmp").entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(f().Patch2Send_LV->count(), 0);

    QVERIFY(QTest::qWaitFor([&] { return searchesFinished_ > searches; }, 10000));
    QVERIFY(lab_->waitOnline("CAM0001A", std::chrono::seconds(5)));
    QVERIFY(login());
    QCOMPARE(f().TargetVersion_Val->text(), QString("2011"));

    const fs::path mtd = lab_->device("CAM0001A")->mtd();
    for (const char* name : {"app.bin", "version.ini"}) {
      QVERIFY2(contentOf(mtd / name) ==
                   contentOf(kServed / "IPC" / "47RKT" / (std::string(name) + ".patch")),
               name);
    }
    QVERIFY(!fs::exists(mtd / "ui.res"));
  }
};

QTEST_MAIN(OnlineUpdateE2eTest)
#include "online_update_e2e_test.moc"
