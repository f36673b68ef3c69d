#include "devicelink/progress_callbacks.h"

#include "app/mainform.h"
#include "app/ui_thread.h"
#include "kestrum.h"
#include "patchmaker/patchmaker_page.h"
#include "settings/message_lists.h"

void CurProgressCallback(int32_t value, uint16_t channel) {
  runOnUiThread([value, channel] {
    TMainForm* form = MainForm;
    if (!form) return;
    if (channel >= 1 && channel <= 4) {
      form->SpeedLabels[channel - 1]->setText(QString::number(value));
    } else if (channel == KESTRUM_CHANNEL_MAKE_PATCH) {
      showPatchMakerProgress(*form, value);
    } else if (channel == KESTRUM_CHANNEL_SEND_PATCH) {
      form->UpdateProgress_Gauge->setValue(value);
      if (value == KESTRUM_SEND_UNPACK_STAGE)
        form->UpdateProgress_Gauge->setProgressText(
            QString::fromStdString(messageLists().textOf(MsgList::UpdateProgressGauge, 1)));
    }
  });
}

void GetFile2PatchCallback(char* name, char* info, int32_t index) {
  runOnUiThread([=] {
    if (MainForm && name && info) answerFileToPatch(*MainForm, name, info, index);
  });
}
