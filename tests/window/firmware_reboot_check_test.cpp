// The check after an update's reboot: the window waits in the background for
// the device to answer a search and a login, and says on the tip which
// firmware it now runs, that it still runs the old one, or that it did not
// come back in time.
#include <QtTest>
#include <chrono>

#include "firmware/firmware_window.h"
#include "firmware/reboot_check_worker.h"
#include "firmware_fixture.h"

namespace {

const char* kCamera = "127.0.0.2";

ScriptedDeviceLink::LoginAnswer answer(int32_t result, int32_t version = 2011) {
  ScriptedDeviceLink::LoginAnswer a;
  a.result = result;
  a.version = version;
  return a;
}

// A delivered patch (the device installs it at its reboot), with the camera
// listed by every search.
void sendAndReboot(FirmwareFixture& fx) {
  fx.state.rebootCheck.versionAtLogin = 2010;
  fx.f->TargetVersion_Val->setText("2010");
  fx.startOperatorRun();
  QVERIFY(fx.waitRunEnded());
  QVERIFY(fx.dialogs.texts().contains("Device reboot!"));
}

QString tip(TMainForm& f) { return f.FirmwareWpdateTip_Label->text(); }
bool redTip(TMainForm& f) {
  return f.FirmwareWpdateTip_Label->property("tone").toString() == "failure";
}

}  // namespace

class FirmwareRebootCheckTest : public QObject {
  Q_OBJECT
 private slots:
  void backWithTheNewVersionShowsItWithTheAccountUsed() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    setCredentialField(fx.state.session.UserName, "operator");
    setCredentialField(fx.state.session.Password, "op123");
    fx.device.searchRecords = {ScriptedDeviceLink::record(kCamera, "CAM0001A")};
    // The device takes only the account of the last login.
    fx.device.loginAnswers = {answer(KESTRUM_LOGIN_NO_SUCH_USER), answer(0, 2011)};
    sendAndReboot(fx);
    QVERIFY(waitUntil([&] { return tip(f) == "Device now runs version 2011"; }));
    QVERIFY(!redTip(f));
    QVERIFY(!f.FirmwareWpdateTip_Label->isHidden());
    QVERIFY(f.UpdateProgress_Gauge->isHidden());
    QCOMPARE(f.TargetVersion_Val->text(), QString("2011"));
    QCOMPARE(fx.device.logins.size(), std::size_t(2));
    QCOMPARE(fx.device.logins[1].userName, std::string("operator"));
    QCOMPARE(fx.device.logins[1].password, std::string("op123"));
    // Nothing pends any more: the update buttons are back.
    QCOMPARE(fx.state.session.UpdatePending, 0);
    QVERIFY(f.FirmwareUpdate_Btn->isEnabled());
    QVERIFY(f.CheckForUpdate_Btn->isEnabled());
    QVERIFY(fx.device.openHandles().empty());
  }

  void backOnTheOldVersionIsShownInRed() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    fx.device.searchRecords = {ScriptedDeviceLink::record(kCamera, "CAM0001A")};
    fx.device.loginAnswers = {answer(0, 2010)};
    sendAndReboot(fx);
    QVERIFY(waitUntil([&] { return tip(f) == "Still on 2010 after the reboot"; }));
    QVERIFY(redTip(f));
  }

  void searchedAgainUntilBackThenLoggedInAgainWhileUnreachable() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    // Still down for the reboot's own search; then it answers a search but
    // not yet a login, and then both.
    fx.device.loginAnswers = {answer(KESTRUM_FAIL_CONNECTION), answer(KESTRUM_FAIL_CONNECTION),
                              answer(0, 2011)};
    sendAndReboot(fx);
    QVERIFY(waitUntil([&] { return !deviceSearchRunning(); }));
    const int searches = fx.device.searches;
    fx.device.searchRecords = {ScriptedDeviceLink::record(kCamera, "CAM0001A")};
    for (int i = 0; i < 5 && tip(f) != "Device now runs version 2011"; ++i) {
      fx.clock.now += kRebootSearchEveryMs;
      waitUntil([&] { return tip(f) == "Device now runs version 2011"; }, 1000);
    }
    QCOMPARE(tip(f), QString("Device now runs version 2011"));
    QVERIFY(fx.device.searches >= searches + 2);
  }

  void notBackInTimeIsShownInRed() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    sendAndReboot(fx);
    QVERIFY(waitUntil([&] { return !deviceSearchRunning(); }));
    fx.clock.now += kRebootCheckWaitMs;
    QVERIFY(
        waitUntil([&] { return tip(f) == "Device did not come back within 180 s of the reboot"; }));
    QVERIFY(redTip(f));
    QVERIFY(fx.device.logins.empty());
  }

  void anotherDeviceOrClosingStopsTheCheckAtOnce() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    sendAndReboot(fx);
    QVERIFY(f.RebootCheckThread);
    // ChangeDev: the check waited for the device being left; it says nothing.
    f.IPAddress_Edit->setText("127.0.0.3");
    f.Login_SBtnClick();
    QVERIFY(!f.RebootCheckThread);
    fx.clock.now += kRebootCheckWaitMs;
    QTest::qWait(100);
    QVERIFY(!tip(f).contains("come back"));

    // Closing the window while a check waits ends it without delay.
    f.FirmwareUpdate_Btn->setEnabled(true);
    f.RebootDevice();
    QVERIFY(f.RebootCheckThread);
    QVERIFY(fx.waitSearchesEnded());
    const auto start = std::chrono::steady_clock::now();
    f.close();
    QVERIFY(!f.RebootCheckThread);
    QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(2));
  }
};

QTEST_MAIN(FirmwareRebootCheckTest)
#include "firmware_reboot_check_test.moc"
