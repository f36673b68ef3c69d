// Worker-thread notices: a worker writes a fixed text into one of two hidden
// edits (through runOnUiThread); the change event runs here on the window's
// thread while the worker waits. The texts are fixed and never translated.
#include <QLineEdit>
#include "app/mainform.h"
#include "common/notice_texts.h"
#include "firmware/firmware_texts.h"
#include "settings/message_lists.h"

void postThreadNotice(TMainForm& form, const QString& text) {
  form.ThreadMessager_Edit->setText(text);
}

void postSearchNotice(TMainForm& form, const QString& text) {
  form.DevSearchMessageEdit_Edit->setText(text);
}

void TMainForm::ThreadMessager_EditChange(QLineEdit* sender) {
  const QString text = sender->text();
  if (text.isEmpty()) return;  // the echo of emptying the edit
  if (sender == ThreadMessager_Edit) {
    if (text == notice::kUpdateWillFinish) {
      RebootDevice();
    } else if (text == notice::kCheckForNextUpdate) {
      dialogs().showMessage(kMessageBoxTitle,
                            msgText(MsgList::FWHints, fwmsg::kHintCheckForNextUpdate));
    }
  } else if (sender == DevSearchMessageEdit_Edit) {
    if (text == notice::kSearchFinished) FillDeviceList();
  }
  sender->clear();
}
