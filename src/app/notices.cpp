// Worker-thread notices: a worker writes a fixed text into one of two hidden
// edits (through runOnUiThread); the change event runs here on the window's
// thread while the worker waits. The texts are fixed and never translated.
#include "app/mainform.h"
#include "settings/message_lists.h"

namespace notice {
const QString kUpdateWillFinish = QStringLiteral("Update will finish after reboot");
const QString kSearchFinished = QStringLiteral("search finished!");
const QString kCheckForNextUpdate = QStringLiteral("Check For Next Update");
}  // namespace notice

void TMainForm::ThreadMessager_EditChange(QLineEdit* sender) {
  const QString text = sender->text();
  if (text.isEmpty()) return;  // the echo of emptying the edit
  if (sender == ThreadMessager_Edit) {
    if (text == notice::kUpdateWillFinish) {
      RebootDevice();
    } else if (text == notice::kCheckForNextUpdate) {
      dialogs().showMessage(kMessageBoxTitle,
                            QString::fromStdString(messageLists().textOf(MsgList::FWHints, 12)));
    }
  } else if (sender == DevSearchMessageEdit_Edit) {
    if (text == notice::kSearchFinished) FillDeviceList();
  }
  sender->clear();
}
