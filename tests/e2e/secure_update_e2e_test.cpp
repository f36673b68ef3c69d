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

#include "common/ui_thread.h"
#include "drill_support.h"
#include "lab_camera.h"

namespace fs = std::filesystem;
using namespace drill;

namespace {

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
  UpdateLab lab_;
  DrillWindow win_;

  TMainForm& f() { return win_.f(); }
  devsim::Device& camera() { return lab_.camera(); }
  QString patchFolder() { return work_.filePath("patches"); }

  // Serves the sample world (over HTTPS with the folder's certificate when
  // one is given), opens the window on it with a client that trusts
  // caFile, and logs in.
  bool serveAndLogIn(const fs::path& certificates, const std::string& caFile) {
    std::string error;
    if (!lab_.startServer(&error, certificates)) {
      qWarning("%s", error.c_str());
      return false;
    }
    win_.http = CurlHttpClient(HttpLimits{2000, 1500}, caFile);
    win_.updateServer = lab_.serverAddress();
    if (!win_.showWindow()) return false;
    f().PatchSavePath_Edit->setText(patchFolder());
    return win_.logIn(UpdateLab::kCamera);
  }
  void cameraGot2011() {
    QVERIFY(win_.runEnded());
    QVERIFY(win_.dialogs.texts().contains("Device reboot!"));
    win_.destroy();
    QVERIFY(lab_.lab->waitOnline("CAM0001A", std::chrono::seconds(5)));
    QCOMPARE(camera().status().version, 2011);
    QCOMPARE(readAll(fs::path(camera().mtd()) / "app.bin"),
             readAll(UpdateLab::kServed / "IPC" / "47RKT" / "app.bin.patch"));
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
    std::string error;
    QVERIFY2(lab_.startLab(work_.filePath("t").toStdString(), &error), error.c_str());
  }

  void cleanup() {
    if (win_.form) {
      QVERIFY(win_.runEnded());
      win_.destroy();
    }
    lab_.stop();
    QDir(patchFolder()).removeRecursively();
  }

  void httpsUpdateWithTheTrustedAuthority() {
    QVERIFY(serveAndLogIn(lab_ca_, (lab_ca_ / "ca.pem").string()));
    QVERIFY(win_.checkForUpdate(*lab_.server));
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
    QVERIFY(win_.checkForUpdate(*lab_.server));
    QCOMPARE(win_.lastBox(), kServerFailed + reason);
    nothingWasSent();
  }

  void downloadCutAtHalfResumesAndCompletes() {
    QVERIFY(serveAndLogIn({}, ""));
    lab_.server->cutFilesOnceAtHalf(true);
    {
      std::lock_guard lock(win_.sleeper.mutex_);
      win_.sleeper.sleeps.clear();
    }
    QVERIFY(win_.checkForUpdate(*lab_.server));
    // Each file: the cut request, then the rest after a one-second pause.
    const std::vector<std::string> expected = {
        "/IPC/47RKT/versionlist_new.txt", "/IPC/47RKT/app.bin.patch", "/IPC/47RKT/app.bin.patch",
        "/IPC/47RKT/version.ini.patch", "/IPC/47RKT/version.ini.patch"};
    QCOMPARE(lab_.server->requestedPaths(), expected);
    {
      std::lock_guard lock(win_.sleeper.mutex_);
      QCOMPARE(std::accumulate(win_.sleeper.sleeps.begin(), win_.sleeper.sleeps.end(), 0), 2000);
    }
    cameraGot2011();
  }
};

QTEST_MAIN(SecureUpdateE2eTest)
#include "secure_update_e2e_test.moc"
