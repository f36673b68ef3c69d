// The firmware update from the operator's side, end to end: the window, the
// real device link library and a device lab on loopback. Log in, choose a
// patch, send it, follow the gauge, see the reboot, log in again.
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/mainform.h"
#include "app/ui_thread.h"
#include "device_lab.h"
#include "devicelink/kestrum_device_link.h"
#include "e2e_window.h"
#include "firmware/fw_update_thread.h"
#include "lab_camera.h"
#include "patchformat.h"
#include "scripted_services.h"
#include "session/device_session.h"
#include "session/discovery.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCamera = "127.0.0.2";     // 47RKT, firmware 2010
constexpr const char* kOldCamera = "127.0.0.3";  // 47RKT, firmware 2010, 2009 before it

// The camera at kOldCamera holds a delivered update that waits for a reboot:
// the state in which login shows the operator the backtrack button.
devsim::DeviceConfig pendingCamera(const fs::path& templates) {
  devsim::DeviceConfig camera =
      LabCamera{"CAM0002B", kOldCamera, "47RKT", 2010, 2009}.config(templates);
  camera.updatePending = true;
  return camera;
}

}  // namespace

class FirmwareE2eTest : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  E2eWindow win_;
  int searchesFinished_ = 0;

  TMainForm& f() { return *win_.form; }

  QString writePatch(const std::string& hardware, int version) {
    const fs::path dir = fs::path(work_.path().toStdString()) / "patches";
    fs::create_directories(dir);
    const fs::path app = dir / "app.bin";
    std::ofstream(app, std::ios::binary) << std::string(300000, 'x') << version;
    const fs::path patch = dir / (hardware + "_" + std::to_string(version) + ".patch");
    std::string error;
    const bool ok =
        patchformat::writePatch(patch.string(), hardware, version, {{"app.bin", app.string()}},
                                patchformat::buildInstallScript("2010", {"app.bin"}), &error);
    if (!ok) qWarning("writePatch: %s", error.c_str());
    return QString::fromStdString(patch.string());
  }

  bool login(const char* address) {
    // The login fields are behind the fold once a login has folded it.
    if (!f().loginPanelOpen() && !win_.click(f().PanelSpreader_Btn)) return false;
    f().IPAddress_Edit->setText(address);
    return win_.click(f().Login_SBtn) && f().Login_SBtn->text() == "ChangeDev" &&
           !f().loginPanelOpen();
  }

  // Chooses the patch in the area's dialog and answers Yes to the question.
  bool sendPatch(const QString& patch) {
    win_.dialogs.files.push_back(patch);
    win_.dialogs.answers.push_back(true);
    return win_.click(f().FirmwareUpdate_Btn);
  }

  bool runEnded() {
    return QTest::qWaitFor(
        [&] {
          return !f().updateRunActive() && firmwareRunsHoldingConnection(win_.state.updateRun) == 0;
        },
        30000);
  }

  bool rebootedAndBack(const char* id, int searchesBefore) {
    return QTest::qWaitFor([&] { return searchesFinished_ > searchesBefore; }, 10000) &&
           lab_->waitOnline(id, std::chrono::seconds(5));
  }

 private slots:
  void initTestCase() {
    ::setenv("KESTRUM_IO_TIMEOUT_MS", "5000", 1);
    initUiThread();
  }

  void init() {
    const fs::path templates = fs::path(work_.path().toStdString()) / "templates";
    devsim::LabConfig config;
    config.devices = {LabCamera{"CAM0001A", kCamera}.config(templates), pendingCamera(templates)};
    config.rebootSeconds = 0.3;
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    std::string error;
    QVERIFY2(lab_->start(&error), error.c_str());

    win_.create();
    searchesFinished_ = 0;
    QObject::connect(f().DevSearchMessageEdit_Edit, &QLineEdit::textChanged, win_.form.get(),
                     [this](const QString& text) {
                       if (text == "search finished!") ++searchesFinished_;
                     });
    win_.dialogs.clear();
  }

  void cleanup() {
    // Nothing may outlive the window: the run, and the search a reboot starts.
    QVERIFY(runEnded());
    win_.destroy();
    lab_->stop();
    lab_.reset();
  }

  void updateRebootAndTheNewVersion() {
    QVERIFY(login(kCamera));
    QCOMPARE(f().TargetHarward_Val->text(), QString("47RKT"));
    QCOMPARE(f().TargetVersion_Val->text(), QString("2010"));

    std::vector<std::pair<int, QString>> gauge;
    QObject::connect(f().UpdateProgress_Gauge, &QProgressBar::valueChanged, win_.form.get(),
                     [&](int value) {
                       gauge.push_back({value, f().UpdateProgress_Gauge->text()});
                     });
    const int searches = searchesFinished_;
    QVERIFY(sendPatch(writePatch("47RKT", 2011)));
    QVERIFY(runEnded());

    // Channel 91: uploading up to 40, unpacking after it, never backwards.
    QVERIFY(!gauge.empty());
    bool sawForty = false;
    int last = -1;
    for (const auto& [value, text] : gauge) {
      QVERIFY(value >= last);
      last = value;
      sawForty = sawForty || value == 40;
      QCOMPARE(text, QString(value <= 40 ? "Uploading Patch" : "Unpacking Patch"));
    }
    QVERIFY(sawForty);
    QCOMPARE(last, 100);
    QCOMPARE(f().UpdateProgress_Gauge->text(), QString("Patch Send Finished!"));
    QVERIFY(f().FirmwareWpdateTip_Label->isHidden());

    // The notice rebooted the device and started a new search.
    QVERIFY(win_.dialogs.texts().contains("Device reboot!"));
    QVERIFY(f().loginPanelOpen());
    QVERIFY(!f().FirmwareUpdate_Btn->isEnabled());
    QVERIFY(!f().CheckForUpdate_Btn->isEnabled());
    QVERIFY(f().DeviceReboot_Btn->isEnabled());
    QVERIFY(rebootedAndBack("CAM0001A", searches));

    // The window confirms the new firmware by itself once the camera is back
    // (its clock moves only when the test moves it).
    QVERIFY(QTest::qWaitFor(
        [&] {
          win_.clock.now += 100;
          return f().FirmwareWpdateTip_Label->text() == "Device now runs version 2011";
        },
        15000));
    QCOMPARE(f().TargetVersion_Val->text(), QString("2011"));
    QVERIFY(f().FirmwareUpdate_Btn->isEnabled());

    QVERIFY(login(kCamera));
    QCOMPARE(f().TargetVersion_Val->text(), QString("2011"));
    QCOMPARE(lab_->device("CAM0001A")->status().reboots, 1);
  }

  void patchForOtherHardwareIsRefused() {
    QVERIFY(login(kCamera));
    QVERIFY(sendPatch(writePatch("52HQX", 3002)));
    QVERIFY(runEnded());
    QCOMPARE(f().FirmwareWpdateTip_Label->text(), QString("Patch not Match, Please Check!"));
    QVERIFY(!f().FirmwareWpdateTip_Label->isHidden());
    QVERIFY(f().UpdateProgress_Gauge->isHidden());
    QVERIFY(f().FirmwareUpdate_Btn->isEnabled());
    QCOMPARE(lab_->device("CAM0001A")->status().version, 2010);
    QVERIFY(!win_.dialogs.texts().contains("Device reboot!"));
  }

  void busyDeviceAsksForPatience() {
    QVERIFY(login(kCamera));
    devsim::Faults busy;
    busy.busy = true;
    lab_->device("CAM0001A")->setFaults(busy);
    QVERIFY(sendPatch(writePatch("47RKT", 2011)));
    QVERIFY(runEnded());
    QCOMPARE(f().FirmwareWpdateTip_Label->text(), QString("Device Busy, Please wait then Retry!"));
    QVERIFY(f().UpdateProgress_Gauge->isHidden());
    QVERIFY(!lab_->device("CAM0001A")->status().updatePending);
  }

  void backtrackThenRebootBringsThePreviousVersionBack() {
    QVERIFY(login(kOldCamera));
    QCOMPARE(f().TargetVersion_Val->text(), QString("2010"));
    win_.dialogs.answers.push_back(true);
    QVERIFY(win_.click(f().FirmwareBacktrack_Btn));
    QCOMPARE(win_.dialogs.texts().last(), QString("Device will backtrack after reboot"));
    QVERIFY(!f().FirmwareBacktrack_Btn->isEnabled());

    const int searches = searchesFinished_;
    win_.dialogs.answers.push_back(true);
    QVERIFY(win_.click(f().DeviceReboot_Btn));
    QCOMPARE(win_.dialogs.texts().last(), QString("Device reboot!"));
    QVERIFY(rebootedAndBack("CAM0002B", searches));

    QVERIFY(login(kOldCamera));
    QCOMPARE(f().TargetVersion_Val->text(), QString("2009"));
  }
};

QTEST_MAIN(FirmwareE2eTest)
#include "firmware_e2e_test.moc"
