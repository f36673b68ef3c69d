// The online update over HTTPS and over a link that fails once, through the
// real window, libcurl and the device libraries against the lab: a server
// whose certificate leads to the given authority updates the camera; one the
// client cannot trust, or one made out for another name, is refused with its
// reason and nothing is sent; a file cut at half is resumed and the update
// completes.
#include <QtTest>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numeric>

#include "app/ui_thread.h"
#include "device_lab.h"
#include "drill_support.h"
#include "firmware/fw_update_thread.h"
#include "lab_camera.h"
#include "update_server.h"
#include "updateservice/web_fetch.h"

namespace fs = std::filesystem;
using namespace drill;

namespace {

constexpr const char* kCamera = "127.0.0.2";  // 47RKT, firmware 2010
const fs::path kServed = fs::path(TOVARIN_WORLD_SOURCE) / "updateserver";
const QString kServerFailed = "Connect to Updateserver failed : code : ";

// A fresh authority and a server certificate for names, in folder.
bool makeAuthority(const fs::path& folder, const std::string& names) {
  const std::string command =
      std::string(TOVARIN_MAKE_TEST_CA) + " '" + folder.string() + "' '" + names + "'";
  return std::system(command.c_str()) == 0;
}

}  // namespace

class SecureUpdateE2eTest : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  fs::path lab_ca_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  std::unique_ptr<devsim::UpdateServer> server_;
  DrillWindow win_;

  TMainForm& f() { return win_.f(); }
  devsim::Device& camera() { return *lab_->device("CAM0001A"); }
  QString patchFolder() { return work_.filePath("patches"); }

  // Serves the sample world (over HTTPS with the folder's certificate when
  // one is given), opens the window on it with a client that trusts
  // caFile, and logs in.
  bool serveAndLogIn(const fs::path& certificates, const std::string& caFile) {
    server_ = std::make_unique<devsim::UpdateServer>(kServed.string(), "127.0.0.1", 0);
    if (!certificates.empty())
      server_->useTls((certificates / "server.pem").string(),
                      (certificates / "server.key").string());
    std::string error;
    if (!server_->start(&error)) {
      qWarning("%s", error.c_str());
      return false;
    }
    win_.http = CurlHttpClient(HttpLimits{2000, 1500}, caFile);
    win_.updateServer = (certificates.empty() ? QString() : QString("https://")) +
                        QString("127.0.0.1:%1").arg(server_->port());
    if (!win_.showWindow()) return false;
    f().PatchSavePath_Edit->setText(patchFolder());
    return win_.logIn(kCamera);
  }
  bool checkForUpdate() {
    if (!QTest::qWaitFor([] { return !webFetchRunning(); }, 20000)) return false;
    server_->clearRequestLog();
    win_.dialogs.clear();
    return win_.click(f().CheckForUpdate_Btn) &&
           QTest::qWaitFor([&] { return !f().UpdateCheckActive; }, 30000);
  }
  bool runEnded() {
    return QTest::qWaitFor(
        [&] {
          return !f().updateRunActive() && firmwareRunsHoldingConnection(win_.state.updateRun) == 0;
        },
        30000);
  }
  QString lastBox() {
    const QStringList texts = win_.dialogs.texts();
    return texts.isEmpty() ? QString() : texts.last();
  }
  void cameraGot2011() {
    QVERIFY(runEnded());
    QVERIFY(win_.dialogs.texts().contains("Device reboot!"));
    win_.destroy();
    QVERIFY(lab_->waitOnline("CAM0001A", std::chrono::seconds(5)));
    QCOMPARE(camera().status().version, 2011);
    QCOMPARE(readAll(fs::path(camera().mtd()) / "app.bin"),
             readAll(kServed / "IPC" / "47RKT" / "app.bin.patch"));
  }
  void nothingWasSent() {
    QVERIFY(!f().updateRunActive());
    QCOMPARE(f().Patch2Send_LV->count(), 0);
    QCOMPARE(camera().status().reboots, 0);
    QCOMPARE(camera().status().version, 2010);
    QCOMPARE(filesUnder(patchFolder()), QStringList());
  }

 private slots:
  void initTestCase() {
    ::setenv("KESTRUM_IO_TIMEOUT_MS", "5000", 1);
    initUiThread();
    lab_ca_ = fs::path(work_.filePath("lab-ca").toStdString());
    QVERIFY(makeAuthority(lab_ca_, "IP:127.0.0.1,DNS:localhost"));
    QVERIFY(makeAuthority(work_.filePath("elsewhere-ca").toStdString(), "DNS:elsewhere.test"));
  }

  void init() {
    devsim::LabConfig config;
    config.devices = {LabCamera{"CAM0001A", kCamera}.config(work_.filePath("t").toStdString())};
    config.rebootSeconds = 0.3;
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    std::string error;
    QVERIFY2(lab_->start(&error), error.c_str());
  }

  void cleanup() {
    if (win_.form) {
      QVERIFY(runEnded());
      win_.destroy();
    }
    if (server_) server_->stop();
    server_.reset();
    lab_->stop();
    lab_.reset();
    QDir(patchFolder()).removeRecursively();
  }

  void httpsUpdateWithTheTrustedAuthority() {
    QVERIFY(serveAndLogIn(lab_ca_, (lab_ca_ / "ca.pem").string()));
    QVERIFY(checkForUpdate());
    cameraGot2011();
  }

  // Without the authority (the system's store knows no test one), and with
  // a certificate made out for another name.
  void refusedCertificatesFailWithTheirReasonAndSendNothing_data() {
    QTest::addColumn<QString>("authority");
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<QString>("reason");
    QTest::newRow("untrusted") << "lab-ca" << false << "(certificate not trusted)";
    QTest::newRow("other name") << "elsewhere-ca" << true << "(name does not match)";
  }
  void refusedCertificatesFailWithTheirReasonAndSendNothing() {
    QFETCH(QString, authority);
    QFETCH(bool, trusted);
    QFETCH(QString, reason);
    const fs::path ca = fs::path(work_.filePath(authority).toStdString());
    QVERIFY(serveAndLogIn(ca, trusted ? (ca / "ca.pem").string() : ""));
    QVERIFY(checkForUpdate());
    QCOMPARE(lastBox(), kServerFailed + reason);
    nothingWasSent();
  }

  void downloadCutAtHalfResumesAndCompletes() {
    QVERIFY(serveAndLogIn({}, ""));
    server_->cutFilesOnceAtHalf(true);
    {
      std::lock_guard lock(win_.sleeper.mutex_);
      win_.sleeper.sleeps.clear();
    }
    QVERIFY(checkForUpdate());
    // Each file: the cut request, then the rest after a one-second pause.
    const std::vector<std::string> expected = {
        "/IPC/47RKT/versionlist_new.txt", "/IPC/47RKT/app.bin.patch", "/IPC/47RKT/app.bin.patch",
        "/IPC/47RKT/version.ini.patch", "/IPC/47RKT/version.ini.patch"};
    QCOMPARE(server_->requestedPaths(), expected);
    {
      std::lock_guard lock(win_.sleeper.mutex_);
      QCOMPARE(std::accumulate(win_.sleeper.sleeps.begin(), win_.sleeper.sleeps.end(), 0), 2000);
    }
    cameraGot2011();
  }
};

QTEST_MAIN(SecureUpdateE2eTest)
#include "secure_update_e2e_test.moc"
