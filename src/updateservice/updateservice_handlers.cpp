// CheckForUpdate: the online update from the firmware page. The check runs
// on a worker of its own (the window keeps painting and answering while
// the server is slow); a packed patch goes into the patch area and the
// update run starts without a question.
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "app/mainform.h"
#include "common/file_helpers.h"
#include "common/ui_thread.h"
#include "common/worker_thread.h"
#include "firmware/firmware_texts.h"
#include "firmware/firmware_window.h"
#include "settings/box_texts.h"
#include "settings/message_lists.h"
#include "updateservice/browser_launch.h"
#include "updateservice/http_client.h"
#include "updateservice/update_check.h"
#include "updateservice/update_check_worker.h"
#include "updateservice/update_server_texts.h"
#include "updateservice/updateservice_window.h"
#include "updateservice/web_fetch.h"
#include "widgets/skinned_controls.h"

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

// The firmware page as the online update check sees it.
class WindowUpdateCheckPage final : public UpdateCheckPage, WindowPage {
 public:
  // Takes the device buttons from the window until the check's end.
  WindowUpdateCheckPage(TMainForm& f, std::string workFolder)
      : WindowPage(f), workFolder_(std::move(workFolder)) {
    for (QPushButton* button : deviceButtons(f)) enabledBefore_.push_back(button->isEnabled());
    setDeviceButtonsEnabled(f, false);
  }

  void showMessage(const std::string& text) override {
    TMainForm* f = window();
    if (f && !f->UpdateCheckStopping)
      f->dialogs().showMessage(kMessageBoxTitle, QString::fromStdString(text));
  }
  void setTip(const std::string& text) override {
    if (TMainForm* f = window()) showFirmwareTip(*f, QString::fromStdString(text));
  }
  void showGauge(std::uint64_t value, std::uint64_t maximum, const std::string& text) override {
    TMainForm* f = window();
    if (!f) return;
    // The bar counts in int: sizes beyond its range are scaled down alike.
    int shift = 0;
    while ((maximum >> shift) > static_cast<std::uint64_t>(INT_MAX)) ++shift;
    TTextGauge* gauge = f->PatchDownloadProcess_Gauge;
    gauge->setRange(0, static_cast<int>(maximum >> shift));
    gauge->setValue(static_cast<int>(std::min(value, maximum) >> shift));
    gauge->setProgressText(QString::fromStdString(text));
    gauge->show();
  }
  void hideGauge() override {
    if (TMainForm* f = window()) f->PatchDownloadProcess_Gauge->hide();
  }
  void endUpdateCheck(const UpdateCheckOutcome& outcome) override {
    TMainForm* window = this->window();
    if (!window) return;
    TMainForm& f = *window;
    f.UpdateCheckActive = false;
    f.PatchDownloadProcess_Gauge->hide();
    // A patch packed as the check was being stopped is not sent, nor one
    // that would meet a run already under way.
    const bool send = outcome.kind == UpdateCheckOutcome::Packed && !f.UpdateCheckStopping &&
                      !f.updateRunActive();
    if (!send) {
      if (outcome.kind == UpdateCheckOutcome::Packed) ClearDirectory(workFolder_);
      if (!f.updateRunActive()) {
        const std::vector<QPushButton*> buttons = deviceButtons(f);
        for (std::size_t i = 0; i < buttons.size(); ++i) buttons[i]->setEnabled(enabledBefore_[i]);
      }
      return;
    }
    // The packed patch takes the patch area's one place, as a chosen one does.
    const QString patch = QString::fromStdString(outcome.patchPath);
    f.Patch2Send_LV->clear();
    listitem::add(f.Patch2Send_LV, QFileInfo(patch).fileName(), patch, kPatchImage,
                  f.TovarinImages_ImageList);
    f.FirmwareUpdate_Btn->setEnabled(true);
    showFirmwareTip(f, f.msgText(MsgList::FWTipLabel, fwmsg::kTipReady));
    f.FirmwareUpdate_BtnClick(f.CheckForUpdate_Btn);
  }

 private:
  static std::vector<QPushButton*> deviceButtons(const TMainForm& f) {
    return {f.FirmwareUpdate_Btn, f.CheckForUpdate_Btn, f.DeviceReboot_Btn,
            f.FirmwareBacktrack_Btn};
  }

  std::string workFolder_;
  std::vector<bool> enabledBefore_;
};

// The firmware page's history memo and the message label as the web fetches
// see them. A fetch's result shows only while the window still wants it: a
// newer round replaces an older one.
class WindowWebFetchPage final : public WindowPage {
 public:
  using WindowPage::WindowPage;

  void showPatchHistory(int round, const HistoryFetch& fetched) {
    TMainForm* f = window();
    if (!f || !f->state().web.rounds.historyWanted(round)) return;
    if (!fetched.ok) {
      f->PatchMessage_Memo->appendPlainText(f->msgText(MsgList::FWHints, kHintServerFailed) +
                                            " : " + QString::fromStdString(fetched.statusLine));
      return;
    }
    QStringList lines;
    for (const std::string& line : fetched.lines) lines << QString::fromStdString(line);
    if (fetched.cut) lines << f->msgText(MsgList::UpdateServer, servermsg::kHistoryCut);
    f->PatchMessage_Memo->setPlainText(lines.join('\n'));
  }

  void showWebMessage(int round, const MessageFetch& fetched) {
    TMainForm* f = window();
    if (!f || !f->state().web.rounds.messageWanted(round)) return;
    QLabel* label = f->WebMessageURL_Label;
    switch (fetched.kind) {
      case MessageFetch::NoMessage:
        return;
      case MessageFetch::Failed:
        // The previous message, if there was one, comes back.
        label->setVisible(!label->text().isEmpty());
        return;
      case MessageFetch::Drawn: {
        // A text cut to its bound says so at its end.
        const QString cutMark = f->msgText(MsgList::UpdateServer, servermsg::kMessageCut);
        const WebMessage& m = fetched.message;
        label->setText(QString::fromStdString(m.caption) + (m.captionCut ? cutMark : QString()));
        label->setToolTip(QString::fromStdString(m.tooltip) + (m.tooltipCut ? cutMark : QString()));
        label->adjustSize();
        f->state().web.address = QString::fromStdString(m.address);
        label->show();
        return;
      }
    }
  }
};

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
  if (UpdateCheckActive) return;
  stopAndFree(UpdateCheckThread);  // the previous check's, ended
  UpdateCheckRequest request{services().updateServer.toStdString(),
                             TargetHarward_Val->text().toStdString(),
                             TargetVersion_Val->text().toStdString(),
                             updateWorkFolder(PatchSavePath_Edit->text().toStdString()),
                             {},
                             [sleeper = services().sleeper](int ms) { sleeper->sleepMs(ms); },
                             state().trustedKeys.keys};
  // No second check, run, reboot or backtrack while this one lasts (the
  // page takes the device buttons).
  UpdateCheckActive = true;
  const std::string workFolder = request.workFolder;
  UpdateCheckThread =
      new TUpdateCheckThread(httpOf(services()), state().messages, std::move(request),
                             std::make_unique<WindowUpdateCheckPage>(*this, workFolder));
  UpdateCheckThread->Start();
}

bool confirmCloseDuringCheck(TMainForm& f) {
  if (!f.UpdateCheckActive) return true;
  if (f.UpdateCheckStopping) return false;  // a second close while the first one waits
  if (!f.dialogs().askYesNo(f.msgText(MsgList::Boxes, boxmsg::kWarningTitle),
                            f.msgText(MsgList::UpdateServer, servermsg::kCloseDuringCheck)))
    return false;
  stopUpdateCheck(f);
  return true;
}

void stopUpdateCheck(TMainForm& f) {
  if (!f.UpdateCheckThread || f.UpdateCheckStopping) return;
  f.UpdateCheckStopping = true;
  TThread* check = f.UpdateCheckThread;
  check->Terminate();
  IHttpClient& http = httpOf(f.services());
  // Abandoning again while waiting also ends a request begun just before
  // the stop; the window paints on but takes no input meanwhile.
  waitOnUiThread([check] { return check->Finished(); },
                 [&http] {
                   http.abandonRequestsInFlight();
                   QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                 });
  stopAndFree(f.UpdateCheckThread);
  f.UpdateCheckActive = false;
  f.UpdateCheckStopping = false;
}

void endWebFetches(TMainForm& f) {
  IHttpClient& http = httpOf(f.services());
  waitOnUiThread(
      [&f] {
        return std::all_of(f.WebFetchThreads.begin(), f.WebFetchThreads.end(),
                           [](TThread* fetch) { return fetch->Finished(); });
      },
      [&http] { http.abandonRequestsInFlight(); });
}

void TMainForm::StartPatchHistoryFetch(const QString& hardwareName) {
  // A newer login's history replaces whatever an older fetch still brings.
  const int round = state().web.rounds.startHistory();
  const std::string name = hardwareName.toStdString();
  if (isUnknownHardware(name)) {
    PatchMessage_Memo->appendPlainText("Error Firmware Unknown!");
    return;
  }
  IHttpClient* http = &httpOf(services());
  const std::string host = services().updateServer.toStdString();
  auto page = std::make_shared<WindowWebFetchPage>(*this);
  runFetchThread(*this, [=] {
    const HistoryFetch fetched = fetchPatchHistory(*http, host, name);
    runOnUiThread([&] { page->showPatchHistory(round, fetched); });
  });
}

void TMainForm::StartWebMessageFetch() {
  const int round = state().web.rounds.startMessage();
  IHttpClient* http = &httpOf(services());
  IRandom* random = services().random;
  IClock* clock = services().clock;
  const std::string host = services().updateServer.toStdString();
  auto page = std::make_shared<WindowWebFetchPage>(*this);
  runFetchThread(*this, [=] {
    const MessageFetch fetched = fetchWebMessage(*http, host, *random, *clock);
    runOnUiThread([&] { page->showWebMessage(round, fetched); });
  });
}

void TMainForm::WebMessageTimer_TimerTimer() {
  WebMessageURL_Label->hide();
  StartWebMessageFetch();
}

void TMainForm::LookUpDefaultBrowser() {
  state().web.browserPath =
      services().browser ? services().browser->defaultBrowserPath() : QString();
}

void TMainForm::WebMessageURL_LabelClick() {
  openWebAddress(services().browser, state().web.browserPath, state().web.address);
}

void connectUpdateServiceHandlers(TMainForm& f) {
  QObject::connect(f.CheckForUpdate_Btn, &QPushButton::clicked, &f,
                   [&f] { f.CheckForUpdate_BtnClick(); });
  QObject::connect(f.WebMessageTimer_Timer, &QTimer::timeout, &f,
                   [&f] { f.WebMessageTimer_TimerTimer(); });
  f.WebMessageURL_Label->installEventFilter(
      new LabelClicks(f.WebMessageURL_Label, [&f] { f.WebMessageURL_LabelClick(); }));
}
