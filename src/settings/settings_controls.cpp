#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include "app/mainform.h"
#include "settings/settings_window.h"
#include "widgets/place_control.h"
#include "widgets/skinned_controls.h"

void buildOptionsPageControls(TMainForm& f) {
  auto* scroll = build::panel(f, f.Options_Page, "OptionScrollPanel_Panel", -1, -1, 642, 458);
  f.OptionScrollPanel_Panel = scroll;
  scroll->setFrameShape(QFrame::NoFrame);

  auto* p1 = build::panel(f, scroll, "OptionPanel1_Panel", -1, -1, 643, 150);
  f.OptionPanel1_Panel = p1;
  f.DownloadSavePath_Label =
      build::label(f, p1, "DownloadSavePath_Label", "Current DownloadSavePath:", 8, 10);
  f.DownloadSavePath_Edit = build::edit(f, p1, "DownloadSavePath_Edit", "", 8, 30, 500, 22);
  f.DownloadSavePath_Edit->setReadOnly(true);
  f.DownloadSavePathBrows_Btn =
      build::button(f, p1, "DownloadSavePathBrows_Btn", "Browse", 516, 28, 80, 25);
  f.DownloadSpeedLimit_Bevel = build::bevel(f, p1, "DownloadSpeedLimit_Bevel", 4, 62, 600, 79);
  f.DownloadSpeedLimit_Label =
      build::label(f, p1, "DownloadSpeedLimit_Label", "Download Speed Limit:", 8, 75);
  f.DownloadSpeedLimit_Edit = f.reg(new QSpinBox(p1), "DownloadSpeedLimit_Edit", skin::kNumEdit);
  f.DownloadSpeedLimit_Edit->setGeometry(150, 71, 70, 22);
  f.DownloadSpeedLimit_Edit->setRange(0, 9999);
  f.DownloadSpeedLimit_Edit->setSingleStep(1);
  f.DownloadSpeedLimit_Edit->setValue(0);
  f.DownloadSpeedLimit_Edit->setAlignment(Qt::AlignRight);
  f.DSLKBperSec_Label =
      build::label(f, p1, "DSLKBperSec_Label", "KB/sec (500 is recommended)", 224, 75);
  f.DSLDefault_Btn = build::button(f, p1, "DSLDefault_Btn", "Default", 8, 104, 75, 25);
  f.DSLCancel_Btn = build::button(f, p1, "DSLCancel_Btn", "Cancel", 90, 104, 75, 25);
  f.DSLApply_Btn = build::button(f, p1, "DSLApply_Btn", "Apply", 172, 104, 75, 25);
  f.MD5Need_CheckBox = f.reg(new QCheckBox(p1), "MD5Need_CheckBox", skin::kOther);
  f.MD5Need_CheckBox->setGeometry(300, 108, 18, 18);
  f.MD5Need_Label = build::label(f, p1, "MD5Need_Label", "Need MD5 Check", 320, 109);

  auto row = [&](const char* panelName, TSkinPanel*& panel, int top, const char* labelName,
                 const char* labelText, QLabel*& label, const char* editName, QLineEdit*& edit,
                 const char* buttonName, QPushButton*& button) {
    panel = build::panel(f, scroll, panelName, -1, top, 643, 64);
    label = build::label(f, panel, labelName, labelText, 8, 8);
    edit = build::edit(f, panel, editName, "", 8, 28, 500, 22);
    edit->setReadOnly(true);
    button = build::button(f, panel, buttonName, "Browse", 516, 26, 80, 25);
  };
  row("OptionPanel2_Panel", f.OptionPanel2_Panel, 148, "CachPath_Label",
      "Current CachPath:", f.CachPath_Label, "CachPath_Edit", f.CachPath_Edit, "CachPathBrows_Btn",
      f.CachPathBrows_Btn);
  row("OptionPanel3_Panel", f.OptionPanel3_Panel, 211, "PatchSavePath_Label",
      "Current PatchSavePath:", f.PatchSavePath_Label, "PatchSavePath_Edit", f.PatchSavePath_Edit,
      "PatchSavePathBrows_Btn", f.PatchSavePathBrows_Btn);

  auto* p4 = build::panel(f, scroll, "OptionPanel4_Panel", -1, 274, 643, 64);
  f.OptionPanel4_Panel = p4;
  f.LanguageConfig_Label = build::label(f, p4, "LanguageConfig_Label", "Current Language:", 8, 8);
  f.LanguageBox_ComboBox = f.reg(new QComboBox(p4), "LanguageBox_ComboBox", skin::kOther);
  f.LanguageBox_ComboBox->setGeometry(8, 28, 200, 24);
  f.LanguageChange_Btn = build::button(f, p4, "LanguageChange_Btn", "Apply", 216, 27, 80, 25);
}
