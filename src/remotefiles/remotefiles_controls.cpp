#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "app/mainform.h"
#include "remotefiles/remotefiles_window.h"
#include "widgets/place_control.h"
#include "widgets/skinned_controls.h"

namespace {

// Right of the file list: a line per running mission, hidden while none runs.
void buildDownloadProgressControls(TMainForm& f, QWidget* parent) {
  constexpr int kRowHeight = 46;
  auto* board = new TSkinPanel(parent);
  board->setObjectName("DownloadProgress_Panel");
  board->setGeometry(448, 19, 174, 438);
  board->setShowCaption(true);
  board->hide();
  f.DownloadProgress_Panel = board;
  for (int i = 0; i < 9; ++i) {
    const QString n = QString::number(i + 1);
    auto* name = new QLabel(board);
    name->setObjectName("MissionName" + n + "_Label");
    name->setGeometry(4, TSkinPanel::kCaptionHeight + 4 + i * kRowHeight, 166, 16);
    name->hide();
    auto* gauge = new TTextGauge(board);
    gauge->setObjectName("MissionProgress" + n + "_Gauge");
    gauge->setGeometry(4, TSkinPanel::kCaptionHeight + 21 + i * kRowHeight, 166, 20);
    gauge->setRange(0, 100);
    gauge->hide();
    f.MissionName_Labels[i] = name;
    f.MissionProgress_Gauges[i] = gauge;
  }
  f.DownloadProgress_Timer = new QTimer(&f);
  f.DownloadProgress_Timer->setObjectName("DownloadProgress_Timer");
  f.DownloadProgress_Timer->setInterval(250);  // well over twice a second
}

}  // namespace

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
  buildDownloadProgressControls(f, panel);
}
