// A device that answers "still working" for ever must not freeze the
// window: the real window logs in to it with the real device library, whose
// call deadline is shortened here, and gets its thread back in time.
#include <QtTest>
#include <chrono>
#include <cstdlib>

#include "app/mainform.h"
#include "common/ui_thread.h"
#include "e2e_window.h"
#include "scripted_tcp_device.h"
#include "session/discovery.h"

using Clock = std::chrono::steady_clock;

class RogueDeviceE2eTest : public QObject {
  Q_OBJECT

  E2eWindow win_;
  TMainForm& f() { return *win_.form; }

 private slots:
  void initTestCase() {
    // Read once by the library at its first use: a 1 s call deadline.
    ::setenv("KESTRUM_CALL_DEADLINE_MS", "1000", 1);
    initUiThread();
    win_.create();
    f().show();  // the first showing searches; nothing answers here
    QVERIFY(QTest::qWaitFor([] { return !deviceSearchRunning(); }, 10000));
  }

  void cleanupTestCase() { win_.destroy(); }

  void loginToADeviceThatKeepsWorkingGivesTheWindowBack() {
    // Sends keep-alives every 0.1 s until the client hangs up.
    ScriptedTcpDevice rogue([](const ScriptedTcpDevice::Line& line) {
      line.repeatUntilClosed(wire::MsgType::KeepAlive);
    });
    QVERIFY(rogue.listening());
    f().IPAddress_Edit->setText("127.0.0.20");
    QVERIFY(f().Login_SBtn->isVisible() && f().Login_SBtn->isEnabled());
    const auto start = Clock::now();
    f().Login_SBtn->click();  // runs the login on this, the window's, thread
    const auto took = Clock::now() - start;
    // One login: a device that let its deadline pass is not asked again.
    QCOMPARE(rogue.requests.load(), 1);
    QVERIFY2(
        took < std::chrono::milliseconds(3500),
        qPrintable(QString("the window's thread was held %1 ms")
                       .arg(std::chrono::duration_cast<std::chrono::milliseconds>(took).count())));
    QVERIFY(f().Login_SBtn->text() != QString("ChangeDev"));  // not logged in
  }
};

QTEST_MAIN(RogueDeviceE2eTest)
#include "rogue_device_e2e_test.moc"
