// A device that answers "still working" for ever must not freeze the
// window: the real window logs in to it with the real device library, whose
// call deadline is shortened here, and gets its thread back in time.
#include <poll.h>
#include <sys/socket.h>

#include <QtTest>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/mainform.h"
#include "common/ui_thread.h"
#include "e2e_window.h"
#include "session/discovery.h"
#include "socket_io.h"

using Clock = std::chrono::steady_clock;

namespace {

// On 127.0.0.20:9001: reads each connection's first frame, then sends
// keep-alives every 0.1 s until the client hangs up, or 6 s have passed.
class KeepAliveDevice {
 public:
  KeepAliveDevice() {
    listener_ = wire::listenTcp("127.0.0.20", 9001, nullptr);
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{listener_.get(), POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        wire::Fd c(::accept(listener_.get(), nullptr, nullptr));
        wire::Frame first;
        if (wire::recvFrame(c.get(), &first, 1000) != wire::Io::Ok) continue;
        ++requests;
        const auto end = Clock::now() + std::chrono::seconds(6);
        while (!stop_ && Clock::now() < end &&
               wire::sendFrame(c.get(), wire::MsgType::KeepAlive, {}, 1000) == wire::Io::Ok)
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
  }
  ~KeepAliveDevice() {
    stop_ = true;
    thread_.join();
  }
  bool listening() const { return listener_.valid(); }
  std::atomic<int> requests{0};

 private:
  wire::Fd listener_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace

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
    KeepAliveDevice rogue;
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
