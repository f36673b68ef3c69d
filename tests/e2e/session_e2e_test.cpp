// Finding, choosing and logging in to cameras, end to end: the real window,
// the real device libraries and a device lab on this namespace's loopback.
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "app/mainform.h"
#include "common/ui_thread.h"
#include "device_lab.h"
#include "devicelink/kestrum_device_link.h"
#include "e2e_window.h"
#include "lab_camera.h"
#include "scripted_services.h"
#include "session/device_session.h"
#include "session/discovery.h"

namespace fs = std::filesystem;

class SessionE2eTest : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  E2eWindow win_;

  TMainForm& f() { return *win_.form; }

 private slots:
  void initTestCase() {
    initUiThread();
    const fs::path templates = fs::path(work_.path().toStdString()) / "templates";
    devsim::LabConfig config;
    config.devices = {
        LabCamera{"CAM0001A", "127.0.0.2"}.config(templates),
        LabCamera{
            "CAM0002B", "127.0.0.3", "47RKT", 2009, 0, {{"admin", "secret"}, {"operator", "op123"}}}
            .config(templates),
        LabCamera{"CAM0003C", "127.0.0.4", "52HQX", 3001}.config(templates)};
    config.rebootSeconds = 0.3;
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    std::string error;
    QVERIFY2(lab_->start(&error), error.c_str());

    win_.create();
    f().show();  // the first showing searches
    QVERIFY(win_.searchDone());
  }

  void cleanupTestCase() {
    win_.destroy();
    lab_->stop();
  }

  void theSearchListsEveryCamera() {
    QCOMPARE(f().DevList_TreeView->topLevelItemCount(), 3);
    QVERIFY(win_.node("QJCAM0001A"));
    QVERIFY(win_.node("QJCAM0002B"));
    QVERIFY(win_.node("QJCAM0003C"));
  }

  void doubleClickThenLoginWithTheDefaultAccount() {
    f().DevList_TreeView->setCurrentItem(win_.node("QJCAM0001A"));
    f().DevList_TreeViewDblClick();
    QCOMPARE(f().IPAddress_Edit->text(), QString("127.0.0.2"));
    QCOMPARE(f().DeviceID_Edit->text(), QString("CAM0001A"));
    QVERIFY(win_.click(f().Login_SBtn));
    QCOMPARE(f().Login_SBtn->text(), QString("ChangeDev"));
    QCOMPARE(f().TargetHarward_Val->text(), QString("47RKT"));
    QCOMPARE(f().TargetVersion_Val->text(), QString("2010"));
    QCOMPARE(f().windowTitle(), QString("Tovarin - IP: 127.0.0.2"));
    QVERIFY(!f().loginPanelOpen());
    QVERIFY(f().state().session.CommandConnection < 1);
    QVERIFY(win_.dialogs.texts().isEmpty());
  }

  void changeDevToACameraThatNeedsTheTypedAccount() {
    f().DevList_TreeView->setCurrentItem(win_.node("QJCAM0002B"));
    f().DevList_TreeViewDblClick();
    f().UserName_Edit->setText("operator");
    f().Password_Edit->setText("op123");
    QVERIFY(win_.click(f().Login_SBtn));  // "ChangeDev"
    QCOMPARE(f().TargetVersion_Val->text(), QString("2009"));
    QCOMPARE(f().windowTitle(), QString("Tovarin - IP: 127.0.0.3"));
    QVERIFY(win_.dialogs.texts().isEmpty());
  }

  void rebootThenTheNewSearchFindsItAgain() {
    f().IPAddress_Edit->setText("127.0.0.2");
    f().UserName_Edit->setText("admin");
    f().Password_Edit->clear();
    QVERIFY(win_.click(f().Login_SBtn));
    QCOMPARE(f().TargetVersion_Val->text(), QString("2010"));
    f().RebootDevice();
    QCOMPARE(win_.dialogs.texts(), QStringList{"Device reboot!"});
    QVERIFY(f().loginPanelOpen());
    QVERIFY(f().PanelSpreader_Btn->isEnabled());
    QVERIFY(win_.searchDone());
    QVERIFY(lab_->waitOnline("CAM0001A", std::chrono::seconds(5)));
    QVERIFY(win_.click(f().DevSearch_Btn));
    QVERIFY(win_.searchDone());
    QVERIFY(win_.node("QJCAM0001A"));
    QVERIFY(win_.click(f().Login_SBtn));  // still "ChangeDev": logs in again
    QCOMPARE(f().TargetVersion_Val->text(), QString("2010"));
    QVERIFY(!f().loginPanelOpen());
  }
};

QTEST_MAIN(SessionE2eTest)
#include "session_e2e_test.moc"
