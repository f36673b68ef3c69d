// The patch area: holds no patch or exactly one, chosen in a file dialog.
// Choosing does not open the file; only the device checks the patch.
#include <QFileInfo>

#include "app/mainform.h"
#include "firmware/firmware_texts.h"

namespace {
const QString kPatchFilter = QStringLiteral("PatchFile(*.patch)|*.patch");
constexpr int kPatchImage = 2;  // TovarinImages_ImageList: the document picture
}  // namespace

void TMainForm::Patch2Send_LVClick() {
  const QString path = dialogs().openFile(kPatchFilter, QString());
  if (path.isEmpty()) return;  // cancelled: area, tip and buttons stay

  Patch2Send_LV->clear();
  listitem::add(Patch2Send_LV, QFileInfo(path).fileName(), path, kPatchImage,
                TovarinImages_ImageList);
  // Also when a pending update had left the button disabled; but during a run
  // the device buttons wait for the run's end step.
  if (!updateRunActive()) FirmwareUpdate_Btn->setEnabled(true);
  FirmwareWpdateTip_Label->setText(fwText(MsgList::FWTipLabel, fwmsg::kTipReady));
}
