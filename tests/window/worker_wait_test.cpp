// Workers change the window only through blocking calls to the window's
// thread; the window's thread must keep serving them while it waits for a
// worker, or both would wait for ever.
#include <unistd.h>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <stdexcept>

#include "common/ui_thread.h"
#include "common/worker_thread.h"
#include "form_fixture.h"
#include "settings/message_lists.h"

namespace {

// A worker that changes a control, optionally shows a box, and then blocks
// until it is told to stop.
class BlockingWorker : public TThread {
 public:
  BlockingWorker(TMainForm& form, bool showBox, std::atomic<int>& ended)
      : form_(form), showBox_(showBox), ended_(ended) {}

 protected:
  void Execute() override {
    runOnUiThread([this] { form_.SpeedLabels[0]->setText("busy"); });
    while (!Terminated()) {
      // Keep asking the window's thread for changes while running.
      runOnUiThread([this] { form_.SpeedLabels[1]->setText(QString::number(++rounds_)); });
      if (showBox_) runOnUiThread([this] { form_.dialogs().showMessage("t", "from worker"); });
    }
  }
  void DoTerminate() override {
    runOnUiThread([this] { form_.SpeedLabels[0]->setText("ended"); });
    ++ended_;
  }

 private:
  TMainForm& form_;
  bool showBox_;
  std::atomic<int>& ended_;
  int rounds_ = 0;
};

}  // namespace

class WorkerWaitTest : public QObject {
  Q_OBJECT
 private slots:
  void stopAllThreadsServesWorkersInTheMiddleOfWindowCalls() {
    FormFixture fx;
    TMainForm& f = fx.create();
    std::atomic<int> ended{0};
    f.ListingThread = new BlockingWorker(f, false, ended);
    f.ListingThread->Start();
    for (int i = 0; i < 9; ++i) {
      f.DownloadMissions[i] = new BlockingWorker(f, i % 2 == 0, ended);
      f.DownloadMissions[i]->Start();
    }
    QVERIFY(waitUntil([&] { return f.SpeedLabels[0]->text() == "busy"; }));
    f.StopAllThreads();  // must return: it serves the workers' calls meanwhile
    QCOMPARE(ended.load(), 10);
    QVERIFY(f.ListingThread == nullptr);
    for (TThread* slot : f.DownloadMissions) QVERIFY(slot == nullptr);
    QCOMPARE(f.SpeedLabels[0]->text(), QString("ended"));
    QVERIFY(fx.dialogs.texts().contains("from worker"));
  }

  void closingTheWindowStopsItsWorkers() {
    FormFixture fx;
    TMainForm& f = fx.create();
    std::atomic<int> ended{0};
    f.ListingThread = new BlockingWorker(f, false, ended);
    f.ListingThread->Start();
    f.DownloadMissions[4] = new BlockingWorker(f, false, ended);
    f.DownloadMissions[4]->Start();
    QVERIFY(waitUntil([&] { return f.SpeedLabels[0]->text() == "busy"; }));
    QVERIFY(f.close());
    QCOMPARE(ended.load(), 2);
    QVERIFY(f.ListingThread == nullptr);
    QVERIFY(f.DownloadMissions[4] == nullptr);
  }

  void aWorkerWaitingOnAMessageBoxIsServedToo() {
    FormFixture fx;
    TMainForm& f = fx.create();
    std::atomic<int> ended{0};
    // Each box stays open for a while, running its own event loop as a
    // modal box does, while the window is waiting for the worker.
    fx.dialogs.onMessage = [](const QString&) {
      QEventLoop loop;
      QTimer::singleShot(30, &loop, &QEventLoop::quit);
      loop.exec();
    };
    f.DownloadMissions[0] = new BlockingWorker(f, true, ended);
    f.DownloadMissions[0]->Start();
    QVERIFY(waitUntil([&] { return !fx.dialogs.texts().isEmpty(); }));
    f.StopAllThreads();
    QCOMPARE(ended.load(), 1);
  }

  void aThreadAlreadyAskedToStopKeepsItsSlot() {
    FormFixture fx;
    TMainForm& f = fx.create();
    std::atomic<int> ended{0};
    auto* worker = new BlockingWorker(f, false, ended);
    f.DownloadMissions[3] = worker;
    worker->Start();
    worker->Terminate();
    worker->WaitFor();
    f.StopAllThreads();
    QCOMPARE(f.DownloadMissions[3], static_cast<TThread*>(worker));
    delete worker;
    f.DownloadMissions[3] = nullptr;
  }

  void aFinishedMissionIsDestroyedAndItsSlotEmptied() {
    FormFixture fx;
    TMainForm& f = fx.create();
    std::atomic<int> ended{0};
    struct Quick : TThread {
      std::atomic<int>& e;
      explicit Quick(std::atomic<int>& x) : e(x) {}
      void Execute() override {}
      void DoTerminate() override { ++e; }
    };
    f.DownloadMissions[0] = new Quick(ended);
    f.DownloadMissions[0]->Start();
    QVERIFY(waitUntil([&] { return f.DownloadMissions[0]->Finished(); }));
    f.StopAllThreads();
    QVERIFY(f.DownloadMissions[0] == nullptr);
    QCOMPARE(ended.load(), 1);
  }

  void aWorkerThatThrowsTellsItsPageAndStandardErrorAndStillEnds() {
    FormFixture fx;
    fx.create();
    struct Throwing : TThread {
      std::string shown;
      bool ended = false;
      void Execute() override { throw std::runtime_error("disk gone"); }
      void ShowFailure(const std::string& what) override { shown = what; }
      void DoTerminate() override { ended = true; }
    };
    QTemporaryFile err;
    QVERIFY(err.open());
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(err.handle(), 2);
    Throwing worker;
    worker.Start();
    worker.WaitFor();
    std::fflush(stderr);
    dup2(saved, 2);
    ::close(saved);
    QCOMPARE(worker.shown, std::string("disk gone"));
    QVERIFY(worker.ended);
    QFile written(err.fileName());
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(QString(written.readAll()).contains("disk gone"));
  }

  void freeOnTerminateThreadsDeleteThemselves() {
    FormFixture fx;
    fx.create();
    static std::atomic<int> destroyed{0};
    struct SelfFreeing : TThread {
      SelfFreeing() { setFreeOnTerminate(true); }
      ~SelfFreeing() override { ++destroyed; }
      void Execute() override {
        runOnUiThread([] {});
      }
    };
    (new SelfFreeing)->Start();
    QVERIFY(waitUntil([] { return destroyed.load() == 1; }));
  }
};

QTEST_MAIN(WorkerWaitTest)
#include "worker_wait_test.moc"
