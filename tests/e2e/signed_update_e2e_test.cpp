// Signed updates end to end: a window that trusts the lab's key against the
// lab's update server. A signed update reaches the camera; an unsigned
// catalogue, one signed by another key and a file altered after signing
// leave it untouched; a chosen patch shows its signer, and one changed
// after its check is refused. Without a key the tip says updates are not
// verified.
#include <QDir>
#include <QFile>
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
#include "lab_signatures.h"
#include "update_server.h"
#include "updateservice/web_fetch.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCamera = "127.0.0.2";  // 47RKT, firmware 2010
const fs::path kWorld = TOVARIN_WORLD_SOURCE;
const QString kRefusedCatalogue =
    "Connect to Updateserver failed : code : HTTP/1.1 200 OK (catalogue not signed by a trusted "
    "key)";

}  // namespace

class SignedUpdateE2eTest : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  std::unique_ptr<devsim::UpdateServer> server_;
  E2eWindow win_;

  TMainForm& f() { return *win_.form; }
  std::int32_t cameraVersion() { return lab_->device("CAM0001A")->status().version; }

  void serveSignatures(const std::string& mode) {
    devsim::UpdateServer::Signer signer;
    std::string error;
    QVERIFY2(
        devsim::labSigner(mode, (kWorld / "lab-key/tovarin-lab.key").string(), &signer, &error),
        error.c_str());
    server_->signFilesWith(signer);
  }

  // A window whose program folder trusts the lab's key (or none).
  void openWindow(bool trustLab) {
    const QString keys = win_.exeDir.filePath("trusted-keys");
    QDir(keys).removeRecursively();
    if (trustLab) {
      QDir().mkpath(keys);
      QVERIFY(QFile::copy(QString::fromStdString((kWorld / "lab-key/tovarin-lab.pub").string()),
                          keys + "/lab.pub"));
    }
    win_.create();
    win_.dialogs.clear();
  }

  bool login() {
    if (!f().loginPanelOpen() && !win_.click(f().PanelSpreader_Btn)) return false;
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

  void checkForUpdate() {
    f().PatchSavePath_Edit->setText(work_.filePath("patches"));
    QVERIFY(QTest::qWaitFor([] { return !webFetchRunning(); }, 20000));
    f().CheckForUpdate_Btn->click();
    QVERIFY(QTest::qWaitFor([&] { return !f().UpdateCheckActive; }, 30000));
    QVERIFY(runEnded());
  }

  QString tip() { return f().FirmwareWpdateTip_Label->text(); }

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
    server_ =
        std::make_unique<devsim::UpdateServer>((kWorld / "updateserver").string(), "127.0.0.1", 0);
    QVERIFY2(server_->start(&error), error.c_str());
    serveSignatures("lab");
    win_.updateServer = QString("127.0.0.1:%1").arg(server_->port());
  }

  void cleanup() {
    QVERIFY(runEnded());
    win_.destroy();
    server_->stop();
    lab_->stop();
    lab_.reset();
  }

  void signedOnlineUpdateReachesTheCamera() {
    openWindow(true);
    QVERIFY(login());
    QVERIFY(!tip().contains("not verified"));
    checkForUpdate();
    QVERIFY2(win_.dialogs.texts().contains("Device reboot!"),
             qPrintable(win_.dialogs.texts().join("|")));
    QVERIFY(QTest::qWaitFor([&] { return cameraVersion() == 2011; }, 10000));
  }

  void refusedSignaturesLeaveTheCameraUntouched_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("alterFiles");
    QTest::addColumn<QString>("reason");
    QTest::newRow("unsigned") << "none" << false << kRefusedCatalogue;
    QTest::newRow("another key") << "other_key" << false << kRefusedCatalogue;
    QTest::newRow("file altered after signing")
        << "lab" << true
        << "Connect to Updateserver failed : code : HTTP/1.1 200 OK (app.bin: signature does not "
           "match)";
  }
  void refusedSignaturesLeaveTheCameraUntouched() {
    QFETCH(QString, mode);
    QFETCH(bool, alterFiles);
    QFETCH(QString, reason);
    serveSignatures(mode.toStdString());
    server_->corruptFiles(alterFiles);
    openWindow(true);
    QVERIFY(login());
    checkForUpdate();
    QCOMPARE(win_.dialogs.texts(), QStringList{reason});
    QCOMPARE(f().Patch2Send_LV->count(), 0);
    QCOMPARE(QDir(work_.filePath("patches/autotmp")).entryList(QDir::Files), QStringList());
    QCOMPARE(cameraVersion(), 2010);
  }

  void chosenPatchShowsItsSignerAndIsSentAsChecked() {
    openWindow(true);
    QVERIFY(login());
    // The world's ready-made patch and its signature, in a folder of ours.
    const QString patch = work_.filePath("47RKT2011.patch");
    const fs::path built = fs::path(TOVARIN_WORLD_OUT) / "patches/47RKT2011.patch";
    QFile::remove(patch);
    QFile::remove(patch + ".minisig");
    QVERIFY(QFile::copy(QString::fromStdString(built.string()), patch));

    // Unsigned: refused, the area stays empty.
    win_.dialogs.files.push_back(patch);
    f().Patch2Send_LVClick();
    QCOMPARE(f().Patch2Send_LV->count(), 0);
    QCOMPARE(tip(), QString("Refused: 47RKT2011.patch not signed by a trusted key"));

    QVERIFY(QFile::copy(QString::fromStdString(built.string() + ".minisig"), patch + ".minisig"));
    win_.dialogs.files.push_back(patch);
    f().Patch2Send_LVClick();
    QCOMPARE(f().Patch2Send_LV->count(), 1);
    QCOMPARE(tip(), QString("Ready to Update! Signed by Tovarin device lab (test key)"));

    // Changed after its check: the run refuses it and nothing is sent.
    {
      QFile file(patch);
      QVERIFY(file.open(QIODevice::Append));
      file.write("x");
    }
    win_.dialogs.answers.push_back(true);
    QVERIFY(win_.click(f().FirmwareUpdate_Btn));
    QVERIFY(runEnded());
    QVERIFY2(tip().contains("(47RKT2011.patch: signature does not match)"), qPrintable(tip()));
    QCOMPARE(cameraVersion(), 2010);
  }

  void withoutKeysTheTipSaysUpdatesAreNotVerified() {
    serveSignatures("none");
    openWindow(false);
    // Said when the first login shows the firmware page, and only then.
    QVERIFY(login());
    QCOMPARE(tip(), QString("Updates are not verified: no trusted signing key is installed"));
    QVERIFY(login());
    QVERIFY(!tip().contains("not verified"));
    checkForUpdate();
    QVERIFY(QTest::qWaitFor([&] { return cameraVersion() == 2011; }, 10000));
  }
};

QTEST_MAIN(SignedUpdateE2eTest)
#include "signed_update_e2e_test.moc"
