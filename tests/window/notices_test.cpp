// Worker-thread notices through the two hidden edits, and the progress
// callback's channels.
#include <QtTest>
#include <thread>

#include "common/ui_thread.h"
#include "devicelink/progress_callbacks.h"
#include "form_fixture.h"
#include "session/device_session.h"

namespace {

// Runs fn on a worker and waits for it the way the window waits: serving the
// worker's calls to the window's thread meanwhile.
template <typename Fn>
void onWorker(Fn fn) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    fn();
    done = true;
    wakeUiWaiters();
  });
  waitOnUiThread([&] { return done.load(); });
  worker.join();
}

}  // namespace

class NoticesTest : public QObject {
  Q_OBJECT
 private slots:
  void unknownOrNearlyEqualTextsAreIgnoredAndEmptied() {
    FormFixture fx;
    TMainForm& f = fx.create();
    for (const QString text :
         {QString("hello"), QString("Update Will Finish After Reboot"),
          QString("Update will finish after reboot "), QString("Search Finished!")}) {
      f.ThreadMessager_Edit->setText(text);
      f.DevSearchMessageEdit_Edit->setText(text);
      QVERIFY(f.ThreadMessager_Edit->text().isEmpty());
      QVERIFY(f.DevSearchMessageEdit_Edit->text().isEmpty());
    }
    QVERIFY(fx.dialogs.texts().isEmpty());
    QVERIFY(fx.device.connectAddresses.empty());  // no reboot was attempted
  }

  void checkForNextUpdateAnswersWithItsHint() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.ThreadMessager_Edit->setText("Check For Next Update");
    QCOMPARE(fx.dialogs.texts().size(), 1);
    QVERIFY(
        fx.dialogs.texts()[0].startsWith("Device has updated. Checking for next update, if \""));
    QVERIFY(f.ThreadMessager_Edit->text().isEmpty());
  }

  void rebootNoticeFromAWorkerWaitsForTheReboot() {
    FormFixture fx;
    TMainForm& f = fx.create();
    fx.state.session.DeviceAddress = "127.0.0.2";
    std::atomic<bool> workerWentOn{false};
    int boxesWhenWorkerWentOn = -1;
    std::thread worker([&] {
      runOnUiThread([&] { f.ThreadMessager_Edit->setText("Update will finish after reboot"); });
      boxesWhenWorkerWentOn = static_cast<int>(fx.dialogs.boxes().size());
      workerWentOn = true;
    });
    QVERIFY(waitUntil([&] { return workerWentOn.load(); }));
    worker.join();
    // "Device reboot!" had been shown before the worker went on.
    QCOMPARE(boxesWhenWorkerWentOn, 1);
    QCOMPARE(fx.dialogs.texts()[0], QString("Device reboot!"));
    QCOMPARE(fx.device.searchDirs.size(), std::size_t(1));
    QCOMPARE(fx.device.searchDirs[0].code, 80);
    QVERIFY(fx.device.searchDirs[0].nullPath);
    QCOMPARE(fx.device.searchDirs[0].transferId, uint16_t(6));
    QVERIFY(fx.device.openHandles().empty());
  }

  void progressChannelsReachTheirControls() {
    FormFixture fx;
    TMainForm& f = fx.create();
    onWorker([] {
      CurProgressCallback(123, 1);
      CurProgressCallback(-7, 4);
      CurProgressCallback(55, 90);
      CurProgressCallback(77, 12);  // ignored
    });
    QCOMPARE(f.SpeedLabels[0]->text(), QString("123"));
    QCOMPARE(f.SpeedLabels[3]->text(), QString("-7"));
    QCOMPARE(f.MakeUpdatePatchProgress_Gauge->value(), 55);
  }

  void unpackingTextAppearsAtExactlyForty() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.UpdateProgress_Gauge->setProgressText("Uploading Patch");
    for (int v : {39, 41}) {
      CurProgressCallback(v, 91);
      QCOMPARE(f.UpdateProgress_Gauge->value(), v);
      QCOMPARE(f.UpdateProgress_Gauge->text(), QString("Uploading Patch"));
    }
    CurProgressCallback(40, 91);
    QCOMPARE(f.UpdateProgress_Gauge->text(), QString("Unpacking Patch"));
    CurProgressCallback(60, 91);
    QCOMPARE(f.UpdateProgress_Gauge->text(), QString("Unpacking Patch"));
    QCOMPARE(f.UpdateProgress_Gauge->value(), 60);
  }

  void progressAfterTheWindowHasGoneChangesNothing() {
    {
      FormFixture fx;
      fx.create();
    }
    // A run may outlive its window; its progress must not reach for the
    // controls that went with it.
    CurProgressCallback(50, 91);
    CurProgressCallback(10, 1);
    CurProgressCallback(10, 90);
    std::vector<char> name(KESTRUM_PATCH_NAME_SIZE, 'Z'), info(KESTRUM_PATCH_INFO_SIZE);
    GetFile2PatchCallback(name.data(), info.data(), 1);
    QCOMPARE(name[0], 'Z');
  }

  void patchMakerCallbackHandsOutFilesThenTheRuleScript() {
    FormFixture fx;
    TMainForm& f = fx.create();
    listitem::add(f.Files2Patch_LV, "a.bin", "/tmp/x/a.bin", 2, f.TovarinImages_ImageList);
    listitem::add(f.Files2Patch_LV, "b c.bin", "/tmp/my dir/b c.bin", 2, f.TovarinImages_ImageList);
    listitem::add(f.UpdateRuleFile_LV, "rule.sh", "/tmp/x/rule.sh", 2, f.TovarinImages_ImageList);
    std::vector<char> name(KESTRUM_PATCH_NAME_SIZE), info(KESTRUM_PATCH_INFO_SIZE);
    GetFile2PatchCallback(name.data(), info.data(), 2);
    QCOMPARE(QString(name.data()), QString("b c.bin"));
    QCOMPARE(QString(info.data()), QString("\"/tmp/my dir/b c.bin\""));
    GetFile2PatchCallback(name.data(), info.data(), 3);
    QCOMPARE(QString(name.data()), QString("rule.sh"));
    QCOMPARE(QString(info.data()), QString("/tmp/x/rule.sh"));
    name[0] = 'Z';
    GetFile2PatchCallback(name.data(), info.data(), 4);  // beyond: nothing written
    QCOMPARE(name[0], 'Z');
    QCOMPARE(QString::fromStdString(commaTextOf("a\"b c")), QString("\"a\"\"b c\""));
  }
};

QTEST_MAIN(NoticesTest)
#include "notices_test.moc"
