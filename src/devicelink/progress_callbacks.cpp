#include "devicelink/progress_callbacks.h"

#include "app/ui_thread.h"
#include "app/window_pointer.h"
#include "firmware/firmware_page.h"
#include "kestrum.h"
#include "patchmaker/patchmaker_page.h"

void CurProgressCallback(int32_t value, uint16_t channel) {
  runOnUiThread([value, channel] {
    if (channel >= 1 && channel <= 4) {
      showTransferSpeed(MainForm, channel, value);
    } else if (channel == KESTRUM_CHANNEL_MAKE_PATCH) {
      showPatchMakerProgress(MainForm, value);
    } else if (channel == KESTRUM_CHANNEL_SEND_PATCH) {
      showUpdateProgress(MainForm, value);
    }
  });
}

void GetFile2PatchCallback(char* name, char* info, int32_t index) {
  runOnUiThread([=] {
    if (!name || !info) return;
    QString entryName, entryPath;
    if (!patchMakerEntry(MainForm, index, &entryName, &entryPath)) return;
    // Written whole or not at all: a cut path would name another file.
    writeFileToPatch({entryName.toStdString(), entryPath.toStdString()}, name,
                     KESTRUM_PATCH_NAME_SIZE, info, KESTRUM_PATCH_INFO_SIZE);
  });
}
