#include "firmware/fw_update_thread.h"

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "app/file_helpers.h"
#include "app/mainform.h"
#include "app/platform_locale.h"
#include "app/ui_thread.h"
#include "devicelink/device_link.h"
#include "firmware/firmware_texts.h"
#include "session/device_session.h"

namespace {

// Counted up when a run starts and down once its end hook has released the
// connection; closing the window waits for it to reach zero.
std::atomic<int> g_runsHoldingConnection{0};

const QString kUpdateNotice = QStringLiteral("Update will finish after reboot");

// The online update's work folder: the patch folder followed by "autotmp".
std::string workFolderOf(const QString& patchFolder) {
  constexpr char sep = std::filesystem::path::preferred_separator;
  return patchFolder.toStdString() + sep + "autotmp" + sep;
}

}  // namespace

void setDeviceButtonsEnabled(TMainForm& f, bool enabled) {
  for (QPushButton* button :
       {f.FirmwareUpdate_Btn, f.CheckForUpdate_Btn, f.DeviceReboot_Btn, f.FirmwareBacktrack_Btn})
    button->setEnabled(enabled);
}

int firmwareRunsHoldingConnection() { return g_runsHoldingConnection.load(); }

void startFirmwareUpdateRun(TMainForm& form, UpdateOrigin origin) {
  if (form.updateRunActive()) return;  // one run at a time
  form.setUpdateRunActive(true);
  // Login refuses a device change while the run is active, so the run's
  // device stays the session's; kept apart all the same for its reboot.
  form.setUpdateRunAddress(deviceSession().DeviceAddress);
  setDeviceButtonsEnabled(form, false);
  auto* run = new TFWUpdateThread(form, origin);
  run->setFreeOnTerminate(true);
  ++g_runsHoldingConnection;
  run->Start();
}

TFWUpdateThread::TFWUpdateThread(TMainForm& form, UpdateOrigin origin)
    : origin_(origin), form_(&form), device_(form.device()) {}

void TFWUpdateThread::onWindow(const std::function<void(TMainForm&)>& change) {
  runOnUiThread([&] {
    if (form_) change(*form_);
  });
}

void TFWUpdateThread::Execute() {
  applyDeviceThreadLocale();
  try {
    sendPatch();
  } catch (...) {
    // Whatever broke the run, the operator sees a failed update, not silence.
    showFailure(fwmsg::kTipUpdateFailed);
  }
  endStep();
}

void TFWUpdateThread::sendPatch() {
  // 2. No second run, online update, reboot or backtrack meanwhile.
  onWindow([](TMainForm& f) { setDeviceButtonsEnabled(f, false); });

  // 3. The patch and its MD5. A patch that cannot be read fails the run
  // before anything is sent.
  QString patchPath;
  std::string address;
  onWindow([&](TMainForm& f) {
    if (f.Patch2Send_LV->count() > 0) patchPath = listitem::subItem(f.Patch2Send_LV->item(0));
    address = f.updateRunAddress();
  });
  const std::string path = patchPath.toStdString();
  std::string md5;
  try {
    if (path.empty()) throw std::runtime_error("no patch in the patch area");
    md5 = FileMd5Hex(path);
  } catch (const std::exception&) {
    showFailure(fwmsg::kTipUpdateFailed);
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
  onWindow([](TMainForm& f) {
    f.FirmwareWpdateTip_Label->hide();
    f.UpdateProgress_Gauge->setValue(0);
    f.UpdateProgress_Gauge->show();
    f.UpdateProgress_Gauge->setProgressText(
        fwText(MsgList::UpdateProgressGauge, fwmsg::kGaugeUploading));
  });

  // 6. Blocks until the device has finished with the patch; the progress
  // callback moves the gauge meanwhile.
  const int32_t result = device_.SendUpdatePatch(path.c_str(), md5.c_str(), &connection_);

  // 7.
  actOnResult(result);
}

void TFWUpdateThread::showFailure(int tipIndex) {
  onWindow([tipIndex](TMainForm& f) {
    f.UpdateProgress_Gauge->hide();
    f.FirmwareWpdateTip_Label->setText(fwText(MsgList::FWTipLabel, tipIndex));
    f.FirmwareWpdateTip_Label->show();
  });
}

void TFWUpdateThread::actOnResult(int32_t result) {
  if (result == KESTRUM_SEND_HARDWARE_MISMATCH) {
    showFailure(fwmsg::kTipPatchNotMatch);
  } else if (result == KESTRUM_SEND_BUSY) {
    showFailure(fwmsg::kTipDeviceBusy);
  } else if (result < 0) {
    showFailure(fwmsg::kTipUpdateFailed);
  } else if (result == KESTRUM_SEND_DELIVERED) {
    onWindow([](TMainForm& f) {
      deviceSession().UpdatePending = -1;
      f.UpdateProgress_Gauge->setProgressText(
          fwText(MsgList::UpdateProgressGauge, fwmsg::kGaugeSendFinished));
    });
    postRebootNotice();
  } else if (result > KESTRUM_SEND_DELIVERED) {
    onWindow([result](TMainForm& f) {
      deviceSession().UpdatePending = -1;
      f.UpdateProgress_Gauge->setProgressText(
          fwText(MsgList::UpdateProgressGauge, fwmsg::kGaugeFinished));
      f.TargetVersion_Val->setText(QString::number(result));
      f.TargetVersion_Val->adjustSize();
    });
    postRebootNotice();
  }
  // 0 to 6: no outcome the program knows; the gauge stays as it is.
}

void TFWUpdateThread::postRebootNotice() {
  // The window reboots the device inside this write; the run goes on only
  // when the reboot's message has been closed.
  onWindow([](TMainForm& f) { f.ThreadMessager_Edit->setText(kUpdateNotice); });
}

void TFWUpdateThread::endStep() {
  QString patchFolder;
  onWindow([this, &patchFolder](TMainForm& f) {
    const DeviceSessionRecord& session = deviceSession();
    const bool noUpdatePending = session.UpdatePending == 0;
    f.FirmwareUpdate_Btn->setEnabled(noUpdatePending);
    f.CheckForUpdate_Btn->setEnabled(noUpdatePending);
    f.FirmwareBacktrack_Btn->setEnabled(!noUpdatePending && session.BacktrackAvailable != 0);
    f.DeviceReboot_Btn->setEnabled(true);
    if (origin_ == UpdateOrigin::Automatic) patchFolder = f.PatchSavePath_Edit->text();
  });
  if (origin_ == UpdateOrigin::Automatic) {
    // The packed patch lived in the work folder: both go. An empty patch
    // folder would make the work folder a child of the file system root,
    // which is nothing of ours to empty.
    if (!patchFolder.isEmpty()) ClearDirectory(workFolderOf(patchFolder));
    onWindow([](TMainForm& f) {
      if (f.Patch2Send_LV->count() == 1) f.Patch2Send_LV->clear();
    });
  }
  onWindow([](TMainForm& f) { f.setUpdateRunActive(false); });
}

void TFWUpdateThread::DoTerminate() {
  device_.ReleaseSocket(&connection_);
  --g_runsHoldingConnection;
  wakeUiWaiters();
}
