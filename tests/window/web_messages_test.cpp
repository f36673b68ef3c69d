// The firmware page's update history and web message: fetched on threads of
// their own after login, at first showing and on each timer tick; the label
// opens its address; fetches that overlap or outlive the window.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QtTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/shutdown.h"
#include "form_fixture.h"
#include "test_http_server.h"
#include "updateservice/curl_http_client.h"
#include "updateservice/web_fetch.h"

namespace {

const std::string kBase = std::string("http://") + FormFixture::kUpdateServer + "/IPC/";
const std::string kMessages = kBase + "RandomMessages.txt";

std::string historyUrl(const std::string& hardware) {
  return kBase + hardware + "/PatchHistory_" + hardware + ".txt";
}

std::string oneMessage(const std::string& caption, const std::string& address) {
  return "count=1;1short=" + caption + "&content=about " + caption + "&url=" + address + "&;";
}

bool fetchesEnded() {
  return waitUntil([] { return !webFetchRunning(); });
}

// A server on 127.0.0.1 that takes connections (the kernel does) and never
// answers.
struct SilentServer {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  int port = 0;
  SilentServer() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), size) == 0 && ::listen(fd, 8) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
      port = ntohs(a.sin_port);
  }
  ~SilentServer() { ::close(fd); }
};

// Holds requests for one URL until released; the test waits until it holds.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  int held = 0;
  bool open = false;
  void hold() {
    std::unique_lock lock(mutex);
    ++held;
    changed.notify_all();
    changed.wait(lock, [&] { return open; });
  }
  void release() {
    std::lock_guard lock(mutex);
    open = true;
    changed.notify_all();
  }
  int holding() {
    std::lock_guard lock(mutex);
    return held;
  }
};

struct WebFixture : FormFixture {
  TMainForm* f = nullptr;
  WebFixture() {
    f = &create();
    f->setAttribute(Qt::WA_DontShowOnScreen);
  }
  void login(const std::string& hardware) {
    ScriptedDeviceLink::LoginAnswer answer;
    answer.hardwareName = hardware;
    device.loginAnswers.push_back(answer);
    f->Login_SBtn->click();
  }
  // Shows the window (its first message fetch) and waits for the fetch.
  bool showWith(const std::string& messageFile) {
    http.answer(kMessages, {messageFile});
    f->show();
    return fetchesEnded();
  }
  void tick() { QMetaObject::invokeMethod(f->WebMessageTimer_Timer, "timeout"); }
};

}  // namespace

class WebMessagesTest : public QObject {
  Q_OBJECT
 private slots:
  void historyReplacesTheMemoOrAddsOneErrorLine() {
    WebFixture fx;
    fx.http.answer(historyUrl("47RKT"), {"2011: faster\r\n2010: first\r\n"});
    fx.f->PatchMessage_Memo->setPlainText("left from before");
    fx.login("47RKT");
    QVERIFY(fetchesEnded());
    QCOMPARE(fx.f->PatchMessage_Memo->toPlainText(), QString("2011: faster\n2010: first"));

    // The next camera's hardware has no history on the server.
    fx.f->Login_SBtn->setText("Login");  // a fresh login keeps the memo's text
    fx.login("52HQX");
    QVERIFY(fetchesEnded());
    QCOMPARE(fx.f->PatchMessage_Memo->toPlainText(),
             QString("2011: faster\n2010: first\n"
                     "Connect to Updateserver failed : HTTP/1.1 404 Not Found"));
  }

  void unknownHardwareAsksNothing() {
    for (const std::string hardware : {"UNKNOW", ""}) {
      WebFixture fx;
      fx.login(hardware);
      QVERIFY(fetchesEnded());
      QCOMPARE(fx.f->TargetHarward_Val->text(), QString::fromStdString(hardware));
      QCOMPARE(fx.f->PatchMessage_Memo->toPlainText(), QString("Error Firmware Unknown!"));
      for (const std::string& url : fx.http.requested())
        QVERIFY2(url.find("PatchHistory") == std::string::npos, url.c_str());
    }
  }

  void aHugeHistoryOrCaptionIsCutAndSaysSo() {
    WebFixture fx;
    std::string history;
    for (int i = 0; i < 5000; ++i) history += "2011: line\r\n";
    fx.http.answer(historyUrl("47RKT"), {history});
    fx.login("47RKT");
    QVERIFY(fx.showWith(oneMessage(std::string(100000, 'c'), "http://h/c")));
    const QStringList lines = fx.f->PatchMessage_Memo->toPlainText().split('\n');
    QCOMPARE(lines.size(), 1001);
    QCOMPARE(lines.last(), QString("(The history is longer: only its beginning is shown.)"));
    QCOMPARE(fx.f->WebMessageURL_Label->text(), QString(200, 'c') + "...");
  }

  void firstShowingFetchesAMessageAndStartsTheTimer() {
    WebFixture fx;
    QVERIFY(fx.showWith(oneMessage("News", "http://h/news")));
    QCOMPARE(fx.f->WebMessageURL_Label->text(), QString("News"));
    QCOMPARE(fx.f->WebMessageURL_Label->toolTip(), QString("about News"));
    QCOMPARE(fx.f->state().web.address, QString("http://h/news"));
    QVERIFY(!fx.f->WebMessageURL_Label->isHidden());
    QVERIFY(fx.f->WebMessageTimer_Timer->isActive());
    QCOMPARE(fx.f->WebMessageTimer_Timer->interval(), 1800000);
  }

  void aTickHidesTheLabelUntilItsFetchDecides() {
    WebFixture fx;
    QVERIFY(fx.showWith(oneMessage("Old news", "http://h/old")));
    QLabel* label = fx.f->WebMessageURL_Label;

    // The server is gone at the tick: the previous message comes back.
    fx.http.answer(kMessages, {"", "", false});
    Gate gate;
    fx.http.beforeAnswer = [&](const std::string&) { gate.hold(); };
    fx.tick();
    QVERIFY(waitUntil([&] { return gate.holding() == 1; }));
    QVERIFY(label->isHidden());
    gate.release();
    QVERIFY(fetchesEnded());
    QVERIFY(!label->isHidden());
    QCOMPARE(label->text(), QString("Old news"));
    QCOMPARE(fx.f->state().web.address, QString("http://h/old"));

    // A file without messages: the label stays hidden.
    fx.http.beforeAnswer = nullptr;
    fx.http.answer(kMessages, {"count=0;"});
    fx.tick();
    QVERIFY(fetchesEnded());
    QVERIFY(label->isHidden());
    QCOMPARE(label->text(), QString("Old news"));
  }

  void aClickOpensTheAddressOnlyWithBrowserAndMessage() {
    WebFixture fx;
    auto click = [&] { QTest::mouseClick(fx.f->WebMessageURL_Label, Qt::LeftButton); };
    fx.http.answer(kMessages, {"count=0;"});
    fx.f->show();
    QVERIFY(fetchesEnded());
    fx.f->WebMessageURL_Label->show();
    click();
    QVERIFY2(fx.browser.launched.isEmpty(), "no message yet");

    fx.http.answer(kMessages, {oneMessage("Read me", "https://h/read")});
    fx.tick();
    QVERIFY(fetchesEnded());
    click();
    QCOMPARE(fx.browser.launched, QStringList{"/usr/bin/xdg-open https://h/read"});
  }

  void withoutABrowserAClickDoesNothing() {
    WebFixture fx;
    fx.browser.path.clear();
    QVERIFY(fx.showWith(oneMessage("Read me", "http://h/read")));
    QTest::mouseClick(fx.f->WebMessageURL_Label, Qt::LeftButton);
    QVERIFY(fx.browser.launched.isEmpty());
  }

  void anOlderFetchArrivingLateChangesNothing() {
    WebFixture fx;
    Gate first;
    fx.http.answer(historyUrl("47RKT"), {"history of 47RKT"});
    fx.http.answer(historyUrl("52HQX"), {"history of 52HQX"});
    fx.http.answer(kMessages, {oneMessage("First", "http://h/first")});
    fx.http.beforeAnswer = [&](const std::string& url) {
      if (url == historyUrl("47RKT") || url == kMessages) first.hold();
    };
    // The first showing's message fetch and the first login's history hang.
    fx.f->show();
    fx.login("47RKT");
    QVERIFY(waitUntil([&] { return first.holding() == 2; }));
    // A tick and the next login are answered at once.
    fx.http.beforeAnswer = nullptr;
    fx.http.answer(kMessages, {oneMessage("Second", "http://h/second")});
    fx.tick();
    fx.login("52HQX");
    QVERIFY(waitUntil([&] { return fx.f->WebMessageURL_Label->text() == "Second"; }));
    QVERIFY(
        waitUntil([&] { return fx.f->PatchMessage_Memo->toPlainText() == "history of 52HQX"; }));
    first.release();
    QVERIFY(fetchesEnded());
    QCOMPARE(fx.f->PatchMessage_Memo->toPlainText(), QString("history of 52HQX"));
    QCOMPARE(fx.f->WebMessageURL_Label->text(), QString("Second"));
    QCOMPARE(fx.f->WebMessageURL_Label->toolTip(), QString("about Second"));
    QCOMPARE(fx.f->state().web.address, QString("http://h/second"));
  }

  void noFetchThreadOutlivesTheWindow() {
    WebFixture fx;
    std::atomic<int> inFlight{0};
    fx.http.answer(kMessages, {oneMessage("Late", "http://h/late")});
    fx.http.answer(historyUrl("47RKT"), {"history of 47RKT"});
    // Both fetches are slow: they are still asking when the window goes.
    fx.http.beforeAnswer = [&](const std::string&) {
      ++inFlight;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
    fx.f->show();
    fx.login("47RKT");
    QVERIFY(waitUntil([&] { return inFlight.load() == 2; }));
    QVERIFY(webFetchRunning());
    fx.form.reset();
    // The window waited for both: their threads ended before it did.
    QVERIFY(!webFetchRunning());
  }

  void closingWhileTheServerDripsEndsAtOnce() {
    // Each fetch gets a byte now and then: never silent, never done.
    TestHttpServer server("127.0.0.5");
    server.put("/IPC/RandomMessages.txt", std::string(5000, 'm'));
    server.drip("/IPC/RandomMessages.txt", std::chrono::milliseconds(50));
    server.put("/IPC/47RKT/PatchHistory_47RKT.txt", std::string(5000, 'h'));
    server.drip("/IPC/47RKT/PatchHistory_47RKT.txt", std::chrono::milliseconds(50));
    CurlHttpClient curl;  // the program's bounds
    FormFixture fx;
    AppServices s = fx.services();
    s.http = &curl;
    s.updateServer = QString::fromStdString(server.host());
    initUiThread();
    fx.form = std::make_unique<TMainForm>(s);
    TMainForm& f = *fx.form;
    f.setAttribute(Qt::WA_DontShowOnScreen);
    f.show();
    ScriptedDeviceLink::LoginAnswer answer;
    answer.hardwareName = "47RKT";
    fx.device.loginAnswers.push_back(answer);
    f.Login_SBtn->click();
    QVERIFY(waitUntil([&] { return server.requests().size() == 2; }));

    const auto start = std::chrono::steady_clock::now();
    shutDownProgram(f);
    QVERIFY(!webFetchRunning());
    QVERIFY2(std::chrono::steady_clock::now() - start < std::chrono::seconds(2),
             "the fetches are abandoned, not waited out");
  }

  void closingDuringAStalledFetchEndsWithinTheClientsBound() {
    // A server that takes the connection and never answers.
    SilentServer silent;
    QVERIFY(silent.port != 0);
    CurlHttpClient curl(HttpLimits{1000, 1000});
    FormFixture fx;
    AppServices s = fx.services();
    s.http = &curl;
    s.updateServer = QString("127.0.0.1:%1").arg(silent.port);
    initUiThread();
    fx.form = std::make_unique<TMainForm>(s);
    TMainForm& f = *fx.form;
    f.setAttribute(Qt::WA_DontShowOnScreen);
    f.show();
    f.Login_SBtn->click();
    QVERIFY(webFetchRunning());
    f.PatchMessage_Memo->setPlainText("kept");

    const auto start = std::chrono::steady_clock::now();
    shutDownProgram(f);
    const auto took = std::chrono::steady_clock::now() - start;
    QVERIFY(!webFetchRunning());
    QVERIFY2(took < std::chrono::seconds(4), "the stall bound is one second");
    // The failures arrived after the close and changed nothing.
    QCOMPARE(f.PatchMessage_Memo->toPlainText(), QString("kept"));
    QVERIFY(f.WebMessageURL_Label->isHidden() || f.WebMessageURL_Label->text().isEmpty());
    QVERIFY(!f.WebMessageTimer_Timer->isActive());
  }
};

QTEST_MAIN(WebMessagesTest)
#include "web_messages_test.moc"
