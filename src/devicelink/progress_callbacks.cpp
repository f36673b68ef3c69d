#include "devicelink/progress_callbacks.h"

#include "common/ui_thread.h"
#include "kestrum.h"

namespace {
// Read and written on the window's thread only.
ProgressPages* g_pages = nullptr;
}  // namespace

void setProgressPages(ProgressPages* pages) { g_pages = pages; }

void clearProgressPages(ProgressPages* pages) {
  if (g_pages == pages) g_pages = nullptr;
}

void CurProgressCallback(int32_t value, uint16_t channel) {
  runOnUiThread([value, channel] {
    // A run may outlive the window: its progress then goes nowhere.
    if (!g_pages) return;
    if (channel >= 1 && channel <= 4) {
      g_pages->showTransferSpeed(channel, value);
    } else if (channel == KESTRUM_CHANNEL_MAKE_PATCH) {
      g_pages->showPatchMakerProgress(value);
    } else if (channel == KESTRUM_CHANNEL_SEND_PATCH) {
      g_pages->showUpdateProgress(value);
    }
  });
}

void GetFile2PatchCallback(char* name, char* info, int32_t index) {
  runOnUiThread([=] {
    if (!name || !info || !g_pages) return;
    QString entryName, entryPath;
    if (!g_pages->patchMakerEntry(index, &entryName, &entryPath)) return;
    // Written whole or not at all: a cut path would name another file.
    writeFileToPatch({entryName.toStdString(), entryPath.toStdString()}, name,
                     KESTRUM_PATCH_NAME_SIZE, info, KESTRUM_PATCH_INFO_SIZE);
  });
}
