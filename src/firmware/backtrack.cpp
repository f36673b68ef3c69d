#include "firmware/backtrack.h"

#include "app/mainform.h"
#include "devicelink/device_link.h"
#include "firmware/firmware_texts.h"
#include "session/device_session.h"

void requestBacktrack(TMainForm& form) {
  IDeviceLink& link = form.device();
  auto failed = [&form] {
    form.dialogs().showMessage(kMessageBoxTitle,
                               fwText(MsgList::FWHints, fwmsg::kHintFailedConnection));
  };

  int32_t connection = link.ConnectServer(deviceSession().DeviceAddress.c_str(), kDevicePort);
  if (connection <= 0) return failed();

  uint16_t transferId = 6;
  const int32_t result = link.SearchDir(nullptr, KESTRUM_REQ_BACKTRACK, &transferId, &connection);
  // The connection is ours whatever the device answered.
  link.ReleaseSocket(&connection);
  if (result != 0) return failed();

  // The device goes back at its next reboot, which the operator starts;
  // the session's flags stay as login read them.
  form.FirmwareUpdate_Btn->setEnabled(true);
  form.FirmwareBacktrack_Btn->setEnabled(false);
  form.dialogs().showMessage(kMessageBoxTitle,
                             fwText(MsgList::FWHints, fwmsg::kHintBacktrackAfterReboot));
}
