#include "devicelink/progress_callbacks.h"

#include <cstring>

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

std::string commaTextOf(const std::string& path) {
  bool quote = false;
  for (unsigned char c : path)
    if (c == ' ' || c == ',' || c == '"' || c < 0x20) quote = true;
  if (!quote) return path;
  std::string out = "\"";
  for (char c : path) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

namespace {

void copyBounded(char* buffer, std::size_t capacity, const std::string& text) {
  const std::size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace

void GetFile2PatchCallback(char* name, char* info, int32_t index) {
  runOnUiThread([=] {
    if (!name || !info) return;
    QString entryName, entryPath;
    if (!patchMakerEntry(MainForm, index, &entryName, &entryPath)) return;
    copyBounded(name, KESTRUM_PATCH_NAME_SIZE, entryName.toStdString());
    copyBounded(info, KESTRUM_PATCH_INFO_SIZE, commaTextOf(entryPath.toStdString()));
  });
}
