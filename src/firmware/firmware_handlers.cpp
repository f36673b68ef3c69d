// Wires the firmware page's events to the window's handlers, and decides
// what closing the window during an update run does.
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMouseEvent>

#include "app/control_builders.h"
#include "app/mainform.h"
#include "app/ui_thread.h"
#include "firmware/fw_update_thread.h"

namespace {

// Pointer enter/leave on the two update buttons, and a click on the patch
// area (a press and release of the left button inside it).
class FirmwarePageEvents final : public QObject {
 public:
  explicit FirmwarePageEvents(TMainForm& form) : QObject(&form), form_(form) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == form_.FirmwareUpdate_Btn || widget == form_.CheckForUpdate_Btn) {
      if (event->type() == QEvent::Enter) form_.FU_BtnMouseEnter(widget);
      if (event->type() == QEvent::Leave) form_.FU_BtnMouseLeave(widget);
    } else if (widget == form_.Patch2Send_LV->viewport() &&
               event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint()))
        form_.Patch2Send_LVClick();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TMainForm& form_;
};

}  // namespace

void connectFirmwareHandlers(TMainForm& f) {
  auto* events = new FirmwarePageEvents(f);
  f.FirmwareUpdate_Btn->installEventFilter(events);
  f.CheckForUpdate_Btn->installEventFilter(events);
  f.Patch2Send_LV->viewport()->installEventFilter(events);

  // CheckForUpdate_Btn's own click is the online update's; the packer calls
  // FirmwareUpdate_BtnClick with it as the sender.
  for (QPushButton* button :
       {f.FirmwareUpdate_Btn, f.UpdateCancel_Btn, f.FirmwareBacktrack_Btn, f.DeviceReboot_Btn}) {
    QObject::connect(button, &QPushButton::clicked, &f,
                     [&f, button] { f.FirmwareUpdate_BtnClick(button); });
  }
}

bool confirmCloseDuringUpdate(TMainForm& f) {
  // A second close while the first one waits: the first one closes.
  static bool waitingToClose = false;
  if (waitingToClose) return false;
  if (f.updateRunActive()) {
    // Closing mid-run would cut the device off while it takes the patch.
    const QString text =
        QStringLiteral("\"%1\"\n\nAn update is running. Close the window once it has ended?")
            .arg(f.FUwarningLabel_Label->text());
    if (!f.dialogs().askYesNo(QStringLiteral("Warning"), text)) return false;
  }
  // Until the run's end hook has released its connection; the run's window
  // changes are carried out meanwhile, and the window keeps painting (the
  // gauge moves on) without taking the operator's input.
  waitingToClose = true;
  waitOnUiThread([] { return firmwareRunsHoldingConnection() == 0; },
                 [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
  waitingToClose = false;
  return true;
}
