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
#include "common/file_helpers.h"
#include "common/ui_thread.h"
#include "drill_support.h"
#include "lab_camera.h"

namespace fs = std::filesystem;
using namespace drill;

namespace {

const QString kServerFailed = "Connect to Updateserver failed : code : ";

}  // namespace

class UpdateServerFaultDrills : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  UpdateLab lab_;
  std::unique_ptr<Surroundings> around_;
  DrillWindow win_;
  int threadsBefore_ = 0;

  TMainForm& f() { return win_.f(); }
  devsim::Device& camera() { return lab_.camera(); }
  QString patchFolder() { return work_.filePath("patches"); }

  bool checkForUpdate() { return win_.checkForUpdate(*lab_.server); }
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
  // Once the server behaves again the same page updates the camera.
  void aRetryGoesThrough() {
    lab_.server->failPathsStartingWith("", 0);
    lab_.server->setResponseDelay(std::chrono::milliseconds(0));
    lab_.server->cutBodiesAfter(std::nullopt);
    lab_.server->corruptFiles(false);
    QVERIFY(checkForUpdate());
    QVERIFY(win_.runEnded());
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
    std::string error;
    QVERIFY2(lab_.startLab(work_.filePath("t").toStdString(), &error), error.c_str());
    QVERIFY2(lab_.startServer(&error), error.c_str());
    // The server starts its workers when it first accepts: one request
    // first, so that they are counted before the window.
    std::string body;
    QVERIFY(win_.http
                .getToMemory(QString("http://127.0.0.1:%1/IPC/RandomMessages.txt")
                                 .arg(lab_.server->port())
                                 .toStdString(),
                             &body)
                .ok);
    around_ = std::make_unique<Surroundings>();
    threadsBefore_ = liveThreads();
    win_.updateServer = lab_.serverAddress();
    QVERIFY(win_.showWindow());
    f().PatchSavePath_Edit->setText(patchFolder());
    QVERIFY(win_.logIn(UpdateLab::kCamera));
  }

  void cleanup() {
    camera().setFaults({});
    if (win_.form) {
      QVERIFY(win_.runEnded());
      win_.destroy();
    }
    checkNothingLeftBehind(threadsBefore_, *around_, {work_.path()});
    around_.reset();
    lab_.stop();
  }

  void catalogueNotFound() {
    lab_.server->failPathsStartingWith("/IPC/47RKT/versionlist_new.txt", 404);
    QVERIFY(checkForUpdate());
    QCOMPARE(win_.lastBox(),
             kServerFailed + "HTTP/1.1 404 Not Found (the server has no firmware for 47RKT)");
    QCOMPARE(lab_.server->requestedPaths(),
             std::vector<std::string>{"/IPC/47RKT/versionlist_new.txt"});
    nothingWasSent();
    aRetryGoesThrough();
  }

  void updateFileNotFound() {
    lab_.server->failPathsStartingWith("/IPC/47RKT/version.ini.patch", 404);
    QVERIFY(checkForUpdate());
    QCOMPARE(win_.lastBox(),
             kServerFailed + "HTTP/1.1 404 Not Found (the server does not have version.ini)");
    nothingWasSent();
    aRetryGoesThrough();
  }

  void silentServerIsGivenUp() {
    lab_.server->setResponseDelay(std::chrono::milliseconds(4000));
    QVERIFY(checkForUpdate());
    QCOMPARE(win_.lastBox(), kServerFailed + "(no answer from the server)");
    nothingWasSent();
  }

  void fileCutShort() {
    lab_.server->cutBodiesAfter(1000);  // the 232-byte catalogue is whole, app.bin is not
    QVERIFY(checkForUpdate());
    QCOMPARE(win_.lastBox(), kServerFailed + "(the server stopped sending)");
    // The cut file is asked for three more times (for the rest of it), then
    // given up.
    const std::string file = "/IPC/47RKT/app.bin.patch";
    QCOMPARE(lab_.server->requestedPaths(),
             (std::vector<std::string>{"/IPC/47RKT/versionlist_new.txt", file, file, file, file}));
    nothingWasSent();
    aRetryGoesThrough();
  }

  void fileWithTheWrongMd5() {
    lab_.server->corruptFiles(true);
    QVERIFY(checkForUpdate());
    // What the server sent: app.bin with its first byte changed.
    std::string bytes = readAll(UpdateLab::kServed / "IPC" / "47RKT" / "app.bin.patch");
    bytes[0] = static_cast<char>(bytes[0] ^ 0x5a);
    const fs::path sent = fs::path(work_.filePath("sent").toStdString());
    writeFile(sent, bytes);
    QCOMPARE(win_.lastBox(), QString("net: dc49098ee8ab951c558c69ba21ffe1ab , loc: %1")
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
    QVERIFY(lab_.lab->waitOnline("CAM0001A", std::chrono::seconds(5)));
    QCOMPARE(camera().status().version, 2011);
  }
};

QTEST_MAIN(UpdateServerFaultDrills)
#include "update_server_fault_drills_e2e_test.moc"
