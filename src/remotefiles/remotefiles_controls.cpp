#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>

#include "app/control_builders.h"
#include "app/control_helpers.h"
#include "app/controls.h"

void buildFilePageControls(TMainForm& f) {
  QWidget* page = f.Tovarin_Page;
  auto* panel = f.reg(new TSkinPanel(page), "ListPanel_Panel", skin::kExpandPanel);
  panel->setGeometry(0, 0, 640, 457);
  panel->setCaption("Address:");
  panel->setShowCaption(true);
  f.ListPanel_Panel = panel;
  f.Path_SEdit = build::edit(f, panel, "Path_SEdit", "/sdcard", 64, 0, 330, 19);
  f.Path_SEdit->setReadOnly(true);
  f.Backdir_Btn = build::button(f, panel, "Backdir_Btn", "", 408, 0, 19, 19);
  f.Backdir_Btn->setIcon(makeBackArrowIcon());
  f.Backdir_Btn->setProperty("role", "back");
  f.FileList_LV = f.reg(new QListWidget(panel), "FileList_LV", skin::kOther);
  f.FileList_LV->setGeometry(0, 19, 427, 438);
  f.FileList_LV->setContextMenuPolicy(Qt::CustomContextMenu);
  f.VerScrollBar_SB = f.reg(new QScrollBar(Qt::Vertical, panel), "VerScrollBar_SB", skin::kOther);
  f.VerScrollBar_SB->setGeometry(427, 19, 17, 438);
  f.FileListMenu_PopupMenu = new QMenu(&f);
  f.FileListMenu_PopupMenu->setObjectName("FileListMenu_PopupMenu");
  f.OpenBtn = f.FileListMenu_PopupMenu->addAction("&Open");
  f.OpenBtn->setObjectName("OpenBtn");
}
