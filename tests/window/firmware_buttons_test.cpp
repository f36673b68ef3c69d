// The questions of the firmware page's device buttons, the backtrack request
// and the reboot from its button.
#include <QtTest>

#include "firmware_fixture.h"

namespace {
int countOf(const std::vector<std::string>& calls, const std::string& name) {
  return static_cast<int>(std::count(calls.begin(), calls.end(), name));
}
}  // namespace

class FirmwareButtonsTest : public QObject {
  Q_OBJECT
 private slots:
  void updateWithEmptyAreaAndCancelledDialogAsksNothing() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    f.FirmwareUpdate_Btn->click();
    QCOMPARE(fx.dialogs.fileFilters.size(), 1);  // the dialog came first
    QVERIFY(fx.dialogs.boxes().empty());
    QVERIFY(fx.device.calls.empty());
    QVERIFY(!f.updateRunActive());
    QCOMPARE(f.Patch2Send_LV->count(), 0);
  }

  void updateAsksForThePatchAlreadyChosen() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    const QString path = fx.choosePatch("old.patch");
    // The handler's dialog is cancelled; No to the question.
    fx.dialogs.answers.push_back(false);
    f.FirmwareUpdate_Btn->click();
    const auto boxes = fx.dialogs.boxes();
    QCOMPARE(boxes.size(), std::size_t(1));
    QCOMPARE(boxes[0].kind, ShownBox::Question);
    QCOMPARE(boxes[0].title, QString("Asking"));
    QCOMPARE(boxes[0].text, QString("Sure to Update with this patch?"));
    QCOMPARE(listitem::subItem(f.Patch2Send_LV->item(0)), path);
    // No opens no connection and starts nothing.
    QTest::qWait(50);
    QVERIFY(fx.device.calls.empty());
    QVERIFY(!f.updateRunActive());
    QVERIFY(f.FirmwareUpdate_Btn->isEnabled());
  }

  void updateCancelDoesNothing() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    fx.choosePatch();
    f.FirmwareUpdate_BtnClick(f.UpdateCancel_Btn);
    QVERIFY(fx.dialogs.boxes().empty());
    QVERIFY(fx.device.calls.empty());
    QVERIFY(f.UpdateCancel_Btn->isHidden());
  }

  void automaticStartNeedsAPatch() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    f.FirmwareUpdate_BtnClick(f.CheckForUpdate_Btn);
    QVERIFY(!f.updateRunActive());
    QVERIFY(fx.dialogs.fileFilters.isEmpty());  // no dialog for the online update
    QVERIFY(fx.device.calls.empty());
  }

  void backtrackAnsweredNoSendsNothing() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    f.FirmwareUpdate_BtnClick(f.FirmwareBacktrack_Btn);
    const auto boxes = fx.dialogs.boxes();
    QCOMPARE(boxes.size(), std::size_t(1));
    QCOMPARE(boxes[0].title, QString("Warning"));
    QCOMPARE(boxes[0].text, QString("Do you want to backtrack to last version?"));
    QVERIFY(fx.device.calls.empty());
  }

  void acceptedBacktrackReleasesAndSwapsTheButtons() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    fx.state.session.UpdatePending = -1;
    fx.state.session.BacktrackAvailable = 1;
    f.FirmwareUpdate_Btn->setEnabled(false);
    f.FirmwareBacktrack_Btn->setEnabled(true);
    fx.dialogs.answers.push_back(true);
    f.FirmwareUpdate_BtnClick(f.FirmwareBacktrack_Btn);

    QCOMPARE(fx.device.connectAddresses, std::vector<std::string>{"127.0.0.2"});
    QCOMPARE(fx.device.connectPorts, std::vector<int32_t>{9001});
    QCOMPARE(fx.device.searchDirs.size(), std::size_t(1));
    const auto& request = fx.device.searchDirs[0];
    QVERIFY(request.nullPath);
    QCOMPARE(request.code, 15);
    QCOMPARE(request.transferId, uint16_t(6));
    QCOMPARE(request.handle, 1);
    QCOMPARE(fx.device.released, std::vector<int32_t>{1});
    QVERIFY(f.FirmwareUpdate_Btn->isEnabled());
    QVERIFY(!f.FirmwareBacktrack_Btn->isEnabled());
    QCOMPARE(fx.dialogs.texts().last(), QString("Device will backtrack after reboot"));
    // The flags stay as login read them.
    QCOMPARE(fx.state.session.UpdatePending, -1);
    QCOMPARE(fx.state.session.BacktrackAvailable, 1);
  }

  void failedBacktrackShowsTheConnectionMessage() {
    // No connection: no request.
    {
      FirmwareFixture fx;
      TMainForm& f = *fx.f;
      fx.device.connectResults = {0};
      fx.dialogs.answers.push_back(true);
      f.FirmwareBacktrack_Btn->setEnabled(true);
      f.FirmwareUpdate_Btn->setEnabled(false);
      f.FirmwareUpdate_BtnClick(f.FirmwareBacktrack_Btn);
      QVERIFY(fx.device.searchDirs.empty());
      QCOMPARE(fx.dialogs.texts().last(), QString("Failed, Please Check the Connection!"));
      QVERIFY(f.FirmwareBacktrack_Btn->isEnabled());
      QVERIFY(!f.FirmwareUpdate_Btn->isEnabled());
    }
    // Refused: the connection is closed all the same and nothing else changes.
    {
      FirmwareFixture fx;
      TMainForm& f = *fx.f;
      fx.device.searchDirResults = {-3};
      fx.dialogs.answers.push_back(true);
      f.FirmwareBacktrack_Btn->setEnabled(true);
      f.FirmwareUpdate_Btn->setEnabled(false);
      f.FirmwareUpdate_BtnClick(f.FirmwareBacktrack_Btn);
      QCOMPARE(fx.device.searchDirs.size(), std::size_t(1));
      QCOMPARE(fx.dialogs.texts().last(), QString("Failed, Please Check the Connection!"));
      QVERIFY(fx.device.openHandles().empty());
      QVERIFY(f.FirmwareBacktrack_Btn->isEnabled());
      QVERIFY(!f.FirmwareUpdate_Btn->isEnabled());
    }
  }

  void rebootButtonAsksFirst() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    f.FirmwareUpdate_BtnClick(f.DeviceReboot_Btn);
    QCOMPARE(fx.dialogs.boxes().at(0).title, QString("Asking"));
    QCOMPARE(fx.dialogs.boxes().at(0).text, QString("Are you sure to reboot device now?"));
    QCOMPARE(countOf(fx.device.calls, "ConnectServer"), 0);

    fx.dialogs.answers.push_back(true);
    f.DeviceReboot_Btn->click();
    QCOMPARE(fx.device.searchDirs.size(), std::size_t(1));
    QCOMPARE(fx.device.searchDirs[0].code, 80);
    QCOMPARE(fx.dialogs.texts().last(), QString("Device reboot!"));
    QVERIFY(fx.waitSearchesEnded());
  }
};

QTEST_MAIN(FirmwareButtonsTest)
#include "firmware_buttons_test.moc"
