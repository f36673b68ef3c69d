// CheckForUpdate: the online update from the firmware page. The check runs
// on the window's thread (the window repaints as the gauge moves but takes
// no input); a packed patch goes into the patch area and the update run
// starts without a question.
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <climits>
#include <functional>
#include <vector>

#include "app/app_state.h"
#include "app/control_builders.h"
#include "app/controls.h"
#include "app/mainform.h"
#include "app/ui_thread.h"
#include "firmware/firmware_page.h"
#include "app/worker_thread.h"
#include "firmware/firmware_texts.h"
#include "settings/message_lists.h"
#include "updateservice/browser_launch.h"
#include "updateservice/http_client.h"
#include "updateservice/update_check.h"
#include "updateservice/web_fetch.h"

namespace {

constexpr int kPatchImage = 2;         // TovarinImages_ImageList: the document picture
constexpr int kHintServerFailed = 10;  // FWHints: "Connect to Updateserver failed"

// Answers every request with a failure that got no response.
class NoHttpClient final : public IHttpClient {
 public:
  HttpResult getToMemory(const std::string&, std::string*) override { return {}; }
  HttpResult getToFile(const std::string&, const std::string&, IHttpProgress* progress) override {
    if (progress) progress->transferEnded();
    return {};
  }
};

class FirmwarePageView final : public IUpdateCheckView {
 public:
  explicit FirmwarePageView(TMainForm& f) : f_(f) {}

  void showMessage(const std::string& text) override {
    f_.dialogs().showMessage(kMessageBoxTitle, QString::fromStdString(text));
  }
  void setTip(const std::string& text) override {
    showFirmwareTip(&f_, QString::fromStdString(text));
  }
  void showGauge(std::uint64_t value, std::uint64_t maximum, const std::string& text) override {
    // The bar counts in int: sizes beyond its range are scaled down alike.
    int shift = 0;
    while ((maximum >> shift) > static_cast<std::uint64_t>(INT_MAX)) ++shift;
    TTextGauge* gauge = f_.PatchDownloadProcess_Gauge;
    gauge->setRange(0, static_cast<int>(maximum >> shift));
    gauge->setValue(static_cast<int>(std::min(value, maximum) >> shift));
    gauge->setProgressText(QString::fromStdString(text));
    gauge->show();
    f_.repaint();
  }
  void hideGauge() override { f_.PatchDownloadProcess_Gauge->hide(); }

 private:
  TMainForm& f_;
};

// The web fetches' page functions: each runs on the window's thread.

void showPatchHistory(TMainForm& f, const HistoryFetch& fetched) {
  if (!fetched.ok) {
    f.PatchMessage_Memo->appendPlainText(f.msgText(MsgList::FWHints, kHintServerFailed) + " : " +
                                         QString::fromStdString(fetched.statusLine));
    return;
  }
  QStringList lines;
  for (const std::string& line : fetched.lines) lines << QString::fromStdString(line);
  f.PatchMessage_Memo->setPlainText(lines.join('\n'));
}

void showWebMessage(TMainForm& f, const MessageFetch& fetched) {
  QLabel* label = f.WebMessageURL_Label;
  switch (fetched.kind) {
    case MessageFetch::NoMessage:
      return;
    case MessageFetch::Failed:
      // The previous message, if there was one, comes back.
      label->setVisible(!label->text().isEmpty());
      return;
    case MessageFetch::Drawn:
      label->setText(QString::fromStdString(fetched.message.caption));
      label->setToolTip(QString::fromStdString(fetched.message.tooltip));
      label->adjustSize();
      f.WebMessageAddress = QString::fromStdString(fetched.message.address);
      label->show();
      return;
  }
}

// One fetch on a worker of the window's own, so that the window waits for it
// before it goes (see ~TMainForm); the fetch is bounded by the HTTP client's
// deadlines, so asking it to stop is not needed.
class WebFetchThread final : public TThread {
 public:
  explicit WebFetchThread(std::function<void()> job) : job_(std::move(job)) {}

 protected:
  void Execute() override {
    job_();
    job_ = nullptr;  // nothing of the fetch is left once it counts as ended
  }
  void DoTerminate() override {
    runOnUiThread([] { webFetchEnded(); });
  }

 private:
  std::function<void()> job_;
};

// Starts work on a fetch worker the window holds; fetches that have ended
// are freed first, so the list stays as short as the fetches in flight.
void runFetchThread(TMainForm& f, std::function<void()> work) {
  std::vector<TThread*>& fetches = f.WebFetchThreads;
  for (TThread*& fetch : fetches)
    if (fetch->Finished()) stopAndFree(fetch);
  std::erase(fetches, nullptr);
  webFetchStarted();
  fetches.push_back(new WebFetchThread(std::move(work)));
  fetches.back()->Start();
}

// A fetch's window change: carried out on the window's thread, and only while
// the window is there and still wants the fetch's result.
void onWindow(const QPointer<TMainForm>& form, const std::function<bool(TMainForm&)>& wanted,
              const std::function<void(TMainForm&)>& change) {
  runOnUiThread([&] {
    if (form && wanted(*form)) change(*form);
  });
}

IHttpClient& httpOf(const AppServices& services) {
  static NoHttpClient none;
  return services.http ? *services.http : none;
}

// Clicks on the message label (a label has no click signal of its own).
class LabelClicks final : public QObject {
 public:
  LabelClicks(QObject* parent, std::function<void()> onClick)
      : QObject(parent), onClick_(std::move(onClick)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
      onClick_();
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> onClick_;
};

}  // namespace

void TMainForm::CheckForUpdate_BtnClick() {
  const UpdateCheckRequest request{services().updateServer.toStdString(),
                                   TargetHarward_Val->text().toStdString(),
                                   TargetVersion_Val->text().toStdString(),
                                   updateWorkFolder(PatchSavePath_Edit->text().toStdString())};
  NoHttpClient none;
  IHttpClient& http = services().http ? *services().http : none;
  FirmwarePageView view(*this);
  const UpdateCheckOutcome outcome = runUpdateCheck(http, state().messages, request, view);
  if (outcome.kind != UpdateCheckOutcome::Packed) return;

  // The packed patch takes the patch area's one place, as a chosen one does.
  const QString patch = QString::fromStdString(outcome.patchPath);
  Patch2Send_LV->clear();
  listitem::add(Patch2Send_LV, QFileInfo(patch).fileName(), patch, kPatchImage,
                TovarinImages_ImageList);
  FirmwareUpdate_Btn->setEnabled(true);
  showFirmwareTip(this, msgText(MsgList::FWTipLabel, fwmsg::kTipReady));
  FirmwareUpdate_BtnClick(CheckForUpdate_Btn);
}

void TMainForm::StartPatchHistoryFetch(const QString& hardwareName) {
  // A newer login's history replaces whatever an older fetch still brings.
  const int round = WebFetches.startHistory();
  const std::string name = hardwareName.toStdString();
  if (isUnknownHardware(name)) {
    PatchMessage_Memo->appendPlainText("Error Firmware Unknown!");
    return;
  }
  IHttpClient* http = &httpOf(services());
  const std::string host = services().updateServer.toStdString();
  const QPointer<TMainForm> form(this);
  runFetchThread(*this, [=] {
    const HistoryFetch fetched = fetchPatchHistory(*http, host, name);
    onWindow(
        form, [round](TMainForm& f) { return f.WebFetches.historyWanted(round); },
        [&](TMainForm& f) { showPatchHistory(f, fetched); });
  });
}

void TMainForm::StartWebMessageFetch() {
  const int round = WebFetches.startMessage();
  IHttpClient* http = &httpOf(services());
  IRandom* random = services().random;
  IClock* clock = services().clock;
  const std::string host = services().updateServer.toStdString();
  const QPointer<TMainForm> form(this);
  runFetchThread(*this, [=] {
    const MessageFetch fetched = fetchWebMessage(*http, host, *random, *clock);
    onWindow(
        form, [round](TMainForm& f) { return f.WebFetches.messageWanted(round); },
        [&](TMainForm& f) { showWebMessage(f, fetched); });
  });
}

void TMainForm::WebMessageTimer_TimerTimer() {
  WebMessageURL_Label->hide();
  StartWebMessageFetch();
}

void TMainForm::LookUpDefaultBrowser() {
  BrowserPath = services().browser ? services().browser->defaultBrowserPath() : QString();
}

void TMainForm::WebMessageURL_LabelClick() {
  openWebAddress(services().browser, BrowserPath, WebMessageAddress);
}

void connectUpdateServiceHandlers(TMainForm& f) {
  QObject::connect(f.CheckForUpdate_Btn, &QPushButton::clicked, &f,
                   [&f] { f.CheckForUpdate_BtnClick(); });
  QObject::connect(f.WebMessageTimer_Timer, &QTimer::timeout, &f,
                   [&f] { f.WebMessageTimer_TimerTimer(); });
  f.WebMessageURL_Label->installEventFilter(
      new LabelClicks(f.WebMessageURL_Label, [&f] { f.WebMessageURL_LabelClick(); }));
}
