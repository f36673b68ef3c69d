// The firmware update run: what the operator sees for each outcome, the
// gauge during the send, the reboot through the notice, the end step, the
// automatic run's clean-up and closing the window during a run.
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QtTest>

#include "common/platform_locale.h"
#include "firmware/firmware_window.h"
#include "firmware_fixture.h"

namespace {

QString md5Of(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(
      QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex());
}

QStringList filesBelow(const QString& folder) {
  QStringList files;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) files << it.next();
  return files;
}

bool contains(const std::vector<int32_t>& values, int32_t value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

}  // namespace

class FirmwareRunTest : public QObject {
  Q_OBJECT
 private slots:
  void eachOutcomeShowsItsText_data() {
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("tip");    // empty: the tip stays hidden
    QTest::addColumn<QString>("gauge");  // empty: the gauge is hidden
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("delivered");
    const QString unchanged = "valuestring";
    QTest::newRow("-4 not matching")
        << KESTRUM_SEND_HARDWARE_MISMATCH << "Patch not Match, Please Check!"
        << "" << unchanged << false;
    QTest::newRow("-6 busy") << KESTRUM_SEND_BUSY << "Device Busy, Please wait then Retry!"
                             << "" << unchanged << false;
    // A failed update says why after the common text.
    QTest::newRow("-5 not a patch")
        << KESTRUM_FAIL_REFUSED << "Update Failed, Please Check and Retry! (not an update patch)"
        << "" << unchanged << false;
    QTest::newRow("-1 connection lost")
        << KESTRUM_FAIL_CONNECTION << "Update Failed, Please Check and Retry! (connection lost)"
        << "" << unchanged << false;
    QTest::newRow("-3 no answer")
        << KESTRUM_FAIL_TIMEOUT
        << "Update Failed, Please Check and Retry! (device stopped answering)"
        << "" << unchanged << false;
    QTest::newRow("-8 unreadable")
        << KESTRUM_FAIL_LOCAL_FILE
        << "Update Failed, Please Check and Retry! (patch file cannot be read)"
        << "" << unchanged << false;
    QTest::newRow("-11 other") << -11
                               << "Update Failed, Please Check and Retry! (device error, code -11)"
                               << "" << unchanged << false;
    QTest::newRow("0 unknown") << 0 << ""
                               << "Uploading Patch" << unchanged << false;
    QTest::newRow("6 unknown") << 6 << ""
                               << "Uploading Patch" << unchanged << false;
    QTest::newRow("7 sent") << 7 << ""
                            << "Patch Send Finished!" << unchanged << true;
    QTest::newRow("8 finished") << 8 << ""
                                << "Update Finished, Should Reboot!"
                                << "8" << true;
    QTest::newRow("2011 finished") << 2011 << ""
                                   << "Update Finished, Should Reboot!"
                                   << "2011" << true;
  }
  void eachOutcomeShowsItsText() {
    QFETCH(int, result);
    QFETCH(QString, tip);
    QFETCH(QString, gauge);
    QFETCH(QString, version);
    QFETCH(bool, delivered);
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    f.TargetVersion_Val->setText("valuestring");
    fx.device.onSend = [result](const char*, const char*, int32_t*) { return result; };
    fx.startOperatorRun();
    QVERIFY(fx.waitRunEnded());

    QCOMPARE(f.FirmwareWpdateTip_Label->isHidden(), tip.isEmpty());
    if (!tip.isEmpty()) QCOMPARE(f.FirmwareWpdateTip_Label->text(), tip);
    // Every tip a run ends with reports a failure: it is drawn as one.
    if (!tip.isEmpty()) QCOMPARE(f.FirmwareWpdateTip_Label->property("tone").toString(), "failure");
    QCOMPARE(f.UpdateProgress_Gauge->isHidden(), gauge.isEmpty());
    if (!gauge.isEmpty()) QCOMPARE(f.UpdateProgress_Gauge->progressText(), gauge);
    QCOMPARE(f.TargetVersion_Val->text(), version);
    QCOMPARE(fx.state.session.UpdatePending, delivered ? -1 : 0);
    // Only a delivered patch reboots the device, through the notice.
    const bool rebooted = !fx.device.searchDirs.empty() && fx.device.searchDirs[0].code == 80;
    QCOMPARE(rebooted, delivered);
    QVERIFY(f.ThreadMessager_Edit->text().isEmpty());
    // The run's connection (the first handle) is closed by the end hook.
    QVERIFY(contains(fx.device.released, 1));
    QVERIFY(fx.device.openHandles().empty());
    QVERIFY(fx.waitSearchesEnded());
  }

  void sendGetsThePatchItsMd5AndTheRunsConnection() {
    FirmwareFixture fx;
    fx.device.onSend = [](const char*, const char*, int32_t*) { return KESTRUM_FAIL_REFUSED; };
    fx.startOperatorRun();
    QVERIFY(fx.waitRunEnded());
    const QString path = listitem::subItem(fx.f->Patch2Send_LV->item(0));
    QCOMPARE(fx.device.connectAddresses, std::vector<std::string>{"127.0.0.2"});
    QCOMPARE(fx.device.connectPorts, std::vector<int32_t>{9001});
    QCOMPARE(fx.device.sends.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(fx.device.sends[0].path), path);
    QCOMPARE(QString::fromStdString(fx.device.sends[0].md5), md5Of(path));
    QCOMPARE(fx.device.sends[0].handle, 1);
    // The operator's patch stays in the area for another try.
    QCOMPARE(fx.f->Patch2Send_LV->count(), 1);
  }

  void gaugeFollowsChannel91AndTurnsToUnpackingAtExactly40() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    const std::uint32_t savedStartup = StartupThreadLocale;
    StartupThreadLocale = 1033;  // a system that is not Simplified Chinese
    struct Seen {
      int value;
      QString text;
    };
    std::vector<Seen> seen;
    bool startedRight = false;
    std::uint32_t runLocale = 0;
    fx.device.onSend = [&](const char*, const char*, int32_t*) {
      runLocale = platform::GetThreadLocale();
      runOnUiThread([&] {
        startedRight = !f.UpdateProgress_Gauge->isHidden() &&
                       f.UpdateProgress_Gauge->value() == 0 &&
                       f.UpdateProgress_Gauge->progressText() == "Uploading Patch" &&
                       f.FirmwareWpdateTip_Label->isHidden() &&
                       !f.FirmwareUpdate_Btn->isEnabled() && !f.CheckForUpdate_Btn->isEnabled() &&
                       !f.DeviceReboot_Btn->isEnabled() && !f.FirmwareBacktrack_Btn->isEnabled();
      });
      for (int value : {10, 39, 41, 40, 60}) {
        fx.device.curProgress(value, 91);
        runOnUiThread([&] {
          seen.push_back({f.UpdateProgress_Gauge->value(), f.UpdateProgress_Gauge->progressText()});
        });
      }
      return 3;  // an outcome without meaning: the gauge stays as it is
    };
    fx.startOperatorRun();
    QVERIFY(fx.waitRunEnded());
    StartupThreadLocale = savedStartup;

    QVERIFY(startedRight);
    QCOMPARE(runLocale, std::uint32_t(2052));
    const QString up = "Uploading Patch", unpack = "Unpacking Patch";
    QCOMPARE(seen.size(), std::size_t(5));
    const std::vector<std::pair<int, QString>> expected = {
        {10, up}, {39, up}, {41, up}, {40, unpack}, {60, unpack}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
      QCOMPARE(seen[i].value, expected[i].first);
      QCOMPARE(seen[i].text, expected[i].second);
    }
    QCOMPARE(f.UpdateProgress_Gauge->value(), 60);
    QCOMPARE(f.UpdateProgress_Gauge->progressText(), unpack);
    QVERIFY(!f.UpdateProgress_Gauge->isHidden());
  }

  void endStepButtonsFollowTheSessionFlags_data() {
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("backtrack");
    QTest::addColumn<bool>("updateEnabled");
    QTest::addColumn<bool>("backtrackEnabled");
    QTest::newRow("sent, can go back") << 7 << 1 << false << true;
    QTest::newRow("sent, nothing to go back to") << 7 << 0 << false << false;
    QTest::newRow("failed, can go back") << KESTRUM_FAIL_REFUSED << 1 << true << false;
  }
  void endStepButtonsFollowTheSessionFlags() {
    QFETCH(int, result);
    QFETCH(int, backtrack);
    QFETCH(bool, updateEnabled);
    QFETCH(bool, backtrackEnabled);
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    fx.state.session.BacktrackAvailable = backtrack;
    fx.device.onSend = [result](const char*, const char*, int32_t*) { return result; };
    fx.startOperatorRun();
    QVERIFY(fx.waitRunEnded());
    QCOMPARE(f.FirmwareUpdate_Btn->isEnabled(), updateEnabled);
    QCOMPARE(f.CheckForUpdate_Btn->isEnabled(), updateEnabled);
    QCOMPARE(f.FirmwareBacktrack_Btn->isEnabled(), backtrackEnabled);
    QVERIFY(f.DeviceReboot_Btn->isEnabled());
    QVERIFY(fx.waitSearchesEnded());
  }

  void noticeRebootsWhileTheRunWaits() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    bool checked = false, runWaiting = false, connectionHeld = false, rebootStillOff = false;
    fx.dialogs.onMessage = [&](const QString& text) {
      if (text != "Device reboot!") return;
      checked = true;
      runWaiting = f.updateRunActive();
      connectionHeld = !contains(fx.device.released, 1);
      rebootStillOff = !f.DeviceReboot_Btn->isEnabled();
    };
    f.PanelSpreader_BtnClick();  // folded, as a login leaves it
    fx.startOperatorRun();
    QVERIFY(fx.waitRunEnded());
    QVERIFY(checked);
    QVERIFY(runWaiting);
    QVERIFY(connectionHeld);
    QVERIFY(rebootStillOff);
    // The reboot request went out on a connection of its own, after the send.
    const auto& calls = fx.device.calls;
    const auto send = std::find(calls.begin(), calls.end(), "SendUpdatePatch");
    QVERIFY(send != calls.end());
    QCOMPARE(std::vector<std::string>(send, calls.end()),
             (std::vector<std::string>{"SendUpdatePatch", "ConnectServer", "SearchDir",
                                       "ReleaseSocket", "ReleaseSocket"}));
    QCOMPARE(fx.device.released, (std::vector<int32_t>{2, 1}));
    QVERIFY(f.loginPanelOpen());  // the reboot unfolds the login panel
    QVERIFY(fx.waitSearchesEnded());
  }

  void failedConnectionStillEndsAndReleases() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    fx.device.connectResults = {-1};
    fx.startOperatorRun();
    QVERIFY(fx.waitRunEnded());
    QCOMPARE(f.FirmwareWpdateTip_Label->text(), QString("Connect to Device Failed, Please Check!"));
    QVERIFY(!f.FirmwareWpdateTip_Label->isHidden());
    QVERIFY(f.UpdateProgress_Gauge->isHidden());
    QVERIFY(fx.device.sends.empty());
    QCOMPARE(fx.device.calls, (std::vector<std::string>{"ConnectServer", "ReleaseSocket"}));
    QVERIFY(f.DeviceReboot_Btn->isEnabled());
    QVERIFY(f.FirmwareUpdate_Btn->isEnabled());
    QVERIFY(f.CheckForUpdate_Btn->isEnabled());
  }

  void unreadablePatchFailsBeforeConnecting() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    const QString path = fx.choosePatch("gone.patch");
    QVERIFY(QFile::remove(path));
    fx.dialogs.answers.push_back(true);
    f.FirmwareUpdate_BtnClick(f.FirmwareUpdate_Btn);
    QVERIFY(fx.waitRunEnded());
    QCOMPARE(f.FirmwareWpdateTip_Label->text(),
             QString("Update Failed, Please Check and Retry! (patch file cannot be read)"));
    QVERIFY(!f.FirmwareWpdateTip_Label->isHidden());
    QVERIFY(f.UpdateProgress_Gauge->isHidden());
    // The end hook runs all the same.
    QCOMPARE(fx.device.calls, std::vector<std::string>{"ReleaseSocket"});
    QVERIFY(f.DeviceReboot_Btn->isEnabled());
    QVERIFY(f.FirmwareUpdate_Btn->isEnabled());
  }

  void emptyPatchFailsBeforeConnecting() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    fx.dialogs.files.push_back(fx.writeFile("empty.patch", QByteArray()));
    fx.dialogs.answers.push_back(true);
    f.FirmwareUpdate_BtnClick(f.FirmwareUpdate_Btn);
    QVERIFY(fx.waitRunEnded());
    QCOMPARE(f.FirmwareWpdateTip_Label->text(),
             QString("Update Failed, Please Check and Retry! (empty file)"));
    QCOMPARE(f.FirmwareWpdateTip_Label->property("tone").toString(), QString("failure"));
    QCOMPARE(fx.device.calls, std::vector<std::string>{"ReleaseSocket"});
  }

  void automaticRunEmptiesTheWorkFolder_data() {
    QTest::addColumn<int>("connectResult");  // 0: connects
    QTest::addColumn<int>("sendResult");
    QTest::newRow("delivered") << 0 << KESTRUM_SEND_DELIVERED;
    QTest::newRow("not matching") << 0 << KESTRUM_SEND_HARDWARE_MISMATCH;
    QTest::newRow("no connection") << KESTRUM_FAIL_CONNECTION << KESTRUM_SEND_DELIVERED;
  }
  void automaticRunEmptiesTheWorkFolder() {
    QFETCH(int, connectResult);
    QFETCH(int, sendResult);
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    const QString patchFolder = fx.dir.filePath("patches");
    const QString work = patchFolder + "/autotmp";
    QVERIFY(QDir().mkpath(work + "/sub"));
    f.PatchSavePath_Edit->setText(patchFolder);
    const QString patch = fx.writeFile("patches/autotmp/47RKT_2011.patch");
    fx.writeFile("patches/autotmp/app.bin");
    fx.writeFile("patches/autotmp/.hidden");
    fx.writeFile("patches/autotmp/sub/inner.txt");
    const QString readOnly = fx.writeFile("patches/autotmp/locked.bin");
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
    const QString outside = fx.writeFile("patches/keep.patch");
    // As the packer leaves it.
    listitem::add(f.Patch2Send_LV, "47RKT_2011.patch", patch, 2, f.TovarinImages_ImageList);
    if (connectResult != 0) fx.device.connectResults = {connectResult};
    fx.device.onSend = [sendResult](const char*, const char*, int32_t*) { return sendResult; };

    f.FirmwareUpdate_BtnClick(f.CheckForUpdate_Btn);
    QVERIFY(fx.waitRunEnded());
    // No question, no dialog: the online update goes straight on.
    for (const ShownBox& box : fx.dialogs.boxes()) QVERIFY(box.kind != ShownBox::Question);
    QVERIFY(fx.dialogs.fileFilters.isEmpty());
    QCOMPARE(filesBelow(work), QStringList());
    QVERIFY(QDir(work + "/sub").exists());
    QVERIFY(QFile::exists(outside));
    QCOMPARE(f.Patch2Send_LV->count(), 0);
    QVERIFY(fx.waitSearchesEnded());
  }

  void emptiedAreaAfterAnAutomaticRunIsNotReady() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    fx.choosePatch("47RKT_2011.patch");  // as the packer leaves it: "Ready"
    fx.device.onSend = [](const char*, const char*, int32_t*) { return 3; };
    f.FirmwareUpdate_BtnClick(f.CheckForUpdate_Btn);
    QVERIFY(fx.waitRunEnded());
    QCOMPARE(f.Patch2Send_LV->count(), 0);
    QCOMPARE(f.FirmwareWpdateTip_Label->text(),
             QString("You Need Put A Patch File into the Rect!Click it!"));
  }

  void oneRunAtATime() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    SendGate gate;
    fx.device.onSend = [&](const char*, const char*, int32_t*) {
      gate.pass();
      return KESTRUM_FAIL_REFUSED;
    };
    fx.startOperatorRun();
    QVERIFY(waitUntil([&] { return gate.entered(); }));
    QVERIFY(!f.FirmwareUpdate_Btn->isEnabled());
    QVERIFY(!f.CheckForUpdate_Btn->isEnabled());
    QVERIFY(!f.DeviceReboot_Btn->isEnabled());
    QVERIFY(!f.FirmwareBacktrack_Btn->isEnabled());
    f.FirmwareUpdate_BtnClick(f.CheckForUpdate_Btn);  // the packer, meanwhile
    gate.open();
    QVERIFY(fx.waitRunEnded());
    QCOMPARE(fx.device.sends.size(), std::size_t(1));
  }

  void closingDuringARunAsksAndWaits() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    SendGate gate;
    fx.device.onSend = [&](const char*, const char*, int32_t*) {
      gate.pass();
      return KESTRUM_FAIL_REFUSED;
    };
    fx.startOperatorRun();
    QVERIFY(waitUntil([&] { return gate.entered(); }));

    // No keeps the window open and the run going.
    QVERIFY(!f.close());
    const ShownBox question = fx.dialogs.boxes().back();
    QCOMPARE(question.kind, ShownBox::Question);
    QCOMPARE(question.title, QString("Warning"));
    QVERIFY(question.text.contains(f.FUwarningLabel_Label->text()));
    QVERIFY(f.updateRunActive());

    // Yes waits until the run has let go of the device.
    fx.dialogs.answers.push_back(true);
    std::thread opener([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      gate.open();
    });
    const bool closed = f.close();
    const bool releasedAtClose = contains(fx.device.released, 1);
    opener.join();
    QVERIFY(closed);
    QVERIFY(releasedAtClose);
    QVERIFY(!f.updateRunActive());
  }

  void changeDevDuringARunIsRefusedAndTheRunRebootsItsOwnDevice() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    f.Login_SBtn->setText(f.msgText(MsgList::LoginButton, 1));  // "ChangeDev", as a login leaves it
    SendGate gate;
    fx.device.onSend = [&](const char*, const char*, int32_t*) {
      gate.pass();
      return 7;
    };
    fx.startOperatorRun();
    QVERIFY(waitUntil([&] { return gate.entered(); }));
    f.IPAddress_Edit->setText("127.0.0.3");
    f.Login_SBtnClick();
    QVERIFY(fx.dialogs.texts().last().contains("update is running"));
    QCOMPARE(fx.state.session.DeviceAddress, std::string("127.0.0.2"));
    gate.open();
    QVERIFY(fx.waitRunEnded());
    // The run's connection and the reboot's both went to the updated device.
    QCOMPARE(fx.device.connectAddresses, (std::vector<std::string>{"127.0.0.2", "127.0.0.2"}));
    QCOMPARE(fx.device.searchDirs.at(0).code, 80);
    QVERIFY(fx.waitSearchesEnded());
  }

  void panelOpenedDuringARunEndsOpenWithItsFoldButtonUsable() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    f.PanelSpreader_BtnClick();  // folded, as a login leaves it
    f.PanelSpreader_Btn->setEnabled(true);
    SendGate gate;
    fx.device.onSend = [&](const char*, const char*, int32_t*) {
      gate.pass();
      return 7;
    };
    fx.startOperatorRun();
    QVERIFY(waitUntil([&] { return gate.entered(); }));
    f.PanelSpreader_BtnClick();  // the operator opens it during the send
    QVERIFY(f.loginPanelOpen());
    gate.open();
    QVERIFY(fx.waitRunEnded());
    QVERIFY(fx.dialogs.texts().contains("Device reboot!"));
    QVERIFY(f.loginPanelOpen());
    QVERIFY(f.PanelSpreader_Btn->isEnabled());
    QCOMPARE(f.Login_Panel->width(), TMainForm::kClientWidth);
    QVERIFY(fx.waitSearchesEnded());
  }

  void choosingAPatchDuringARunLeavesTheUpdateButtonOff() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    SendGate gate;
    fx.device.onSend = [&](const char*, const char*, int32_t*) {
      gate.pass();
      return KESTRUM_FAIL_REFUSED;
    };
    fx.startOperatorRun();
    QVERIFY(waitUntil([&] { return gate.entered(); }));
    fx.choosePatch("another.patch");
    QCOMPARE(f.Patch2Send_LV->count(), 1);
    QVERIFY(!f.FirmwareUpdate_Btn->isEnabled());
    gate.open();
    QVERIFY(fx.waitRunEnded());
    QVERIFY(f.FirmwareUpdate_Btn->isEnabled());  // the end step's word
  }

  void closingDuringARunKeepsTheWindowAlive() {
    FirmwareFixture fx;
    TMainForm& f = *fx.f;
    f.PanelSpreader_BtnClick();  // the pages, and the gauge, in sight
    f.show();
    SendGate gate;
    fx.device.onSend = [&](const char*, const char*, int32_t*) {
      gate.pass();
      return KESTRUM_FAIL_REFUSED;
    };
    fx.startOperatorRun();
    QVERIFY(waitUntil([&] { return gate.entered(); }));
    QVERIFY(QTest::qWaitForWindowExposed(&f));

    struct PaintCounter : QObject {
      int paints = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
      }
    } counter;
    f.UpdateProgress_Gauge->installEventFilter(&counter);
    int paintsWhileWaiting = 0;
    bool timerRan = false;
    // Runs only if the event loop turns while the close waits for the run.
    QTimer::singleShot(50, &f, [&] {
      timerRan = true;
      f.UpdateProgress_Gauge->setValue(55);
      QTimer::singleShot(100, &f, [&] {
        paintsWhileWaiting = counter.paints;
        gate.open();
      });
    });
    fx.dialogs.answers.push_back(true);
    QVERIFY(f.close());
    QVERIFY(timerRan);
    QVERIFY(paintsWhileWaiting > 0);
  }

  void closingWithoutARunAsksNothing() {
    FirmwareFixture fx;
    QVERIFY(confirmCloseDuringUpdate(*fx.f));
    QVERIFY(fx.dialogs.boxes().empty());
  }
};

QTEST_MAIN(FirmwareRunTest)
#include "firmware_run_test.moc"
