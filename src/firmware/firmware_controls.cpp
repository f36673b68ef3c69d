#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include "app/mainform.h"
#include "firmware/firmware_window.h"
#include "widgets/place_control.h"
#include "widgets/skinned_controls.h"

void buildFirmwarePageControls(TMainForm& f) {
  QWidget* page = f.FirmwareUpdate_Page;
  f.ServerMsg_Bevel = build::bevel(f, page, "ServerMsg_Bevel", -1, -1, 642, 41);
  f.ServerMsg_Bevel->setProperty("role", "header");
  f.TargetHarward_Label = build::label(f, page, "TargetHarward_Label", "HardwareName:", 20, 12);
  f.TargetHarward_Val = build::label(f, page, "TargetHarward_Val", "valuestring", 120, 12);
  f.TargetHarward_Val->setProperty("role", "value");
  f.TargetVersion_Label = build::label(f, page, "TargetVersion_Label", "FirmwareVersion:", 340, 12);
  f.TargetVersion_Val = build::label(f, page, "TargetVersion_Val", "valuestring", 450, 12);
  f.TargetVersion_Val->setProperty("role", "value");

  f.Patch2Send_LV = f.reg(new QListWidget(page), "Patch2Send_LV", skin::kOther);
  f.Patch2Send_LV->setGeometry(107, 58, 89, 81);
  f.Patch2Send_LV->setCursor(Qt::PointingHandCursor);
  makePathTipArea(f.Patch2Send_LV, "PatchFileArea");
  f.Patch2Send_LV->setProperty("role", "dropArea");
  f.Patch2Send_LV->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  f.Patch2Send_LV->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // One patch fills the area: its name may wrap onto a second line.
  f.Patch2Send_LV->setGridSize(QSize(85, 77));

  f.FirmwareWpdateTip_Label =
      build::label(f, page, "FirmwareWpdateTip_Label",
                   "You Need Put A Patch File into the Rect!Click it!", 6, 146);
  f.FirmwareWpdateTip_Label->setProperty("autoSize", false);
  f.FirmwareWpdateTip_Label->setGeometry(6, 146, 291, 34);
  f.FirmwareWpdateTip_Label->setAlignment(Qt::AlignCenter);
  f.FirmwareWpdateTip_Label->setWordWrap(true);
  f.FirmwareWpdateTip_Label->setProperty("role", "tip");

  f.UpdateProgress_Gauge = f.reg(new TTextGauge(page), "UpdateProgress_Gauge", skin::kOther);
  f.UpdateProgress_Gauge->setGeometry(67, 193, 169, 17);
  f.PatchDownloadProcess_Gauge =
      f.reg(new TTextGauge(page), "PatchDownloadProcess_Gauge", skin::kOther);
  f.PatchDownloadProcess_Gauge->setGeometry(199, 193, 113, 17);

  f.FirmwareUpdate_Btn =
      build::button(f, page, "FirmwareUpdate_Btn", "FirmwareUpdate", 3, 215, 89, 25);
  f.FirmwareUpdate_Btn->setProperty("role", "primary");
  f.UpdateCancel_Btn = build::button(f, page, "UpdateCancel_Btn", "UpdateCancel", 107, 215, 89, 25);
  f.CheckForUpdate_Btn =
      build::button(f, page, "CheckForUpdate_Btn", "CheckForUpdate", 211, 215, 89, 25);
  f.FirmwareBacktrack_Btn =
      build::button(f, page, "FirmwareBacktrack_Btn", "VersionBacktrack", 107, 255, 89, 25);
  f.FirmwareBacktrack_Btn->setToolTip("Firmware Backtrack to  last version");
  f.FirmwareBacktrack_Btn->hide();
  f.DeviceReboot_Btn = build::button(f, page, "DeviceReboot_Btn", "DeviceReboot", 107, 290, 89, 25);

  f.FUwarningLabel_Label =
      build::label(f, page, "FUwarningLabel_Label",
                   "Don't cut down  the power of device or close progress when updating!", 10, 395);
  f.FUwarningLabel_Label->setProperty("autoSize", false);
  f.FUwarningLabel_Label->setGeometry(10, 395, 300, 32);
  f.FUwarningLabel_Label->setAlignment(Qt::AlignCenter);
  f.FUwarningLabel_Label->setWordWrap(true);
  f.FUwarningLabel_Label->setProperty("role", "warning");

  f.FUPageBevel1_Bevel = build::bevel(f, page, "FUPageBevel1_Bevel", 320, 40, 2, 332);
  f.PatchMessage_Memo = f.reg(new QPlainTextEdit(page), "PatchMessage_Memo", skin::kOther);
  f.PatchMessage_Memo->setGeometry(323, 40, 318, 330);
  f.PatchMessage_Memo->setReadOnly(true);
  f.PatchMessage_Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  f.PatchMessage_Scroll =
      f.reg(new QScrollBar(Qt::Vertical, page), "PatchMessage_Scroll", skin::kOther);
  f.PatchMessage_Scroll->setGeometry(634, 41, 17, 328);
  // The page's own scroll bar drives the history memo.
  QObject::connect(f.PatchMessage_Memo->verticalScrollBar(), &QScrollBar::rangeChanged,
                   f.PatchMessage_Scroll, &QScrollBar::setRange);
  QObject::connect(f.PatchMessage_Memo->verticalScrollBar(), &QScrollBar::valueChanged,
                   f.PatchMessage_Scroll, &QScrollBar::setValue);
  QObject::connect(f.PatchMessage_Scroll, &QScrollBar::valueChanged,
                   f.PatchMessage_Memo->verticalScrollBar(), &QScrollBar::setValue);

  f.WebMessageURL_Label = build::label(f, page, "WebMessageURL_Label", "", 16, 438);
  f.WebMessageURL_Label->setCursor(Qt::PointingHandCursor);
  f.WebMessageURL_Label->setProperty("role", "link");
  f.FUPageBevel2_Bevel = build::bevel(f, page, "FUPageBevel2_Bevel", -1, 434, 642, 2);
  f.URLTestEdit_Edit = build::edit(f, page, "URLTestEdit_Edit", "", 400, 400, 100, 18);

  // The help memos lie over the page when they unfold.
  for (auto** memo : {&f.ManuallyUpdateHelp_Memo, &f.AutoUpdateHelp_Memo}) {
    *memo = new QPlainTextEdit(page);
    (*memo)->setReadOnly(true);
    (*memo)->setGeometry(0, 215, 0, 150);
    (*memo)->hide();
    (*memo)->setProperty("role", "help");
  }
  f.reg(f.ManuallyUpdateHelp_Memo, "ManuallyUpdateHelp_Memo", skin::kOther);
  f.reg(f.AutoUpdateHelp_Memo, "AutoUpdateHelp_Memo", skin::kOther);
}
