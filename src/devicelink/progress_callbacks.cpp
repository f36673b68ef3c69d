#include "devicelink/progress_callbacks.h"

#include <cstring>

#include "app/mainform.h"
#include "app/ui_thread.h"
#include "kestrum.h"
#include "settings/message_lists.h"

void CurProgressCallback(int32_t value, uint16_t channel) {
  runOnUiThread([value, channel] {
    TMainForm* form = MainForm;
    if (!form) return;
    if (channel >= 1 && channel <= 4) {
      form->SpeedLabels[channel - 1]->setText(QString::number(value));
    } else if (channel == KESTRUM_CHANNEL_MAKE_PATCH) {
      form->MakeUpdatePatchProgress_Gauge->setValue(value);
    } else if (channel == KESTRUM_CHANNEL_SEND_PATCH) {
      form->UpdateProgress_Gauge->setValue(value);
      if (value == KESTRUM_SEND_UNPACK_STAGE)
        form->UpdateProgress_Gauge->setProgressText(
            QString::fromStdString(messageLists().textOf(MsgList::UpdateProgressGauge, 1)));
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
    TMainForm* form = MainForm;
    if (!form || !name || !info) return;
    const int count = form->Files2Patch_LV->count();
    QListWidgetItem* item = nullptr;
    if (index >= 1 && index <= count) {
      item = form->Files2Patch_LV->item(index - 1);
    } else if (index == count + 1 && form->UpdateRuleFile_LV->count() > 0) {
      item = form->UpdateRuleFile_LV->item(0);
    }
    if (!item) return;
    copyBounded(name, KESTRUM_PATCH_NAME_SIZE, item->text().toStdString());
    copyBounded(info, KESTRUM_PATCH_INFO_SIZE, commaTextOf(listitem::subItem(item).toStdString()));
  });
}
