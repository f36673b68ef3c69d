// The window as the operator first sees it, its placement and the login
// panel's fold.
#include <QtTest>

#include "form_fixture.h"
#include "session/device_session.h"

class StartupTest : public QObject {
  Q_OBJECT
 private slots:
  void netStateAfterCreate() {
    FormFixture fx;
    TMainForm& f = fx.create();
    QCOMPARE(f.windowTitle(), QString("Tovarin - No Connect"));
    QCOMPARE(f.size(), QSize(640, 480));
    QCOMPARE(f.IPAddress_Edit->text(), QString("192.168.1.1"));
    QCOMPARE(f.UserName_Edit->text(), QString("admin"));
    QVERIFY(f.Password_Edit->text().isEmpty());
    QCOMPARE(f.Login_Panel->geometry(), QRect(0, 0, 640, 480));
    QVERIFY(!f.PanelSpreader_Btn->isEnabled());
    QCOMPARE(fx.state.session.CommandConnection, -1);
    // Only the firmware page's tab is there for the operator.
    QVERIFY(f.Pages_PageControl->isTabVisible(f.FirmwareUpdate_Page));
    QVERIFY(!f.Pages_PageControl->isTabVisible(f.Tovarin_Page));
    QVERIFY(!f.Pages_PageControl->isTabVisible(f.Options_Page));
    QVERIFY(!f.Pages_PageControl->isTabVisible(f.MakeUpdatePatch_Page));
    QCOMPARE(f.Pages_PageControl->currentPage(), f.FirmwareUpdate_Page);
    QVERIFY(f.Command_Edit->isHidden());
    QVERIFY(f.CommandHistory_Memo->isHidden());
    QVERIFY(f.UpdateCancel_Btn->isHidden());
    QVERIFY(f.AddItem_Btn->isHidden());
    QVERIFY(f.UpdateProgress_Gauge->isHidden());
    QVERIFY(!f.DSLApply_Btn->isEnabled());
    QCOMPARE(f.PatchHWName_Edit->text(), QString("47RKT"));
    // The device library got both callbacks.
    QVERIFY(fx.device.curProgress != nullptr);
    QVERIFY(fx.device.getFile2Patch != nullptr);
  }

  void everyControlIsNamed() {
    FormFixture fx;
    TMainForm& f = fx.create();
    for (const char* name :
         {"Pages_PageControl",    "Login_Panel",         "PanelSpreader_Btn",
          "DevList_TreeView",     "DevSearch_Btn",       "Login_SBtn",
          "LoginHint_Label",      "ThreadMessager_Edit", "DevSearchMessageEdit_Edit",
          "Speed1_Label",         "KBperSec4_Label",     "FirmwareUpdate_Btn",
          "UpdateProgress_Gauge", "Patch2Send_LV",       "PatchVersionEdit4_Edit",
          "OldVersionEdit1_Edit", "MUPGetmd5_Btn",       "LanguageBox_ComboBox",
          "Command_Edit",         "CommandHistory_Memo"}) {
      QVERIFY2(f.findChild<QWidget*>(name) != nullptr, name);
    }
  }

  void loginFieldsSitWhereTheRulesPutThem() {
    FormFixture fx;
    TMainForm& f = fx.create();
    QCOMPARE(f.UserName_Edit->pos(), QPoint(252, 222));
    QCOMPARE(f.IPAddress_Edit->y(), 200);
    QCOMPARE(f.DeviceID_Edit->y(), 178);
    QCOMPARE(f.Password_Edit->y(), 244);
    QCOMPARE(f.Login_SBtn->y(), 278);
    QCOMPARE(f.UserName_Label->x() + f.UserName_Label->width() + 2, 252);
    QCOMPARE(f.Command_Edit->geometry(), QRect(0, 462, 449, 18));
    QCOMPARE(f.CommandHistory_Memo->geometry(), QRect(0, 262, 200, 200));
    QCOMPARE(f.DevListPanel_Panel->pos(), QPoint(475, 1));
  }

  void foldAndUnfoldAnimateInTenSteps() {
    FormFixture fx;
    TMainForm& f = fx.create();
    std::vector<int> widths;
    fx.sleeper.onSleep = [&] { widths.push_back(f.Login_Panel->width()); };
    f.PanelSpreader_BtnClick();
    QCOMPARE(widths, (std::vector<int>{580, 522, 464, 406, 348, 290, 232, 174, 116, 58}));
    QCOMPARE(f.Login_Panel->width(), 17);
    QCOMPARE(f.PanelSpreader_Btn->text(), QString(">>"));
    QVERIFY(!f.loginPanelOpen());
    widths.clear();
    f.PanelSpreader_BtnClick();  // toggles back, whatever the caller expects
    QCOMPARE(widths, (std::vector<int>{58, 116, 174, 232, 290, 348, 406, 464, 522, 580}));
    QCOMPARE(f.Login_Panel->width(), 640);
    QCOMPARE(f.PanelSpreader_Btn->text(), QString("<<"));
    QCOMPARE(fx.sleeper.sleeps, std::vector<int>(20, 20));
  }

  void showingStartsTheDeviceSearch() {
    FormFixture fx;
    TMainForm& f = fx.create();
    fx.device.searchRecords = {ScriptedDeviceLink::record("127.0.0.2", "CAM0001A")};
    f.show();
    QVERIFY(waitUntil([&] { return f.DevList_TreeView->topLevelItemCount() == 1; }));
    QCOMPARE(f.DevList_TreeView->topLevelItem(0)->text(0), QString("QJCAM0001A"));
    QVERIFY(f.WebMessageTimer_Timer->isActive());
    QCOMPARE(f.WebMessageTimer_Timer->interval(), 1800000);
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
