#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "app/mainform.h"
#include "session/session_window.h"
#include "widgets/place_control.h"
#include "widgets/skinned_controls.h"

void buildLoginPanelControls(TMainForm& f) {
  auto* panel =
      build::panel(f, &f, "Login_Panel", 0, 0, TMainForm::kClientWidth, TMainForm::kClientHeight);
  f.Login_Panel = panel;
  panel->setProperty("role", "loginPanel");

  f.PanelSpreader_Btn = build::button(f, panel, "PanelSpreader_Btn", "<<", 0, 0, 17, 480);

  f.DevListPanel_Panel = build::panel(f, panel, "DevListPanel_Panel", 475, 1, 161, 345);
  f.DevListPanel_Panel->setToolTip("DoubleClick to Add Device Info");
  f.DevList_Label = build::label(f, f.DevListPanel_Panel, "DevList_Label", "Device List", 0, 0);
  f.DevList_Label->setProperty("autoSize", false);
  f.DevList_Label->setGeometry(0, 0, 161, 25);
  f.DevList_Label->setAlignment(Qt::AlignCenter);
  f.DevList_Label->setProperty("role", "caption");
  f.DevList_TreeView =
      f.reg(new QTreeWidget(f.DevListPanel_Panel), "DevList_TreeView", skin::kOther);
  f.DevList_TreeView->setGeometry(0, 26, 161, 278);
  f.DevList_TreeView->setHeaderHidden(true);
  f.DevList_TreeView->setRootIsDecorated(false);
  f.DevList_TreeView->setIndentation(4);
  f.DevList_TreeView->setIconSize(QSize(32, 32));
  f.DevList_TreeView->setToolTip("DoubleClick to Add Device Info");
  f.DevListBtnPanel_Panel =
      build::panel(f, f.DevListPanel_Panel, "DevListBtnPanel_Panel", 1, 304, 159, 41);
  f.DevSearch_Btn =
      build::button(f, f.DevListBtnPanel_Panel, "DevSearch_Btn", "Search", 47, 8, 65, 25);
  f.DevSearchMessageEdit_Edit =
      f.reg(new QLineEdit(panel), "DevSearchMessageEdit_Edit", skin::kOther);
  f.DevSearchMessageEdit_Edit->setGeometry(0, 0, 10, 10);
  f.DevSearchMessageEdit_Edit->hide();

  f.DeviceID_Label = build::label(f, panel, "DeviceID_Label", "DeviceID:", 180, 178);
  f.DeviceID_Edit = build::edit(f, panel, "DeviceID_Edit", "No need to edit", 252, 178, 137, 18);
  f.IPAddress_Label = build::label(f, panel, "IPAddress_Label", "IPAddress:", 180, 202);
  f.IPAddress_Edit = build::edit(f, panel, "IPAddress_Edit", "192.168.1.1", 252, 200, 137, 18);
  f.UserName_Label = build::label(f, panel, "UserName_Label", "UserName:", 180, 224);
  f.UserName_Edit = build::edit(f, panel, "UserName_Edit", "admin", 252, 222, 137, 18);
  f.Password_Label = build::label(f, panel, "Password_Label", "Password:", 180, 246);
  f.Password_Edit = build::edit(f, panel, "Password_Edit", "", 252, 244, 137, 18);
  f.Login_SBtn = build::button(f, panel, "Login_SBtn", "Login", 280, 278, 73, 25);
  f.Login_SBtn->setProperty("role", "primary");
  f.LoginHint_Label = build::label(f, panel, "LoginHint_Label", "Connecting......", 275, 313);
  f.LoginHint_Label->setProperty("autoSize", false);
  f.LoginHint_Label->setGeometry(275, 313, 85, 16);
  f.LoginHint_Label->setAlignment(Qt::AlignCenter);
  f.LoginHint_Label->hide();
  // Under the device list, above the tips line.
  f.DevListNotice_Label = build::label(f, panel, "DevListNotice_Label", "", 475, 350);
  f.DevListNotice_Label->setProperty("autoSize", false);
  f.DevListNotice_Label->setGeometry(475, 349, 161, 79);
  f.DevListNotice_Label->setWordWrap(true);
  f.DevListNotice_Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  f.DevListNotice_Label->setProperty("role", "tip");
  f.DevListNotice_Label->hide();

  f.Tips_Bevel = build::bevel(f, panel, "Tips_Bevel", 210, 430, 425, 9);
  f.TutorShow_Btn = build::button(f, panel, "TutorShow_Btn",
                                  QString::fromUtf8("使用说明 (instructions)"), 490, 435, 145, 25);
  f.Tips_Label = build::label(f, panel, "Tips_Label",
                              QString::fromUtf8("注意：本程序只在局域网下有效"), 300, 437);
  f.Tips_Label->setProperty("role", "note");
  f.Tips_Label->setProperty("anchorRight", true);
}
