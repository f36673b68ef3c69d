#include "firmware/update_run_worker.h"

#include <filesystem>
#include <stdexcept>
#include <string>

#include "common/file_helpers.h"
#include "common/notice_texts.h"
#include "common/platform_locale.h"
#include "common/ui_thread.h"
#include "devicelink/device_link.h"
#include "devicelink/device_results.h"
#include "firmware/firmware_state.h"
#include "firmware/firmware_texts.h"
#include "session/device_session.h"
#include "settings/message_lists.h"
#include "signing/signed_file.h"
#include "signing/trusted_keys.h"
#include "updateservice/update_check.h"

void firmwareRunStarted(UpdateRunState& run) { ++run.holdingConnection; }

int firmwareRunsHoldingConnection(const UpdateRunState& run) {
  return run.holdingConnection.load();
}

TFWUpdateThread::TFWUpdateThread(std::unique_ptr<UpdatePage> page, UpdateRunContext state,
                                 IDeviceLink& link, UpdateOrigin origin)
    : origin_(origin), page_(std::move(page)), state_(state), device_(link) {}

void TFWUpdateThread::onPage(const std::function<void(UpdatePage&)>& change) {
  runOnUiThread([&] { change(*page_); });
}

void TFWUpdateThread::Execute() {
  applyDeviceThreadLocale();
  sendPatch();
  endStep();
}

void TFWUpdateThread::ShowFailure(const std::string&) {
  if (!endStepTaken_) {
    showFailure(fwmsg::kTipUpdateFailed);
    endStep();
    return;
  }
  // The end step itself broke off: the run is over all the same.
  onPage([this](UpdatePage&) { state_.run.active = false; });
}

void TFWUpdateThread::sendPatch() {
  // 2. No second run, online update, reboot or backtrack meanwhile.
  onPage([](UpdatePage& p) { p.lockDeviceButtons(); });

  // 3. The patch and its MD5. A patch that cannot be read fails the run
  // before anything is sent.
  QString patchPath;
  std::string address;
  onPage([&](UpdatePage& p) {
    patchPath = p.patchInArea();
    address = state_.run.address;
  });
  std::string path = patchPath.toStdString();
  // With a trusted key, a patch the operator chose goes out only as the
  // bytes whose signature was checked: a file changed since is refused.
  std::unique_ptr<PrivateCopy> checkedCopy;
  if (origin_ == UpdateOrigin::Operator && state_.trustedKeys.any() && !path.empty()) {
    SignedFile patch;
    std::string error;
    checkedCopy = PrivateCopy::checked(state_.trustedKeys.keys, path, &patch, &error);
    if (!checkedCopy && error.empty()) {
      const std::string name = std::filesystem::path(path).filename().string();
      showFailure(fwmsg::kTipUpdateFailed,
                  QString::fromStdString(signatureRefusal(state_.messages, name, patch.verdict)));
      return;
    }
    if (!checkedCopy) {
      showFailure(fwmsg::kTipUpdateFailed, text(MsgList::FWTipLabel, fwmsg::kWhyUnreadableFile));
      return;
    }
    path = checkedCopy->path();
  }
  std::string md5;
  std::error_code sizeError;
  try {
    if (path.empty()) throw std::runtime_error("no patch in the patch area");
    md5 = FileMd5Hex(path);
  } catch (const std::exception&) {
    showFailure(fwmsg::kTipUpdateFailed, text(MsgList::FWTipLabel, fwmsg::kWhyUnreadableFile));
    return;
  }
  // Nothing the device could take; said before a connection is opened.
  if (std::filesystem::file_size(path, sizeError) == 0 && !sizeError) {
    showFailure(fwmsg::kTipUpdateFailed, text(MsgList::FWTipLabel, fwmsg::kWhyEmptyFile));
    return;
  }

  // 4. A connection of the run's own.
  if (connection_ <= 0) {
    connection_ = device_.ConnectServer(address.c_str(), kDevicePort);
    if (connection_ <= 0) {
      showFailure(fwmsg::kTipConnectFailed);
      return;
    }
  }

  // 5. The gauge takes over from the tip.
  onPage([this](UpdatePage& p) {
    p.showUpdateGauge(text(MsgList::UpdateProgressGauge, fwmsg::kGaugeUploading));
  });

  // 6. Blocks until the device has finished with the patch; the progress
  // callback moves the gauge meanwhile.
  const int32_t result = device_.SendUpdatePatch(path.c_str(), md5.c_str(), &connection_);

  // 7.
  actOnResult(result);
}

QString TFWUpdateThread::text(MsgList list, int index) const {
  return msgText(state_.messages, list, index);
}

void TFWUpdateThread::showFailure(int tipIndex, const QString& reason) {
  QString tip = text(MsgList::FWTipLabel, tipIndex);
  if (!reason.isEmpty()) tip = fwmsg::withReason(tip, reason);
  onPage([&tip](UpdatePage& p) { p.showUpdateFailure(tip); });
}

void TFWUpdateThread::actOnResult(int32_t result) {
  const SendOutcome outcome = decodeSendResult(result);
  if (outcome == SendOutcome::HardwareMismatch) {
    showFailure(fwmsg::kTipPatchNotMatch);
  } else if (outcome == SendOutcome::Busy) {
    showFailure(fwmsg::kTipDeviceBusy);
  } else if (outcome == SendOutcome::Failed) {
    showFailure(fwmsg::kTipUpdateFailed, fwmsg::reasonText(state_.messages, result));
  } else if (outcome == SendOutcome::Delivered || outcome == SendOutcome::Installed) {
    const bool installed = outcome == SendOutcome::Installed;
    onPage([this, result, installed](UpdatePage& p) {
      state_.session.UpdatePending = -1;
      p.setUpdateGaugeText(text(MsgList::UpdateProgressGauge,
                                installed ? fwmsg::kGaugeFinished : fwmsg::kGaugeSendFinished));
      if (installed) p.showFirmwareVersion(result);
    });
    // The window reboots the device on this notice; the run goes on only
    // when the reboot's message has been closed.
    onPage([](UpdatePage& p) { p.postRunNotice(notice::kUpdateWillFinish); });
  }
  // Unknown: the gauge stays as it is.
}

void TFWUpdateThread::endStep() {
  endStepTaken_ = true;
  QString patchFolder;
  onPage([this, &patchFolder](UpdatePage& p) { patchFolder = p.endUpdateRun(origin_); });
  if (origin_ == UpdateOrigin::Automatic) {
    // The packed patch lived in the work folder: both go. An empty patch
    // folder has no work folder (it would hang off the file system root).
    const std::string workFolder = updateWorkFolder(patchFolder.toStdString());
    if (!workFolder.empty()) ClearDirectory(workFolder);
    onPage([](UpdatePage& p) { p.dropPackedPatch(); });
  }
  onPage([this](UpdatePage&) { state_.run.active = false; });
}

void TFWUpdateThread::DoTerminate() {
  device_.ReleaseSocket(&connection_);
  --state_.run.holdingConnection;
  wakeUiWaiters();
}
