// The firmware page's handlers: the device buttons (one click handler that
// tells them apart by sender), the patch area, the help memos, the pages of
// the update run and of the check after a reboot, and what closing the window
// during a run does.
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>

#include "app/mainform.h"
#include "common/notice_texts.h"
#include "common/ui_thread.h"
#include "devicelink/device_command.h"
#include "devicelink/device_link.h"
#include "firmware/firmware_texts.h"
#include "firmware/firmware_window.h"
#include "firmware/patch_choice.h"
#include "firmware/reboot_check_worker.h"
#include "firmware/update_run_worker.h"
#include "session/discovery.h"
#include "session/session_texts.h"
#include "settings/box_texts.h"
#include "signing/signing_window.h"
#include "widgets/skinned_controls.h"

namespace {

const QString kPatchFilter = QStringLiteral("PatchFile(*.patch)|*.patch");
constexpr int kPatchImage = 2;  // TovarinImages_ImageList: the document picture

// The help memos beside FirmwareUpdate_Btn and CheckForUpdate_Btn unfold
// while the pointer is over their button. Each animation blocks the
// window's thread for about 200 ms, as the design intends.
constexpr int kStepMs = 20;

QPlainTextEdit* memoFor(TMainForm& f, QWidget* sender) {
  if (sender == f.FirmwareUpdate_Btn) return f.ManuallyUpdateHelp_Memo;
  if (sender == f.CheckForUpdate_Btn) return f.AutoUpdateHelp_Memo;
  return nullptr;
}

// The room between the update button and the page's middle bevel; both
// memos unfold to it, although the automatic one starts further right.
int fullMemoWidth(const TMainForm& f) {
  const QRect button = f.FirmwareUpdate_Btn->geometry();
  return f.FUPageBevel1_Bevel->x() - (button.x() + button.width());
}

void resizeWidth(QPlainTextEdit* memo, int width) { memo->resize(width, memo->height()); }

// The backtrack request: the device returns to its previous firmware at its
// next reboot, which the operator starts. Blocks the window's thread until
// the device has answered.
void requestBacktrack(TMainForm& form) {
  if (!sendDeviceCommand(form.device(), form.state().session.DeviceAddress,
                         KESTRUM_REQ_BACKTRACK)) {
    form.dialogs().showMessage(kMessageBoxTitle,
                               form.msgText(MsgList::FWHints, fwmsg::kHintFailedConnection));
    return;
  }
  // The session's flags stay as login read them; the check after the next
  // reboot expects another version.
  form.state().rebootCheck.backtrackRequested = true;
  form.FirmwareUpdate_Btn->setEnabled(true);
  form.FirmwareBacktrack_Btn->setEnabled(false);
  form.dialogs().showMessage(kMessageBoxTitle,
                             form.msgText(MsgList::FWHints, fwmsg::kHintBacktrackAfterReboot));
}

// Pointer enter/leave on the two update buttons, and a click on the patch
// area (a press and release of the left button inside it).
class FirmwarePageEvents final : public QObject {
 public:
  explicit FirmwarePageEvents(TMainForm& form) : QObject(&form), form_(form) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == form_.FirmwareUpdate_Btn || widget == form_.CheckForUpdate_Btn) {
      if (event->type() == QEvent::Enter) form_.FU_BtnMouseEnter(widget);
      if (event->type() == QEvent::Leave) form_.FU_BtnMouseLeave(widget);
    } else if (widget == form_.Patch2Send_LV->viewport() &&
               event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint()))
        form_.Patch2Send_LVClick();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TMainForm& form_;
};

}  // namespace

void TMainForm::FirmwareUpdate_BtnClick(QWidget* sender) {
  if (sender == FirmwareUpdate_Btn) {
    // The operator may choose (or replace) the patch first; cancelling keeps
    // whatever the area already holds.
    Patch2Send_LVClick();
    if (Patch2Send_LV->count() != 1) return;
    if (dialogs().askYesNo(msgText(MsgList::Boxes, boxmsg::kAskingTitle),
                           msgText(MsgList::FWHints, fwmsg::kHintAskUpdate)))
      startFirmwareUpdateRun(*this, UpdateOrigin::Operator);
  } else if (sender == CheckForUpdate_Btn) {
    // The online update has just packed its patch: no question.
    if (Patch2Send_LV->count() == 1) startFirmwareUpdateRun(*this, UpdateOrigin::Automatic);
  } else if (sender == FirmwareBacktrack_Btn) {
    if (dialogs().askYesNo(msgText(MsgList::Boxes, boxmsg::kWarningTitle),
                           msgText(MsgList::FWHints, fwmsg::kHintAskBacktrack)))
      requestBacktrack(*this);
  } else if (sender == DeviceReboot_Btn) {
    if (dialogs().askYesNo(msgText(MsgList::Boxes, boxmsg::kAskingTitle),
                           msgText(MsgList::FWHints, fwmsg::kHintAskReboot)))
      RebootDevice();
  }
  // UpdateCancel_Btn is never shown: the operator cannot cancel a run.
}

// The patch area holds no patch or exactly one, chosen in a file dialog.
// Choosing does not open the file; only the device checks the patch.
void TMainForm::Patch2Send_LVClick() {
  const QString path = dialogs().openFile(kPatchFilter, QString());
  if (path.isEmpty()) return;  // cancelled: area, tip and buttons stay
  // With a trusted key, only a patch signed by one goes into the area.
  const std::optional<QString> signer = checkChosenPatch(*this, path);
  if (!signer) return;

  Patch2Send_LV->clear();
  listitem::add(Patch2Send_LV, QFileInfo(path).fileName(), path, kPatchImage,
                TovarinImages_ImageList);
  // Also when a pending update had left the button disabled; but during a run
  // the device buttons wait for the run's end step.
  if (!updateRunActive()) FirmwareUpdate_Btn->setEnabled(true);
  // A patch made for other hardware is said at once, not only by the
  // device's refusal after the whole upload.
  const QString hardware =
      Login_SBtn->text() == msgText(MsgList::LoginButton, sessionmsg::kLoginButtonChangeDevice)
          ? TargetHarward_Val->text()
          : QString();
  if (!hardware.isEmpty() && patchIsForOtherHardware(path.toStdString(), hardware.toStdString()))
    showFirmwareTipAs(*this, msgText(MsgList::FWTipLabel, fwmsg::kTipPatchNotMatch), true);
  else if (signer->isEmpty())
    showFirmwareTip(*this, msgText(MsgList::FWTipLabel, fwmsg::kTipReady));
  else
    showFirmwareTip(*this, msgText(MsgList::FWTipLabel, fwmsg::kTipReady) + " " + *signer);
  if (!signer->isEmpty()) Patch2Send_LV->item(0)->setToolTip(*signer);
}

void TMainForm::FU_BtnMouseEnter(QWidget* sender) {
  QPlainTextEdit* memo = memoFor(*this, sender);
  if (!memo) return;
  const std::vector<int> widths = helpMemoWidths(fullMemoWidth(*this), true);
  memo->show();
  memo->raise();  // over the neighbouring buttons and gauges
  for (std::size_t i = 0; i + 1 < widths.size(); ++i) {
    resizeWidth(memo, widths[i]);
    memo->repaint();
    services().sleeper->sleepMs(kStepMs);
  }
  resizeWidth(memo, widths.back());
  memo->repaint();
}

void TMainForm::FU_BtnMouseLeave(QWidget* sender) {
  QPlainTextEdit* memo = memoFor(*this, sender);
  if (!memo) return;
  for (int width : helpMemoWidths(fullMemoWidth(*this), false)) {
    resizeWidth(memo, width);
    memo->repaint();
    services().sleeper->sleepMs(kStepMs);
  }
  memo->hide();
}

void setDeviceButtonsEnabled(TMainForm& f, bool enabled) {
  for (QPushButton* button :
       {f.FirmwareUpdate_Btn, f.CheckForUpdate_Btn, f.DeviceReboot_Btn, f.FirmwareBacktrack_Btn})
    button->setEnabled(enabled);
}

void showFirmwareTip(TMainForm& f, const QString& text) {
  bool failure = false;
  for (int index : fwmsg::kFailureTips)
    failure = failure || text == f.msgText(MsgList::FWTipLabel, index);
  showFirmwareTipAs(f, text, failure);
}

void showFirmwareTipAs(TMainForm& f, const QString& text, bool failure) {
  QLabel* tip = f.FirmwareWpdateTip_Label;
  tip->setText(text);
  if (tip->property("tone").toString() == (failure ? "failure" : "")) return;
  tip->setProperty("tone", failure ? "failure" : "");
  // The sheet picks the colour by the property: make it look again.
  tip->style()->unpolish(tip);
  tip->style()->polish(tip);
}

void showTipForLoggedInDevice(TMainForm& f) {
  f.UpdateProgress_Gauge->hide();
  f.FirmwareWpdateTip_Label->show();
  const DeviceSessionRecord& session = f.state().session;
  if (session.UpdatePending != 0) {
    // The update buttons are off until the device has rebooted.
    showFirmwareTipAs(f, f.msgText(MsgList::FWTipLabel, fwmsg::kTipPendingReboot), false);
  } else if (f.Patch2Send_LV->count() == 0) {
    showFirmwareTip(f, f.msgText(MsgList::FWTipLabel, fwmsg::kTipChoosePatch));
  } else {
    const QString path = listitem::subItem(f.Patch2Send_LV->item(0));
    const bool other =
        patchIsForOtherHardware(path.toStdString(), f.TargetHarward_Val->text().toStdString());
    showFirmwareTipAs(
        f, f.msgText(MsgList::FWTipLabel, other ? fwmsg::kTipPatchNotMatch : fwmsg::kTipReady),
        other);
  }
}

void setDeviceButtonsFromSession(TMainForm& f) {
  const DeviceSessionRecord& session = f.state().session;
  const bool updatePending = session.UpdatePending != 0;
  f.FirmwareUpdate_Btn->setEnabled(!updatePending);
  f.CheckForUpdate_Btn->setEnabled(!updatePending);
  f.FirmwareBacktrack_Btn->setEnabled(updatePending && session.BacktrackAvailable != 0);
  f.DeviceReboot_Btn->setEnabled(true);
}

void TMainForm::showUpdateProgress(int value) {
  UpdateProgress_Gauge->setValue(value);
  if (value == KESTRUM_SEND_UNPACK_STAGE)
    UpdateProgress_Gauge->setProgressText(
        msgText(MsgList::UpdateProgressGauge, fwmsg::kGaugeUnpacking));
}

namespace {

void showFirmwareVersion(TMainForm& f, int version) {
  f.TargetVersion_Val->setText(QString::number(version));
  f.TargetVersion_Val->adjustSize();
}

// The firmware page as an update run sees it.
class WindowUpdatePage final : public UpdatePage, WindowPage {
 public:
  using WindowPage::WindowPage;

  void lockDeviceButtons() override {
    if (TMainForm* f = window()) setDeviceButtonsEnabled(*f, false);
  }
  QString patchInArea() override {
    TMainForm* f = window();
    if (!f || f->Patch2Send_LV->count() == 0) return {};
    return listitem::subItem(f->Patch2Send_LV->item(0));
  }
  void showUpdateGauge(const QString& text) override {
    TMainForm* f = window();
    if (!f) return;
    f->FirmwareWpdateTip_Label->hide();
    f->UpdateProgress_Gauge->setValue(0);
    f->UpdateProgress_Gauge->show();
    f->UpdateProgress_Gauge->setProgressText(text);
  }
  void setUpdateGaugeText(const QString& text) override {
    if (TMainForm* f = window()) f->UpdateProgress_Gauge->setProgressText(text);
  }
  void showUpdateFailure(const QString& tip) override {
    TMainForm* f = window();
    if (!f) return;
    f->UpdateProgress_Gauge->hide();
    showFirmwareTipAs(*f, tip, true);
    f->FirmwareWpdateTip_Label->show();
  }
  void showFirmwareVersion(int version) override {
    if (TMainForm* f = window()) ::showFirmwareVersion(*f, version);
  }
  QString endUpdateRun(UpdateOrigin origin) override {
    TMainForm* f = window();
    if (!f) return {};
    setDeviceButtonsFromSession(*f);
    return origin == UpdateOrigin::Automatic ? f->PatchSavePath_Edit->text() : QString();
  }
  void dropPackedPatch() override {
    TMainForm* f = window();
    if (!f) return;
    if (f->Patch2Send_LV->count() == 1) f->Patch2Send_LV->clear();
    // With the patch area empty the tip no longer says "Ready".
    if (f->Patch2Send_LV->count() == 0 &&
        f->FirmwareWpdateTip_Label->text() == f->msgText(MsgList::FWTipLabel, fwmsg::kTipReady))
      showFirmwareTip(*f, f->msgText(MsgList::FWTipLabel, fwmsg::kTipChoosePatch));
  }
  void postRunNotice(const QString& text) override {
    if (TMainForm* f = window()) postThreadNotice(*f, text);
  }
};

// The window as the check after a reboot sees it.
class WindowRebootCheckPage final : public RebootCheckPage, WindowPage {
 public:
  using WindowPage::WindowPage;

  bool startRebootSearch() override {
    // A check being stopped starts nothing more.
    TMainForm* f = window();
    if (!f || !f->RebootCheckThread || f->RebootCheckThread->Terminated() || deviceSearchRunning())
      return false;
    f->DevSearch_BtnClick();
    return true;
  }
  bool rebootSearchRunning() override { return window() && deviceSearchRunning(); }
  bool searchListed(const std::string& address) override {
    TMainForm* f = window();
    if (!f) return false;
    const QString wanted = QString::fromStdString(address);
    for (const DeviceSearchRecord* r = f->state().searchResult.load(); r; r = r->next)
      if (recordField(r->address, sizeof r->address) == wanted) return true;
    return false;
  }
  void showDeviceBack(std::int32_t version, std::int32_t updatePending,
                      std::int32_t backtrackAvailable) override {
    TMainForm* f = window();
    if (!f) return;
    DeviceSessionRecord& session = f->state().session;
    session.UpdatePending = updatePending;
    session.BacktrackAvailable = backtrackAvailable;
    f->state().rebootCheck = {version, false};
    showFirmwareVersion(*f, version);
    // A run started meanwhile keeps the buttons until its own end step.
    if (f->updateRunActive()) return;
    setDeviceButtonsFromSession(*f);
    if (backtrackAvailable != 0) f->FirmwareBacktrack_Btn->setVisible(updatePending != 0);
  }
  void showRebootCheckTip(const QString& tip, bool failure) override {
    TMainForm* f = window();
    if (!f || f->updateRunActive()) return;
    f->UpdateProgress_Gauge->hide();
    showFirmwareTipAs(*f, tip, failure);
    f->FirmwareWpdateTip_Label->show();
  }
};

}  // namespace

void startFirmwareUpdateRun(TMainForm& form, UpdateOrigin origin) {
  UpdateRunState& run = form.state().updateRun;
  if (run.active) return;  // one run at a time
  run.active = true;
  // Login refuses a device change while the run is active, so the run's
  // device stays the session's; kept apart all the same for its reboot.
  run.address = form.state().session.DeviceAddress;
  setDeviceButtonsEnabled(form, false);
  AppState& state = form.state();
  auto* worker = new TFWUpdateThread(
      std::make_unique<WindowUpdatePage>(form),
      {state.updateRun, state.session, state.messages, state.trustedKeys}, form.device(), origin);
  worker->setFreeOnTerminate(true);
  firmwareRunStarted(state.updateRun);
  worker->Start();
}

void startRebootCheck(TMainForm& form, const std::string& address) {
  stopRebootCheck(form);
  AppState& state = form.state();
  RebootCheckRequest request;
  request.address = address;
  request.user = state.session.UserName;
  request.password = state.session.Password;
  request.versionBefore = state.rebootCheck.versionAtLogin;
  request.changeAwaited = state.session.UpdatePending != 0 || state.rebootCheck.backtrackRequested;
  request.rebootAtMs = form.services().clock->nowMs();
  auto* worker =
      new TRebootCheckThread(std::make_unique<WindowRebootCheckPage>(form), state.messages,
                             form.device(), *form.services().clock, std::move(request));
  form.RebootCheckThread = worker;
  worker->Start();
}

void stopRebootCheck(TMainForm& form) { stopAndFree(form.RebootCheckThread); }

// --- Events and the close veto ------------------------------------------------

void connectFirmwareHandlers(TMainForm& f) {
  auto* events = new FirmwarePageEvents(f);
  f.FirmwareUpdate_Btn->installEventFilter(events);
  f.CheckForUpdate_Btn->installEventFilter(events);
  f.Patch2Send_LV->viewport()->installEventFilter(events);

  // CheckForUpdate_Btn's own click is the online update's; the packer calls
  // FirmwareUpdate_BtnClick with it as the sender.
  for (QPushButton* button :
       {f.FirmwareUpdate_Btn, f.UpdateCancel_Btn, f.FirmwareBacktrack_Btn, f.DeviceReboot_Btn}) {
    QObject::connect(button, &QPushButton::clicked, &f,
                     [&f, button] { f.FirmwareUpdate_BtnClick(button); });
  }
}

bool confirmCloseDuringUpdate(TMainForm& f) {
  // A second close while the first one waits: the first one closes.
  static bool waitingToClose = false;
  if (waitingToClose) return false;
  if (f.state().updateRun.active) {
    // Closing mid-run would cut the device off while it takes the patch.
    const QString text = QStringLiteral("\"%1\"\n\n%2")
                             .arg(f.FUwarningLabel_Label->text(),
                                  f.msgText(MsgList::Boxes, boxmsg::kCloseDuringUpdate));
    if (!f.dialogs().askYesNo(f.msgText(MsgList::Boxes, boxmsg::kWarningTitle), text)) return false;
  }
  // Until the run's end hook has released its connection; the run's window
  // changes are carried out meanwhile, and the window keeps painting (the
  // gauge moves on) without taking the operator's input.
  waitingToClose = true;
  waitOnUiThread([&f] { return firmwareRunsHoldingConnection(f.state().updateRun) == 0; },
                 [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
  waitingToClose = false;
  return true;
}
