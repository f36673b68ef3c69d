// Cameras on other subnets behind a router, end to end: the configured
// ranges and the console's one-off ranges reach them, a bad entry is named
// and left out, and the list's title counts the cameras that answered.
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/mainform.h"
#include "camera_fleet.h"
#include "common/ui_thread.h"
#include "device_lab.h"
#include "e2e_window.h"
#include "lab_camera.h"
#include "session/discovery.h"

namespace fs = std::filesystem;

class RangeSearchE2eTest : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  E2eWindow win_;

  TMainForm& f() { return *win_.form; }

  void console(const QString& command) {
    f().Command_Edit->setText(command);
    f().Command_EditKeyPress(QChar('\r'));
  }

 private slots:
  // A local camera; 254 behind a router on 127.1.0.0/24 (configured); three
  // more on 127.2.0.0/24 that only the console's search names.
  void initTestCase() {
    initUiThread();
    const fs::path templates = fs::path(work_.path().toStdString()) / "templates";
    devsim::LabConfig config;
    config.devices = {LabCamera{"LOCAL1", "127.0.0.2"}.config(templates)};
    devsim::DeviceConfig model = LabCamera{"ROUTED", ""}.config(templates);
    model.behindRouter = true;
    std::string error;
    QVERIFY2(devsim::addCameraFleet(&config, model, 254, "127.1.0.1", &error), error.c_str());
    for (int i = 1; i <= 3; ++i) {
      devsim::DeviceConfig d =
          LabCamera{"FAR" + std::to_string(i), "127.2.0." + std::to_string(10 + i), "52HQX", 3001}
              .config(templates);
      d.behindRouter = true;
      config.devices.push_back(d);
    }
    config.rebootSeconds = 0.3;
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    QVERIFY2(lab_->start(&error), error.c_str());

    std::ofstream(fs::path(win_.exeDir.path().toStdString()) / "configs.ini")
        << "[CONFIGS]\nsearchranges=127.1.0.0/24, 10.0.0.0/8,camera-net\n";
    win_.create();
    f().show();  // the first showing searches
    QVERIFY(win_.searchDone());
  }

  void cleanupTestCase() {
    win_.destroy();
    lab_->stop();
  }

  void searchCoversTheBroadcastDomainAndTheConfiguredRange() {
    QCOMPARE(f().DevList_TreeView->topLevelItemCount(), 255);
    QVERIFY(win_.node("QJLOCAL1"));
    QVERIFY(win_.node("QJCAM00254"));
    QVERIFY(!win_.node("QJFAR1"));
    QCOMPARE(f().DevList_Label->text(), QString("Device List (255)"));
    QCOMPARE(win_.node("QJCAM00254")->toolTip(0), QString("Address: 127.1.0.254"));
    QCOMPARE(f().DevListNotice_Label->text(),
             QString("Address range 10.0.0.0/8 refused: larger than /16.\n"
                     "Address range camera-net refused: not an IPv4 address or CIDR block."));
    QVERIFY(win_.dialogs.texts().isEmpty());
  }

  void consoleRangeSearchAddsItsRangeOnceAndNamesABadEntry() {
    console("search:127.2.0.0/24,127.2.0.300");
    QVERIFY(win_.searchDone());
    QVERIFY(f().CommandHistory_Memo->toPlainText().endsWith(
        "search:127.2.0.0/24,127.2.0.300\n"
        "range \"127.2.0.300\" is not an IPv4 address or CIDR block, left out\n"
        "searching the local network and 127.2.0.0/24"));
    QCOMPARE(f().DevList_TreeView->topLevelItemCount(), 258);
    QVERIFY(win_.node("QJFAR3"));
    QCOMPARE(f().DevList_Label->text(), QString("Device List (258)"));
    QVERIFY(f().DevListNotice_Label->text().contains("Address range 127.2.0.300 refused"));

    // The one-off range is gone from the next plain search.
    QVERIFY(win_.click(f().DevSearch_Btn));
    QVERIFY(win_.searchDone());
    QCOMPARE(f().DevList_Label->text(), QString("Device List (255)"));
    QVERIFY(win_.node("QJFAR3")->font(0).italic());  // listed, did not answer
  }

  // Found by a one-off range, the session's camera is still heard by the
  // next plain search (as after its reboot); the others of that range not.
  void loginToACameraBehindTheRouter() {
    console("search:127.2.0.0/24");
    QVERIFY(win_.searchDone());
    f().DevList_TreeView->setCurrentItem(win_.node("QJFAR1"));
    f().DevList_TreeViewDblClick();
    QCOMPARE(f().IPAddress_Edit->text(), QString("127.2.0.11"));
    QVERIFY(win_.click(f().Login_SBtn));
    QCOMPARE(f().Login_SBtn->text(), QString("ChangeDev"));
    QCOMPARE(f().windowTitle(), QString("Tovarin - IP: 127.2.0.11"));
    QCOMPARE(f().TargetHarward_Val->text(), QString("52HQX"));
    QVERIFY(win_.dialogs.texts().isEmpty());

    QVERIFY(win_.click(f().DevSearch_Btn));
    QVERIFY(win_.searchDone());
    QVERIFY(!win_.node("QJFAR1")->font(0).italic());
    QVERIFY(win_.node("QJFAR2")->font(0).italic());
    QCOMPARE(f().DevList_Label->text(), QString("Device List (256)"));
  }
};

QTEST_MAIN(RangeSearchE2eTest)
#include "range_search_e2e_test.moc"
