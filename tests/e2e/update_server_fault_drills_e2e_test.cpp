// Fault drills on the update server's side, through the real window, libcurl
// and the device libraries against the lab: the server answers 404, says
// nothing, cuts a file short or serves a file that does not match its MD5;
// and the window is closed while the update run it started is under way.
// After each the operator has been told what went wrong, nothing was packed
// or sent, and the firmware page works as before.
#include <QtTest>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/app_state.h"
#include "app/file_helpers.h"
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

}  // namespace

class UpdateServerFaultDrills : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  std::unique_ptr<devsim::UpdateServer> server_;
  std::unique_ptr<Surroundings> around_;
  DrillWindow win_;
  int threadsBefore_ = 0;

  TMainForm& f() { return win_.f(); }
  devsim::Device& camera() { return *lab_->device("CAM0001A"); }
  QString patchFolder() { return work_.filePath("patches"); }

  bool runEnded() {
    return QTest::qWaitFor(
        [&] {
          return !f().updateRunActive() && firmwareRunsHoldingConnection(win_.state.updateRun) == 0;
        },
        30000);
  }
  // Presses CheckForUpdate once the login's own fetches have ended, so that
  // the check's requests are the only ones the fault meets.
  bool checkForUpdate() {
    if (!QTest::qWaitFor([] { return !webFetchRunning(); }, 20000)) return false;
    server_->clearRequestLog();
    win_.dialogs.clear();
    return win_.click(f().CheckForUpdate_Btn) &&
           QTest::qWaitFor([&] { return !f().UpdateCheckActive; }, 30000);
  }
  // A failed check leaves the page as the login left it: nothing in the
  // patch area, nothing sent, every button still there to retry.
  void nothingWasSent() {
    QVERIFY(!f().updateRunActive());
    QCOMPARE(f().Patch2Send_LV->count(), 0);
    QVERIFY(f().CheckForUpdate_Btn->isEnabled());
    QVERIFY(f().FirmwareUpdate_Btn->isEnabled());
    QVERIFY(f().DeviceReboot_Btn->isEnabled());
    QVERIFY(f().PatchDownloadProcess_Gauge->isHidden());
    QCOMPARE(win_.shownCount("Device reboot!"), 0);
    QCOMPARE(camera().status().reboots, 0);
    QCOMPARE(camera().status().version, 2010);
    // A failed check keeps no download either.
    QCOMPARE(filesUnder(patchFolder()), QStringList());
  }
  QString lastBox() {
    const QStringList texts = win_.dialogs.texts();
    return texts.isEmpty() ? QString() : texts.last();
  }
  // Once the server behaves again the same page updates the camera.
  void aRetryGoesThrough() {
    server_->failPathsStartingWith("", 0);
    server_->setResponseDelay(std::chrono::milliseconds(0));
    server_->cutBodiesAfter(std::nullopt);
    server_->corruptFiles(false);
    QVERIFY(checkForUpdate());
    QVERIFY(runEnded());
    QVERIFY(win_.dialogs.texts().contains("Device reboot!"));
  }

 private slots:
  void initTestCase() {
    ::setenv("KESTRUM_IO_TIMEOUT_MS", "1500", 1);
    initUiThread();
    // A server that sends nothing is given up after 1.5 s (15 s in the program).
    win_.http = CurlHttpClient(HttpLimits{2000, 1500});
  }

  void init() {
    if (win_.form) win_.destroy();  // a drill that failed half-way left its window
    devsim::LabConfig config;
    config.devices = {LabCamera{"CAM0001A", kCamera}.config(work_.filePath("t").toStdString())};
    config.rebootSeconds = 0.3;
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    std::string error;
    QVERIFY2(lab_->start(&error), error.c_str());
    server_ = std::make_unique<devsim::UpdateServer>(kServed.string(), "127.0.0.1", 0);
    QVERIFY2(server_->start(&error), error.c_str());
    // The server starts its workers when it first accepts: one request
    // first, so that they are counted before the window.
    std::string body;
    QVERIFY(win_.http
                .getToMemory(QString("http://127.0.0.1:%1/IPC/RandomMessages.txt")
                                 .arg(server_->port())
                                 .toStdString(),
                             &body)
                .ok);
    around_ = std::make_unique<Surroundings>();
    threadsBefore_ = liveThreads();
    win_.updateServer = QString("127.0.0.1:%1").arg(server_->port());
    QVERIFY(win_.showWindow());
    f().PatchSavePath_Edit->setText(patchFolder());
    QVERIFY(win_.logIn(kCamera));
  }

  void cleanup() {
    lab_->device("CAM0001A")->setFaults({});
    if (win_.form) {
      QVERIFY(runEnded());
      win_.destroy();
    }
    checkNothingLeftBehind(threadsBefore_, *around_, {work_.path()});
    around_.reset();
    server_->stop();
    lab_->stop();
    lab_.reset();
  }

  void catalogueNotFound() {
    server_->failPathsStartingWith("/IPC/47RKT/versionlist_new.txt", 404);
    QVERIFY(checkForUpdate());
    QCOMPARE(lastBox(),
             kServerFailed + "HTTP/1.1 404 Not Found (the server has no firmware for 47RKT)");
    QCOMPARE(server_->requestedPaths(), std::vector<std::string>{"/IPC/47RKT/versionlist_new.txt"});
    nothingWasSent();
    aRetryGoesThrough();
  }

  void updateFileNotFound() {
    server_->failPathsStartingWith("/IPC/47RKT/version.ini.patch", 404);
    QVERIFY(checkForUpdate());
    QCOMPARE(lastBox(),
             kServerFailed + "HTTP/1.1 404 Not Found (the server does not have version.ini)");
    nothingWasSent();
    aRetryGoesThrough();
  }

  void silentServerIsGivenUp() {
    server_->setResponseDelay(std::chrono::milliseconds(4000));
    QVERIFY(checkForUpdate());
    QCOMPARE(lastBox(), kServerFailed + "(no answer from the server)");
    nothingWasSent();
  }

  void fileCutShort() {
    server_->cutBodiesAfter(1000);  // the 232-byte catalogue is whole, app.bin is not
    QVERIFY(checkForUpdate());
    QCOMPARE(lastBox(), kServerFailed + "(the server stopped sending)");
    // The cut file is asked for three more times (for the rest of it), then
    // given up.
    const std::string file = "/IPC/47RKT/app.bin.patch";
    QCOMPARE(server_->requestedPaths(),
             (std::vector<std::string>{"/IPC/47RKT/versionlist_new.txt", file, file, file, file}));
    nothingWasSent();
    aRetryGoesThrough();
  }

  void fileWithTheWrongMd5() {
    server_->corruptFiles(true);
    QVERIFY(checkForUpdate());
    // What the server sent: app.bin with its first byte changed.
    std::string bytes = readAll(kServed / "IPC" / "47RKT" / "app.bin.patch");
    bytes[0] = static_cast<char>(bytes[0] ^ 0x5a);
    const fs::path sent = fs::path(work_.filePath("sent").toStdString());
    writeFile(sent, bytes);
    QCOMPARE(lastBox(), QString("net: dc49098ee8ab951c558c69ba21ffe1ab , loc: %1")
                            .arg(QString::fromStdString(FileMd5Hex(sent.string()))));
    fs::remove(sent);
    QCOMPARE(f().FirmwareWpdateTip_Label->text(),
             QString("Incomplete Patch(md5 check not match)!"));
    nothingWasSent();
    aRetryGoesThrough();
  }

  void closingDuringTheRunWaitsForItAndCleansUp() {
    // The camera takes the connection but never answers: the run lasts
    // until the device library gives up.
    devsim::Faults silent;
    silent.stall = true;
    camera().setFaults(silent);
    QVERIFY(checkForUpdate());
    QVERIFY(f().updateRunActive());

    // The operator first declines, then agrees to close once the run ends.
    win_.dialogs.answers = {false};
    QVERIFY(!f().close());
    QVERIFY(f().isVisible());
    win_.dialogs.answers = {true};
    QVERIFY(f().close());
    QVERIFY(!f().updateRunActive());
    QCOMPARE(firmwareRunsHoldingConnection(win_.state.updateRun), 0);
    QCOMPARE(win_.dialogs.boxes().at(0).title, QString("Warning"));

    // The work folder is emptied, the packed patch gone, nothing sent.
    QCOMPARE(filesUnder(patchFolder()), QStringList());
    QCOMPARE(camera().status().version, 2010);
    QCOMPARE(camera().status().reboots, 0);
    win_.destroy();
  }

  void closingAsTheRunSucceedsStillRebootsTheCamera() {
    QVERIFY(checkForUpdate());
    QVERIFY(f().updateRunActive());
    win_.dialogs.answers = {true};
    QVERIFY(f().close());
    QVERIFY(!f().updateRunActive());
    QVERIFY(win_.dialogs.texts().contains("Device reboot!"));
    QCOMPARE(filesUnder(patchFolder()), QStringList());
    win_.destroy();
    QVERIFY(lab_->waitOnline("CAM0001A", std::chrono::seconds(5)));
    QCOMPARE(camera().status().version, 2011);
  }
};

QTEST_MAIN(UpdateServerFaultDrills)
#include "update_server_fault_drills_e2e_test.moc"
