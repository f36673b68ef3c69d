// Discovery, login and reboot against the scripted device link.
#include <QtTest>
#include <atomic>
#include <thread>

#include "form_fixture.h"
#include "session/device_session.h"
#include "session/discovery.h"

namespace {

ScriptedDeviceLink::LoginAnswer refused(int32_t code) {
  ScriptedDeviceLink::LoginAnswer a;
  a.result = code;
  return a;
}

ScriptedDeviceLink::LoginAnswer accepted(const std::string& hw, int32_t version, int32_t pending,
                                         int32_t backtrack) {
  ScriptedDeviceLink::LoginAnswer a;
  a.hardwareName = hw;
  a.version = version;
  a.updatePending = pending;
  a.backtrackAvailable = backtrack;
  return a;
}

void search(FormFixture& fx, TMainForm& f) {
  f.DevSearch_BtnClick();
  QVERIFY(waitUntil([&] { return !deviceSearchRunning() && f.DevSearch_Btn->isEnabled(); }));
}

}  // namespace

class SessionTest : public QObject {
  Q_OBJECT
 private slots:
  void searchFillsTheTreeAndDoubleClickTakesTheClickedRecord() {
    FormFixture fx;
    TMainForm& f = fx.create();
    fx.device.searchRecords = {ScriptedDeviceLink::record("127.0.0.2", "CAM1"),
                               ScriptedDeviceLink::record("127.0.0.9", "CAM1"),
                               ScriptedDeviceLink::record("127.0.0.3", "CAM2")};
    // While searching: button disabled with its searching caption, the list
    // as it was.
    QString captionDuringSearch;
    int nodesDuringSearch = -1;
    fx.device.onSearch = [&] {
      runOnUiThread([&] {
        captionDuringSearch = f.DevSearch_Btn->text();
        nodesDuringSearch = f.DevList_TreeView->topLevelItemCount();
      });
    };
    new QTreeWidgetItem(f.DevList_TreeView, QStringList{"stale"});
    search(fx, f);
    QCOMPARE(captionDuringSearch, QString("Searching..."));
    QCOMPARE(nodesDuringSearch, 1);
    QCOMPARE(f.DevSearch_Btn->text(), QString("Search"));
    f.DevList_TreeView->clear();
    search(fx, f);
    QCOMPARE(f.DevList_TreeView->topLevelItemCount(), 3);
    QCOMPARE(f.DevList_TreeView->topLevelItem(1)->text(0), QString("QJCAM1"));
    QCOMPARE(f.DevList_TreeView->topLevelItem(2)->text(0), QString("QJCAM2"));  // in list order
    QVERIFY(!f.DevList_TreeView->topLevelItem(2)->icon(0).isNull());
    // Of two equal nodes, each takes the address of its own record.
    f.DevList_TreeView->setCurrentItem(f.DevList_TreeView->topLevelItem(1));
    f.DevList_TreeViewDblClick();
    QCOMPARE(f.IPAddress_Edit->text(), QString("127.0.0.9"));
    QCOMPARE(f.DeviceID_Edit->text(), QString("CAM1"));
    f.DevList_TreeView->setCurrentItem(f.DevList_TreeView->topLevelItem(2));
    f.DevList_TreeViewDblClick();
    QCOMPARE(f.IPAddress_Edit->text(), QString("127.0.0.3"));
  }

  void searchesStartedTogetherRunOneAfterTheOther() {
    // The link frees the previous search's records when the next search
    // starts (as the discovery library does): a second search must not
    // start while the first one's records are still to be listed.
    FormFixture fx;
    TMainForm& f = fx.create();
    fx.device.searchRecords = {ScriptedDeviceLink::record("127.0.0.2", "CAM1"),
                               ScriptedDeviceLink::record("127.0.0.3", "CAM2")};
    std::atomic<int> inside{0}, overlaps{0};
    fx.device.onSearch = [&] {
      if (++inside > 1) ++overlaps;
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      --inside;
    };
    f.DevSearch_BtnClick();
    f.RebootDevice();  // fails to connect or not, it searches too
    f.DevSearch_BtnClick();
    QVERIFY(waitUntil([&] { return !deviceSearchRunning(); }));
    QCOMPARE(overlaps.load(), 0);
    QCOMPARE(f.DevList_TreeView->topLevelItemCount(), 2);
    QVERIFY(fx.device.searches >= 3);
  }

  void identifiersThatDecodeAlikeStillPickTheirOwnDevice() {
    FormFixture fx;
    TMainForm& f = fx.create();
    // Two 8-bit identifiers that are not UTF-8 give the same node text.
    fx.device.searchRecords = {ScriptedDeviceLink::record("127.0.0.2", "\xb4\xf3\xc3\xc5"),
                               ScriptedDeviceLink::record("127.0.0.3", "\xba\xf3\xc3\xc5")};
    search(fx, f);
    QCOMPARE(f.DevList_TreeView->topLevelItem(0)->text(0),
             f.DevList_TreeView->topLevelItem(1)->text(0));
    f.DevList_TreeView->setCurrentItem(f.DevList_TreeView->topLevelItem(1));
    f.DevList_TreeViewDblClick();
    QCOMPARE(f.IPAddress_Edit->text(), QString("127.0.0.3"));
  }

  void fullWidthIdentifierIsShownWholeAndStillMatches() {
    FormFixture fx;
    TMainForm& f = fx.create();
    const std::string id(128, 'X');
    fx.device.searchRecords = {ScriptedDeviceLink::record("127.0.0.5", id)};
    search(fx, f);
    QCOMPARE(f.DevList_TreeView->topLevelItem(0)->text(0), "QJ" + QString(128, 'X'));
    f.DevList_TreeView->setCurrentItem(f.DevList_TreeView->topLevelItem(0));
    f.DevList_TreeViewDblClick();
    QCOMPARE(f.IPAddress_Edit->text(), QString("127.0.0.5"));
    QCOMPARE(f.DeviceID_Edit->text(), QString(128, 'X'));
  }

  void aCameraMissingFromASearchKeepsItsPlaceAndItsNeighboursTheirs() {
    // After a reboot the camera may not answer yet: the list must not shift,
    // or a double-click on the second node would take the third camera.
    FormFixture fx;
    TMainForm& f = fx.create();
    fx.device.searchRecords = {ScriptedDeviceLink::record("127.0.0.2", "CAM1"),
                               ScriptedDeviceLink::record("127.0.0.3", "CAM2"),
                               ScriptedDeviceLink::record("127.0.0.4", "CAM3")};
    search(fx, f);
    fx.device.searchRecords = {ScriptedDeviceLink::record("127.0.0.4", "CAM3"),
                               ScriptedDeviceLink::record("127.0.0.3", "CAM2")};
    QTreeWidgetItem* second = f.DevList_TreeView->topLevelItem(1);
    search(fx, f);
    QCOMPARE(f.DevList_TreeView->topLevelItemCount(), 3);
    QCOMPARE(f.DevList_TreeView->topLevelItem(1), second);
    f.DevList_TreeView->setCurrentItem(second);
    f.DevList_TreeViewDblClick();
    QCOMPARE(f.IPAddress_Edit->text(), QString("127.0.0.3"));
    // The silent camera is marked and takes no double-click.
    QTreeWidgetItem* first = f.DevList_TreeView->topLevelItem(0);
    QCOMPARE(first->text(0), QString("QJCAM1"));
    QVERIFY(first->font(0).italic());
    QVERIFY(first->toolTip(0).contains("Did not answer"));
    QVERIFY(f.DevListNotice_Label->isVisibleTo(&f));
    QVERIFY(f.DevListNotice_Label->text().contains("1 camera(s) did not answer"));
    f.DevList_TreeView->setCurrentItem(first);
    f.DevList_TreeViewDblClick();
    QCOMPARE(f.IPAddress_Edit->text(), QString("127.0.0.3"));
    // Back again: unmarked in its place, the notice gone.
    fx.device.searchRecords.push_back(ScriptedDeviceLink::record("127.0.0.2", "CAM1"));
    search(fx, f);
    QCOMPARE(f.DevList_TreeView->topLevelItem(0), first);
    QVERIFY(!first->font(0).italic());
    QVERIFY(!f.DevListNotice_Label->isVisibleTo(&f));
    f.DevList_TreeViewDblClick();
    QCOMPARE(f.IPAddress_Edit->text(), QString("127.0.0.2"));
  }

  void twoCamerasGivingOneIdentifierAreShownAsAClash() {
    FormFixture fx;
    TMainForm& f = fx.create();
    fx.device.searchRecords = {ScriptedDeviceLink::record("127.0.0.2", "CAM1"),
                               ScriptedDeviceLink::record("127.0.0.3", "CAM2"),
                               ScriptedDeviceLink::record("127.0.0.5", "CAM1")};
    search(fx, f);
    QVERIFY(f.DevList_TreeView->topLevelItem(0)->toolTip(0).contains("127.0.0.5"));
    QVERIFY(f.DevList_TreeView->topLevelItem(2)->toolTip(0).contains("127.0.0.2"));
    QCOMPARE(f.DevList_TreeView->topLevelItem(1)->toolTip(0), QString("Address: 127.0.0.3"));
    QVERIFY(f.DevListNotice_Label->isVisibleTo(&f));
    QCOMPARE(f.DevListNotice_Label->text(),
             QString("2 cameras answer as QJCAM1: 127.0.0.2, 127.0.0.5."));
  }

  void defaultAccountAcceptedNeverSendsTheTypedOne() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.show();
    QVERIFY(waitUntil([&] { return !deviceSearchRunning(); }));
    f.IPAddress_Edit->setText("127.0.0.2");
    f.UserName_Edit->setText("operator");
    f.Password_Edit->setText("secret");
    bool hintVisibleDuringConnect = false;
    fx.device.onConnect = [&](const char*) {
      if (fx.device.connectAddresses.empty())
        hintVisibleDuringConnect = f.LoginHint_Label->isVisible();
    };
    fx.device.loginAnswers = {accepted("47RKT", 2010, 0, 1)};
    f.Login_SBtnClick();
    QVERIFY(hintVisibleDuringConnect);
    QVERIFY(!f.LoginHint_Label->isVisible());
    QCOMPARE(fx.device.logins.size(), std::size_t(1));
    QCOMPARE(fx.device.logins[0].userName, std::string("admin"));
    QCOMPARE(fx.device.logins[0].password, std::string(""));
    QCOMPARE(fx.device.connectPorts[0], 9001);
    QCOMPARE(f.windowTitle(), QString("Tovarin - IP: 127.0.0.2"));
    QCOMPARE(f.TargetHarward_Val->text(), QString("47RKT"));
    QCOMPARE(f.TargetVersion_Val->text(), QString("2010"));
    QCOMPARE(f.Login_SBtn->text(), QString("ChangeDev"));
    QVERIFY(!f.loginPanelOpen());
    QVERIFY(f.PanelSpreader_Btn->isEnabled());
    QCOMPARE(f.Path_SEdit->text(), QString("/sdcard"));
    // The file page is hidden: no session connection is kept.
    QVERIFY(fx.state.session.CommandConnection < 1);
    QVERIFY(fx.device.openHandles().empty());
    QCOMPARE(fx.state.session.ConnectFailures, 0);
  }

  void typedAccountIsCutToSixtyFourCharacters() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.IPAddress_Edit->setText("127.0.0.3");
    f.UserName_Edit->setText(QString(70, 'u'));
    f.Password_Edit->setText(QString(65, 'p'));
    fx.device.loginAnswers = {refused(9), accepted("47RKT", 2009, 0, 0)};
    f.Login_SBtnClick();
    QCOMPARE(fx.device.logins.size(), std::size_t(2));
    QCOMPARE(fx.device.logins[1].userName, std::string(64, 'u'));
    QCOMPARE(fx.device.logins[1].password, std::string(64, 'p'));
    // The second attempt runs on a fresh connection.
    QVERIFY(fx.device.logins[1].handle != fx.device.logins[0].handle);
    QCOMPARE(f.Login_SBtn->text(), QString("ChangeDev"));
  }

  void refusedLoginsShowTheirMessagesAndNoConnectCaption() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.IPAddress_Edit->setText("127.0.0.3");
    fx.device.loginAnswers = {refused(8), refused(8)};
    f.Login_SBtnClick();
    fx.device.loginAnswers = {refused(9), refused(9)};
    f.Login_SBtnClick();
    fx.device.loginAnswers = {refused(KESTRUM_FAIL_REFUSED), refused(KESTRUM_FAIL_REFUSED)};
    f.Login_SBtnClick();
    QCOMPARE(fx.dialogs.texts(), (QStringList{"User not exists!", "Password error",
                                              "Login failed (device error, code -5)"}));
    // No device is logged in: the caption does not name one.
    QCOMPARE(f.windowTitle(), QString("Tovarin - No Connect"));
    QCOMPARE(f.Login_SBtn->text(), QString("Login"));
    QVERIFY(fx.state.session.CommandConnection >= 1);  // kept until the next press
    QVERIFY(f.loginPanelOpen());
  }

  void silentDeviceEndsTheLoginAfterOneDeadlineWithAMessage() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.IPAddress_Edit->setText("127.0.0.2");
    f.Login_SBtnClick();  // a device was logged in before
    fx.dialogs.clear();
    fx.device.logins.clear();
    // Connected, then no answer within the login's deadline: not asked twice.
    fx.device.loginAnswers = {refused(KESTRUM_FAIL_TIMEOUT)};
    f.Login_SBtnClick();
    QCOMPARE(fx.device.logins.size(), std::size_t(1));
    QCOMPARE(fx.dialogs.texts(), QStringList{"Login failed (device stopped answering)"});
    QCOMPARE(f.windowTitle(), QString("Tovarin - No Connect"));
    for (QPushButton* b :
         {f.FirmwareUpdate_Btn, f.CheckForUpdate_Btn, f.DeviceReboot_Btn, f.FirmwareBacktrack_Btn})
      QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    QVERIFY(f.FirmwareBacktrack_Btn->isHidden());
    QVERIFY(f.LoginHint_Label->isHidden());
    // A connection closed under both attempts is said as such.
    fx.dialogs.clear();
    fx.device.loginAnswers = {refused(KESTRUM_FAIL_CONNECTION), refused(KESTRUM_FAIL_CONNECTION)};
    f.Login_SBtnClick();
    QCOMPARE(fx.dialogs.texts(), QStringList{"Login failed (connection lost)"});
  }

  void failedConnectionsShowFiveThenElevenAndResetAfterSuccess() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.IPAddress_Edit->setText("127.0.0.99");
    const QString five = "Connect to Device Failed, Please Check!";
    const QString eleven = "Connection Abnormal or Device not support!";
    for (int i = 0; i < 3; ++i) {
      fx.device.connectResults = {-1};
      f.Login_SBtnClick();
    }
    QCOMPARE(fx.dialogs.texts(), (QStringList{five, eleven, eleven}));
    QCOMPARE(f.windowTitle(), QString("Tovarin - No Connect"));
    QCOMPARE(fx.state.session.CommandConnection, -1);
    f.Login_SBtnClick();  // succeeds
    fx.dialogs.clear();
    fx.device.connectResults = {0};
    f.Login_SBtnClick();
    QCOMPARE(fx.dialogs.texts(), QStringList{five});
  }

  void changeDevWithAnEmptyAddressCleansUpAndStops() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.IPAddress_Edit->setText("127.0.0.2");
    f.Login_SBtnClick();
    listitem::add(f.Patch2Send_LV, "p.patch", "/tmp/p.patch", 2, f.TovarinImages_ImageList);
    f.PatchMessage_Memo->setPlainText("history");
    listitem::add(f.FileList_LV, "DCIM", "/sdcard/DCIM", 0, f.TovarinImages_ImageList);
    f.UpdateProgress_Gauge->show();
    f.IPAddress_Edit->clear();
    const auto connectsBefore = fx.device.connectAddresses.size();
    f.Login_SBtnClick();
    QCOMPARE(fx.dialogs.texts(), QStringList{"IPaddress error"});
    QCOMPARE(f.Patch2Send_LV->count(), 0);
    QCOMPARE(f.FirmwareWpdateTip_Label->text(),
             QString("You Need Put A Patch File into the Rect!Click it!"));
    QCOMPARE(f.FileList_LV->count(), 0);
    QVERIFY(f.PatchMessage_Memo->toPlainText().isEmpty());
    QVERIFY(f.UpdateProgress_Gauge->isHidden());
    QCOMPARE(fx.device.connectAddresses.size(), connectsBefore);
    QCOMPARE(f.Login_SBtn->text(), QString("ChangeDev"));
  }

  void deviceFlagsSetTheFirmwareButtons() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.IPAddress_Edit->setText("127.0.0.2");
    fx.device.loginAnswers = {accepted("47RKT", 2010, 1, 0)};
    f.Login_SBtnClick();
    QVERIFY(!f.FirmwareUpdate_Btn->isEnabled());
    QVERIFY(!f.CheckForUpdate_Btn->isEnabled());
    QCOMPARE(f.FirmwareWpdateTip_Label->text(), QString("Update will finish after reboot"));
    QVERIFY(f.FirmwareBacktrack_Btn->isHidden());
    // With a previous firmware the backtrack button follows the pending flag.
    f.Login_SBtnClick();
    fx.device.loginAnswers = {accepted("47RKT", 2010, 1, 1)};
    f.Login_SBtnClick();
    QVERIFY(!f.FirmwareBacktrack_Btn->isHidden());
  }

  void tipsOfThePreviousDeviceDoNotCarryOver() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.IPAddress_Edit->setText("127.0.0.2");
    fx.device.loginAnswers = {accepted("47RKT", 2010, 1, 0)};
    f.Login_SBtnClick();
    QCOMPARE(f.FirmwareWpdateTip_Label->text(), QString("Update will finish after reboot"));
    f.IPAddress_Edit->setText("127.0.0.4");
    fx.device.loginAnswers = {accepted("52HQX", 3001, 0, 0)};
    f.Login_SBtnClick();
    QCOMPARE(f.FirmwareWpdateTip_Label->text(),
             QString("You Need Put A Patch File into the Rect!Click it!"));
    // A failure tip of the previous device goes too, even when the next
    // login fails.
    f.FirmwareWpdateTip_Label->setText("Update Failed, Please Check and Retry! (connection lost)");
    fx.device.connectResults = {-1};
    f.Login_SBtnClick();
    QCOMPARE(f.FirmwareWpdateTip_Label->text(),
             QString("You Need Put A Patch File into the Rect!Click it!"));
  }

  void pendingUpdateWithABacktrackOffersOnlyBacktrackAndReboot() {
    // The same rule as a run's end step: the pending update blocks another
    // send until the reboot, and backtrack is there to undo it.
    FormFixture fx;
    TMainForm& f = fx.create();
    f.IPAddress_Edit->setText("127.0.0.2");
    fx.device.loginAnswers = {accepted("47RKT", 2010, 1, 1)};
    f.Login_SBtnClick();
    QVERIFY(!f.FirmwareUpdate_Btn->isEnabled());
    QVERIFY(!f.CheckForUpdate_Btn->isEnabled());
    QVERIFY(f.FirmwareBacktrack_Btn->isEnabled());
    QVERIFY(!f.FirmwareBacktrack_Btn->isHidden());
    QVERIFY(f.DeviceReboot_Btn->isEnabled());
    // The tip says why the update buttons are off.
    QCOMPARE(f.FirmwareWpdateTip_Label->text(), QString("Update will finish after reboot"));
  }

  void refusedChangeDevLeavesTheDeviceButtonsOffUntilALogin() {
    FormFixture fx;
    TMainForm& f = fx.create();
    const std::vector<QPushButton*> buttons = {f.FirmwareUpdate_Btn, f.CheckForUpdate_Btn,
                                               f.DeviceReboot_Btn, f.FirmwareBacktrack_Btn};
    f.IPAddress_Edit->setText("127.0.0.2");
    f.Login_SBtnClick();
    f.IPAddress_Edit->setText("127.0.0.3");
    fx.device.loginAnswers = {refused(KESTRUM_LOGIN_WRONG_PASSWORD),
                              refused(KESTRUM_LOGIN_WRONG_PASSWORD)};
    f.Login_SBtnClick();
    for (QPushButton* b : buttons) QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    QCOMPARE(f.Login_SBtn->text(), QString("ChangeDev"));  // the next press still changes
    fx.device.connectResults = {-1};
    f.Login_SBtnClick();
    for (QPushButton* b : buttons) QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    f.Login_SBtnClick();
    // Nothing pending: update, online update and reboot; backtrack is hidden
    // and stays off.
    for (QPushButton* b : {f.FirmwareUpdate_Btn, f.CheckForUpdate_Btn, f.DeviceReboot_Btn})
      QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    QVERIFY(f.FirmwareBacktrack_Btn->isHidden());
    QVERIFY(!f.FirmwareBacktrack_Btn->isEnabled());
  }

  void rebootReopensThePanelAndSearchesAgain() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.IPAddress_Edit->setText("127.0.0.2");
    f.Login_SBtnClick();
    const int searchesBefore = fx.device.searches;
    f.RebootDevice();
    QCOMPARE(fx.dialogs.texts(), QStringList{"Device reboot!"});
    QVERIFY(f.loginPanelOpen());
    QVERIFY(f.PanelSpreader_Btn->isEnabled());
    QVERIFY(waitUntil([&] { return fx.device.searches == searchesBefore + 1; }));
    QCOMPARE(f.Login_SBtn->text(), QString("ChangeDev"));
    QCOMPARE(f.windowTitle(), QString("Tovarin - IP: 127.0.0.2"));
    QVERIFY(fx.device.openHandles().empty());
  }

  void rebootFailuresShowTheConnectionMessage() {
    FormFixture fx;
    TMainForm& f = fx.create();
    fx.state.session.DeviceAddress = "127.0.0.2";
    fx.device.connectResults = {-1};
    f.RebootDevice();
    fx.device.searchDirResults = {-3};
    f.RebootDevice();
    QCOMPARE(fx.dialogs.texts(), (QStringList{"Failed, Please Check the Connection!",
                                              "Failed, Please Check the Connection!"}));
    // A refused request does not leave its connection open.
    QVERIFY(fx.device.openHandles().empty());
    QVERIFY(f.loginPanelOpen());
  }
};

QTEST_MAIN(SessionTest)
#include "session_test.moc"
