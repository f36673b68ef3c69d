// The firmware page's device buttons share one click handler, which tells
// them apart by the control that fired.
#include "app/mainform.h"
#include "devicelink/device_link.h"
#include "firmware/backtrack.h"
#include "firmware/firmware_texts.h"
#include "firmware/fw_update_thread.h"

namespace {
const QString kAskingTitle = QStringLiteral("Asking");
const QString kWarningTitle = QStringLiteral("Warning");
}  // namespace

void TMainForm::FirmwareUpdate_BtnClick(QWidget* sender) {
  if (sender == FirmwareUpdate_Btn) {
    // The operator may choose (or replace) the patch first; cancelling keeps
    // whatever the area already holds.
    Patch2Send_LVClick();
    if (Patch2Send_LV->count() != 1) return;
    if (dialogs().askYesNo(kAskingTitle, fwText(MsgList::FWHints, fwmsg::kHintAskUpdate)))
      startFirmwareUpdateRun(*this, UpdateOrigin::Operator);
  } else if (sender == CheckForUpdate_Btn) {
    // The online update has just packed its patch: no question.
    if (Patch2Send_LV->count() == 1) startFirmwareUpdateRun(*this, UpdateOrigin::Automatic);
  } else if (sender == FirmwareBacktrack_Btn) {
    if (dialogs().askYesNo(kWarningTitle, fwText(MsgList::FWHints, fwmsg::kHintAskBacktrack)))
      requestBacktrack(*this);
  } else if (sender == DeviceReboot_Btn) {
    if (dialogs().askYesNo(kAskingTitle, fwText(MsgList::FWHints, fwmsg::kHintAskReboot)))
      RebootDevice();
  }
  // UpdateCancel_Btn is never shown: the operator cannot cancel a run.
}
