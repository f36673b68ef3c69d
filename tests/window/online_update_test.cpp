// CheckForUpdate on the firmware page: the check's reports reach the tip
// label, the download gauge and message boxes, and a packed patch takes the
// patch area and goes to the device without a question. The check runs on
// a worker: the window answers while a slow server sends, and closing
// during the check asks, then stops it.
#include <QCryptographicHash>
#include <QDir>
#include <QtTest>
#include <chrono>
#include <climits>

#include "common/file_helpers.h"
#include "common/ui_thread.h"
#include "firmware_fixture.h"
#include "patchformat.h"
#include "test_http_server.h"
#include "updateservice/curl_http_client.h"

namespace {

const std::string kServer = std::string("http://") + FormFixture::kUpdateServer + "/IPC/47RKT/";

std::string md5Of(const std::string& bytes) {
  return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5)
      .toHex()
      .toStdString();
}

// The gauge and tip as the operator sees them in the middle of a download.
struct GaugeSample {
  bool shown = false;
  QString text, tip;
  int value = 0, maximum = 0;
};

struct OnlineFixture : FirmwareFixture {
  QString work;
  GaugeSample sample;

  OnlineFixture() {
    onlineFrom2010();
    work = dir.filePath("patches/autotmp");
    // The check's worker downloads: the page is read on the window's thread.
    http.onProgress = [this] {
      runOnUiThread([this] {
        TTextGauge* g = f->PatchDownloadProcess_Gauge;
        sample = {!g->isHidden(), g->progressText(), f->FirmwareWpdateTip_Label->text(), g->value(),
                  g->maximum()};
      });
    };
  }
};

// A window whose update server is a real one on loopback, reached with
// libcurl: the catalogue offers app.bin, which the server drips.
struct SlowServerFixture : FirmwareFixture {
  TestHttpServer server{"127.0.0.4"};
  CurlHttpClient curl;
  QString work;

  SlowServerFixture(std::chrono::milliseconds every, std::size_t bytes) {
    const std::string app(60000, 'a');
    server.put("/IPC/47RKT/versionlist_new.txt",
               "NewVer=2011&;FileCount=1&;File01Ver=2011;Name=app.bin;md5=" + md5Of(app) + "&;");
    server.put("/IPC/47RKT/app.bin.patch", app);
    server.drip("/IPC/47RKT/app.bin.patch", every, bytes);
    AppServices s = services();
    s.http = &curl;
    s.updateServer = QString::fromStdString(server.host());
    f = &create(s);
    onlineFrom2010();
    work = dir.filePath("patches/autotmp");
  }
  // The window goes before this client: it still talks to it on its way out.
  ~SlowServerFixture() {
    waitRunEnded();
    waitSearchesEnded();
    form.reset();
  }
  TTextGauge* gauge() { return f->PatchDownloadProcess_Gauge; }
};

}  // namespace

class OnlineUpdateTest : public QObject {
  Q_OBJECT
 private slots:
  void aPackedUpdateGoesToTheDeviceWithoutAQuestion() {
    OnlineFixture fx;
    TMainForm& f = *fx.f;
    const std::string app(100000, 'a');
    fx.http.answers[kServer + "versionlist_new.txt"] = {
        "NewVer=2011&;FileCount=1&;File01Ver=2011;Name=app.bin;md5=" + md5Of(app) + "&;"};
    fx.http.answers[kServer + "app.bin.patch"] = {app};
    std::string sentPath, sentMd5, patchMd5;
    std::vector<patchformat::EntryInfo> entries;
    fx.device.onSend = [&](const char* path, const char* md5, int32_t*) {
      sentPath = path;
      sentMd5 = md5;
      patchMd5 = FileMd5Hex(path);
      patchformat::readPatch(path, nullptr, &entries, nullptr);
      return 7;
    };

    f.CheckForUpdate_Btn->click();
    QVERIFY(fx.checkEnded());
    QVERIFY(fx.waitRunEnded());

    QVERIFY(fx.sample.shown);
    QCOMPARE(fx.sample.text, QString("50000 / 100000"));
    QCOMPARE(fx.sample.value * 2, fx.sample.maximum);
    QCOMPARE(fx.sample.tip, QString("Downloading..."));
    QVERIFY(f.PatchDownloadProcess_Gauge->isHidden());

    for (const ShownBox& box : fx.dialogs.boxes()) QVERIFY(box.kind != ShownBox::Question);
    QCOMPARE(fx.device.sends.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(sentPath), fx.work + "/47RKT2011.patch");
    QCOMPARE(sentMd5, patchMd5);
    QCOMPARE(entries.size(), std::size_t(2));
    QCOMPARE(entries[0].name, std::string("app.bin"));
    // The automatic run cleans up after itself.
    QCOMPARE(QDir(fx.work).entryList(QDir::Files), QStringList());
    QCOMPARE(f.Patch2Send_LV->count(), 0);
  }

  void aFailedCheckLeavesThePatchAreaAlone() {
    OnlineFixture fx;
    TMainForm& f = *fx.f;
    const QString chosen = fx.choosePatch();

    f.CheckForUpdate_BtnClick();  // no catalogue on the server
    QVERIFY(fx.checkEnded());
    QCOMPARE(fx.dialogs.texts().last(),
             QString("Connect to Updateserver failed : code : HTTP/1.1 404 Not Found (the server "
                     "has no firmware for 47RKT)"));
    QVERIFY(f.CheckForUpdate_Btn->isEnabled());

    // A file larger than the gauge's int range keeps its proportions.
    const std::uint64_t huge = std::uint64_t{6} << 30;
    fx.http.answers[kServer + "versionlist_new.txt"] = {
        "NewVer=2011&;FileCount=1&;File01Ver=2011;Name=big.bin;md5=0&;"};
    fx.http.answers[kServer + "big.bin.patch"] = {"", "HTTP/1.1 503 Service Unavailable", false,
                                                  huge};
    f.CheckForUpdate_BtnClick();
    QVERIFY(fx.checkEnded());
    QCOMPARE(fx.dialogs.texts().last(),
             QString("Connect to Updateserver failed : code : HTTP/1.1 503 Service Unavailable"));
    QVERIFY(fx.sample.maximum > 0 && fx.sample.maximum <= INT_MAX);
    QVERIFY(qAbs(fx.sample.value * 2 - fx.sample.maximum) <= 1);
    QCOMPARE(fx.sample.text, QString("3221225472 / 6442450944"));

    QVERIFY(fx.device.sends.empty());
    QCOMPARE(f.Patch2Send_LV->count(), 1);
    QCOMPARE(listitem::subItem(f.Patch2Send_LV->item(0)), chosen);
    QVERIFY(!f.updateRunActive());
  }

  void theWindowAnswersWhileTheServerIsSlow() {
    SlowServerFixture fx(std::chrono::milliseconds(50), 1500);  // 30 KB/s: two seconds
    TMainForm& f = *fx.f;
    const auto start = std::chrono::steady_clock::now();
    f.CheckForUpdate_Btn->click();
    QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::milliseconds(500));
    QVERIFY(f.UpdateCheckActive);
    QVERIFY(!f.CheckForUpdate_Btn->isEnabled());
    QVERIFY(!f.FirmwareUpdate_Btn->isEnabled());

    // The event loop runs on: the gauge shows and moves while the file drips.
    QVERIFY(waitUntil([&] { return !fx.gauge()->isHidden() && fx.gauge()->value() > 0; }));
    const int seen = fx.gauge()->value();
    QVERIFY(waitUntil([&] { return fx.gauge()->value() > seen; }));
    QVERIFY(f.UpdateCheckActive);

    QVERIFY(fx.checkEnded());
    QVERIFY(fx.waitRunEnded());
    QCOMPARE(fx.device.sends.size(), std::size_t(1));
  }

  void closingDuringTheCheckAsksThenStopsIt() {
    SlowServerFixture fx(std::chrono::milliseconds(50), 1);  // longer than the test
    TMainForm& f = *fx.f;
    f.CheckForUpdate_Btn->click();
    QVERIFY(waitUntil([&] { return !fx.gauge()->isHidden(); }));

    fx.dialogs.answers = {false};
    QVERIFY(!f.close());
    QVERIFY(f.UpdateCheckActive);
    QCOMPARE(fx.dialogs.boxes().back().title, QString("Warning"));
    QCOMPARE(fx.dialogs.boxes().back().text,
             QString("An online update check is running. Stop it and close the window?"));

    fx.dialogs.answers = {true};
    const auto start = std::chrono::steady_clock::now();
    QVERIFY(f.close());
    QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(3));
    QVERIFY(!f.UpdateCheckActive);
    // Stopped quietly: no failure box, nothing sent, no download kept.
    QCOMPARE(fx.dialogs.boxes().back().kind, ShownBox::Question);
    QVERIFY(fx.device.sends.empty());
    QCOMPARE(QDir(fx.work).entryList(QDir::Files), QStringList());
  }
};

QTEST_MAIN(OnlineUpdateTest)
#include "online_update_test.moc"
