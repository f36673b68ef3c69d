// Fault drills on the device side, through the real window and device
// libraries against the lab: the camera drops the connection in the middle
// of a listing, a download and a patch upload, or stops answering. After
// each the window must still work, its buttons be as before, and nothing be
// left half-written or running.
#include <QtTest>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/app_state.h"
#include "app/ui_thread.h"
#include "device_lab.h"
#include "drill_support.h"
#include "firmware/fw_update_thread.h"
#include "lab_camera.h"
#include "patchformat.h"

namespace fs = std::filesystem;
using namespace drill;

namespace {

constexpr const char* kCamera = "127.0.0.2";
constexpr std::size_t kBigFile = 3 * 1024 * 1024;
constexpr int kFolderEntries = 25;  // three listing replies
// The common failure text, then what happened.
const QString kConnectionLost = "Update Failed, Please Check and Retry! (connection lost)";
const QString kNoAnswer = "Update Failed, Please Check and Retry! (device stopped answering)";

}  // namespace

class DeviceFaultDrills : public QObject {
  Q_OBJECT

  QTemporaryDir work_, downloads_;
  fs::path templates_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  std::unique_ptr<Surroundings> around_;
  DrillWindow win_;
  int threadsBefore_ = 0;

  TMainForm& f() { return win_.f(); }
  devsim::Device& camera() { return *lab_->device("CAM0001A"); }
  fs::path downloaded(const std::string& name) {
    return fs::path(downloads_.path().toStdString()) / name;
  }
  void setFaults(void (*change)(devsim::Faults&)) {
    devsim::Faults faults;
    change(faults);
    camera().setFaults(faults);
  }

  QString writePatch(std::size_t payload) {
    const fs::path dir = fs::path(work_.path().toStdString()) / "patches";
    writeFile(dir / "app.bin", patterned(payload, 7));
    const fs::path patch = dir / "47RKT_2011.patch";
    std::string error;
    if (!patchformat::writePatch(patch.string(), "47RKT", 2011,
                                 {{"app.bin", (dir / "app.bin").string()}},
                                 patchformat::buildInstallScript("2010", {"app.bin"}), &error))
      qWarning("writePatch: %s", error.c_str());
    return QString::fromStdString(patch.string());
  }
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
  // The firmware page as it is after a login to a device without a pending
  // update: every device button can be pressed, the tip is shown.
  void firmwareButtonsAreBack() {
    QVERIFY(f().FirmwareUpdate_Btn->isEnabled());
    QVERIFY(f().CheckForUpdate_Btn->isEnabled());
    QVERIFY(f().DeviceReboot_Btn->isEnabled());
    QVERIFY(f().UpdateProgress_Gauge->isHidden());
    QVERIFY(!f().FirmwareWpdateTip_Label->isHidden());
  }
  bool openBig() { return win_.doubleClick("big.bin"); }

 private slots:
  void initTestCase() {
    // A silent device is given up after this long (the default is 10 s).
    ::setenv("KESTRUM_IO_TIMEOUT_MS", "1500", 1);
    initUiThread();
    templates_ = fs::path(work_.path().toStdString()) / "templates";
    const fs::path sdcard = templates_ / "CAM0001A" / "sdcard";
    writeFile(sdcard / "big.bin", patterned(kBigFile, 1));
    writeFile(sdcard / "small.txt", "a small file\n");
    for (int i = 0; i < kFolderEntries; ++i)
      writeFile(sdcard / "many" / QString("f%1.txt").arg(i, 2, 10, QChar('0')).toStdString(),
                std::to_string(i));
  }

  void init() {
    if (win_.form) win_.destroy();  // a drill that failed half-way left its window
    devsim::LabConfig config;
    config.devices = {LabCamera{"CAM0001A", kCamera}.config(templates_)};
    config.rebootSeconds = 0.3;
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    std::string error;
    QVERIFY2(lab_->start(&error), error.c_str());
    around_ = std::make_unique<Surroundings>();
    threadsBefore_ = liveThreads();
    QVERIFY(win_.showUnlocked());
    f().DownloadSavePath_Edit->setText(downloads_.path());
    QVERIFY(win_.logIn(kCamera));
    QVERIFY(win_.listingDone());
    win_.showPage("Tovarin");
    win_.dialogs.clear();
  }

  void cleanup() {
    // A camera told to hang keeps its side of the connection until told otherwise.
    setFaults([](devsim::Faults&) {});
    QVERIFY(runEnded());
    win_.destroy();
    checkNothingLeftBehind(threadsBefore_, *around_, {downloads_.path(), win_.exeDir.path()});
    around_.reset();
    lab_->stop();
    lab_.reset();
    for (const QString& name : filesUnder(downloads_.path()))
      QFile::remove(downloads_.filePath(name));
  }

  void dropMidListingShowsWhatCameAndTheNextListingWorks() {
    setFaults([](devsim::Faults& x) { x.dropListing = true; });
    QVERIFY(win_.doubleClick("many"));
    QVERIFY(win_.listingDone());
    QCOMPARE(f().Path_SEdit->text(), QString("/sdcard/many"));
    QCOMPARE(f().FileList_LV->count(), 10);  // the first reply, then the drop
    QVERIFY(!win_.dialogs.texts().contains("send error"));

    // The next request opens a fresh connection.
    setFaults([](devsim::Faults&) {});
    QVERIFY(win_.click(f().Backdir_Btn));
    QVERIFY(win_.listingDone());
    QCOMPARE(win_.shownNames(), QStringList({"big.bin", "many", "small.txt"}));
    QVERIFY(win_.doubleClick("many") && win_.listingDone());
    QCOMPARE(f().FileList_LV->count(), kFolderEntries);
  }

  void dropMidDownloadLeavesNoFileAndNoSuccess() {
    setFaults([](devsim::Faults& x) { x.dropAfterBytes = 100000; });
    QVERIFY(openBig());
    QVERIFY(win_.missionsDone());
    QVERIFY(!fs::exists(downloaded("big.bin")));
    QCOMPARE(win_.downloadsReported(), 0);
    QCOMPARE(win_.dialogs.boxes().back().title, QString("Download failed"));
    QCOMPARE(win_.dialogs.boxes().back().text,
             QString("big.bin: the connection to the device was lost."));

    // An operator's file of that name survives a broken replacement.
    writeFile(downloaded("big.bin"), "the operator's own file");
    win_.dialogs.answers = {true};
    QVERIFY(openBig());
    QVERIFY(win_.missionsDone());
    QCOMPARE(readAll(downloaded("big.bin")), std::string("the operator's own file"));
    QCOMPARE(win_.downloadsReported(), 0);

    // The page still downloads once the camera behaves.
    setFaults([](devsim::Faults&) {});
    win_.dialogs.answers = {true};
    QVERIFY(openBig());
    QVERIFY(win_.missionsDone());
    QCOMPARE(readAll(downloaded("big.bin")), patterned(kBigFile, 1));
    QCOMPARE(win_.downloadsReported(), 1);
  }

  void wrongDigestKeepsNoFileAndSaysSo() {
    f().MD5Need_CheckBox->setChecked(true);
    setFaults([](devsim::Faults& x) { x.badMd5 = true; });
    writeFile(downloaded("big.bin"), "the operator's own file");
    win_.dialogs.answers = {true};
    QVERIFY(openBig());
    QVERIFY(win_.missionsDone());
    QCOMPARE(readAll(downloaded("big.bin")), std::string("the operator's own file"));
    QCOMPARE(filesUnder(downloads_.path()), QStringList({"big.bin"}));
    QCOMPARE(win_.downloadsReported(), 0);
    QCOMPARE(win_.dialogs.boxes().back().text,
             QString("big.bin: the MD5 check failed; the file was not kept."));

    setFaults([](devsim::Faults&) {});
    win_.dialogs.answers = {true};
    QVERIFY(openBig());
    QVERIFY(win_.missionsDone());
    QCOMPARE(readAll(downloaded("big.bin")), patterned(kBigFile, 1));
    QCOMPARE(win_.dialogs.boxes().back().title, QString("file md5"));
    f().MD5Need_CheckBox->setChecked(false);
  }

  void dropMidUploadFailsTheRunAndFreesTheButtons() {
    win_.showPage("FirmwareUpdate");
    setFaults([](devsim::Faults& x) { x.dropAfterBytes = 200000; });
    QVERIFY(sendPatch(writePatch(1000000)));
    QVERIFY(runEnded());
    QCOMPARE(f().FirmwareWpdateTip_Label->text(), kConnectionLost);
    firmwareButtonsAreBack();
    QVERIFY(!win_.dialogs.texts().contains("Device reboot!"));
    QCOMPARE(camera().status().version, 2010);
    QVERIFY(!camera().status().updatePending);
    QVERIFY(!f().loginPanelOpen());

    // The same patch goes through once the camera behaves.
    setFaults([](devsim::Faults&) {});
    win_.dialogs.answers = {true};
    QVERIFY(win_.click(f().FirmwareUpdate_Btn));  // the dialog is cancelled: the area keeps it
    QVERIFY(runEnded());
    QVERIFY(win_.dialogs.texts().contains("Device reboot!"));
  }

  void stalledCameraEndsTheListingAfterTheTimeout() {
    setFaults([](devsim::Faults& x) { x.stall = true; });
    QVERIFY(win_.doubleClick("many"));
    QVERIFY(win_.listingDone());
    QCOMPARE(f().FileList_LV->count(), 0);

    setFaults([](devsim::Faults&) {});
    QVERIFY(win_.click(f().Backdir_Btn));
    QVERIFY(win_.listingDone());
    QCOMPARE(win_.shownNames(), QStringList({"big.bin", "many", "small.txt"}));
  }

  void stalledCameraEndsTheDownloadWithoutAFile() {
    setFaults([](devsim::Faults& x) { x.slowKbps = 512; });
    QVERIFY(openBig());
    QVERIFY(QTest::qWaitFor([&] { return !filesUnder(downloads_.path()).isEmpty(); }, 5000));
    setFaults([](devsim::Faults& x) { x.stall = true; });  // mid-file
    QVERIFY(win_.missionsDone());
    QCOMPARE(filesUnder(downloads_.path()), QStringList());
    QCOMPARE(win_.downloadsReported(), 0);
  }

  void stalledCameraFailsTheUploadAndTheLogin() {
    win_.showPage("FirmwareUpdate");
    setFaults([](devsim::Faults& x) { x.stall = true; });
    QVERIFY(sendPatch(writePatch(300000)));
    QVERIFY(runEnded());
    QCOMPARE(f().FirmwareWpdateTip_Label->text(), kNoAnswer);
    firmwareButtonsAreBack();
    QCOMPARE(camera().status().version, 2010);

    // A login to the silent camera is given up: the panel stays open and the
    // page's device buttons can no longer reach the camera.
    win_.dialogs.clear();
    QVERIFY(win_.click(f().PanelSpreader_Btn));
    f().IPAddress_Edit->setText(kCamera);
    QVERIFY(win_.click(f().Login_SBtn));
    QVERIFY(f().loginPanelOpen());
    QVERIFY(!f().FirmwareUpdate_Btn->isEnabled());
    QVERIFY(!f().DeviceReboot_Btn->isEnabled());
    QVERIFY(f().LoginHint_Label->isHidden());
    QCOMPARE(win_.shownCount("Device reboot!"), 0);
    // Said, after one deadline: the silent camera is not asked twice.
    QCOMPARE(win_.shownCount("Login failed (device stopped answering)"), 1);
    QCOMPARE(f().windowTitle(), QString("Tovarin - No Connect"));

    setFaults([](devsim::Faults&) {});
    QVERIFY(win_.click(f().Login_SBtn));
    QVERIFY(!f().loginPanelOpen());
    firmwareButtonsAreBack();
  }
};

QTEST_MAIN(DeviceFaultDrills)
#include "device_fault_drills_e2e_test.moc"
