// The file page's handlers: listing, Open and Up, the pop-up menu, and the
// page that the listing worker and the missions call.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QListWidgetItem>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <utility>

#include "app/mainform.h"
#include "remotefiles/download_worker.h"
#include "remotefiles/listing_worker.h"
#include "remotefiles/remote_paths.h"
#include "remotefiles/remotefiles_window.h"
#include "remotefiles/transfer_rate.h"
#include "settings/box_texts.h"
#include "settings/message_lists.h"
#include "widgets/skinned_controls.h"

using namespace remotefiles;

namespace {

// What an item keeps besides its caption and shown sub-item: the device's
// bytes of its full path and name (shown converted, used as they came) and
// its picture, the only mark that tells a directory (0) from a file.
constexpr int kFullPathRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 3;
constexpr int kImageIndexRole = listitem::kImageIndexRole;

QString shown(const std::string& bytes) {
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string bytesOf(const QListWidgetItem* item, int role) {
  return item->data(role).toByteArray().toStdString();
}

QListWidgetItem* selectedItem(TMainForm& f) {
  const auto items = f.FileList_LV->selectedItems();
  return items.isEmpty() ? nullptr : items.first();
}

// The file page as the listing worker and the download missions see it.
class WindowRemoteFilesPage final : public RemoteFilesPage, WindowPage {
 public:
  using WindowPage::WindowPage;

  void addListingEntry(const std::string& name, const std::string& path, char kind) override {
    if (TMainForm* f = window()) f->FileListAddItemByName(name, path, kind);
  }
  void repaintFileList() override {
    if (TMainForm* f = window()) f->FileList_LV->viewport()->repaint();
  }
  void showListingSendError() override {
    if (TMainForm* f = window())
      f->dialogs().showMessage(kMessageBoxTitle, f->msgText(MsgList::Boxes, boxmsg::kSendError));
  }
  std::string missionDownloadFolder() override {
    TMainForm* f = window();
    return f ? f->DownloadSavePath_Edit->text().toLocal8Bit().toStdString() : std::string();
  }
  bool askMissionOverwrite() override {
    TMainForm* f = window();
    return f && f->dialogs().askYesNo(f->msgText(MsgList::Boxes, boxmsg::kDownloadWarningTitle),
                                      f->msgText(MsgList::Boxes, boxmsg::kOverwriteQuestion));
  }
  void reportMissionEnd(const MissionResult& result) override {
    TMainForm* f = window();
    if (!f) return;
    f->DownloadProgress_TimerTimer();
    DownloadBoard& board = f->Downloads;
    board.notices.add(result);
    // Missions that end while a box is up wait for it and then share one box.
    if (board.noticeShowing) return;
    board.noticeShowing = true;
    while (!board.notices.empty()) {
      const NoticeBox box = board.notices.takeNext(f->state().messages);
      f->dialogs().showMessage(box.title, box.text);
    }
    board.noticeShowing = false;
  }
  void refuseMissionTarget(const std::string& remotePath) override {
    if (TMainForm* f = window())
      f->dialogs().showMessage(
          kMessageBoxTitle,
          f->msgText(MsgList::Boxes, boxmsg::kNotPlainFileName).arg(shown(remotePath)));
  }
};

// Stops, waits for and frees the current listing worker, also one that was
// told to stop already (it would otherwise be forgotten while it runs).
// True when it had not been told to stop.
bool stopListing(TMainForm& f) {
  if (!f.ListingThread) return false;
  const bool wasGoingOn = !f.ListingThread->Terminated();
  stopAndFree(f.ListingThread);
  return wasGoingOn;
}

// A slot takes a new mission when it is empty or its mission has ended,
// however it ended. One told to stop keeps its slot until it has ended.
bool slotIsFree(TThread* mission) {
  if (!mission) return true;
  const auto* download = dynamic_cast<const TGetFileThread*>(mission);
  return mission->Finished() || (download && download->Ended());
}

// The file branch of opening an item: finds a slot, fills a mission and starts
// it. False (after the "Download missions reach limit!" box) when all nine
// slots hold missions still at work.
bool startDownloadMission(TMainForm& form, const std::string& caption) {
  TThread** slot = nullptr;
  for (TThread*& mission : form.DownloadMissions) {
    if (slotIsFree(mission)) {
      slot = &mission;
      break;
    }
  }
  if (!slot) {
    form.dialogs().showMessage(kMessageBoxTitle,
                               form.msgText(MsgList::Boxes, boxmsg::kMissionLimit));
    return false;
  }
  auto* mission =
      new TGetFileThread(makeRemoteFilesPage(form), form.state().session, form.device());
  // The ended mission that held the slot is freed only once the slot is
  // taken: waiting for it may show its report's box, and an open meanwhile
  // must not choose this slot again.
  TThread* ended = std::exchange(*slot, mission);
  stopAndFree(ended);
  copyIntoPathField(mission->remotePath, form.state().files.currentRelPath);
  mission->requestCode = downloadRequestCode(caption, form.MD5Need_CheckBox->isChecked());
  form.Downloads.rates[slot - form.DownloadMissions.data()].clear();
  mission->Start();
  form.DownloadProgress_TimerTimer();
  form.DownloadProgress_Timer->start();
  return true;
}

void startListing(TMainForm& f, const std::string& relativePath, int32_t code) {
  auto* worker = new TSearchThread(makeRemoteFilesPage(f), f.state().session, f.device(),
                                   *f.services().sleeper);
  copyIntoPathField(worker->path, relativePath);
  worker->requestCode = code;
  f.ListingThread = worker;
  f.state().files.shownDirPath = relativePath;
  worker->Start();
}

void refuseLongPath(TMainForm& f) {
  f.dialogs().showMessage(
      kMessageBoxTitle, f.msgText(MsgList::Boxes, boxmsg::kPathTooLong).arg(kMaxRemotePathLength));
}

// onAskForData: a directory is listed, a file is downloaded.
void askForData(TMainForm& f) {
  QListWidgetItem* item = selectedItem(f);
  if (!item) return;
  const std::string fullPath = bytesOf(item, kFullPathRole);
  const std::string relativePath = relativePathOf(fullPath);
  // The workers' path fields hold 257 characters: a longer path is refused
  // rather than cut into another one.
  if (!fitsPathField(relativePath)) return refuseLongPath(f);
  f.state().files.currentRelPath = relativePath;
  if (item->data(kImageIndexRole).toInt() != kFolderImage) {
    startDownloadMission(f, bytesOf(item, kNameRole));
    return;
  }
  stopListing(f);
  f.Path_SEdit->setText(shown(fullPath));
  f.FileList_LV->clear();
  startListing(f, f.state().files.currentRelPath, KESTRUM_REQ_LIST_DIR);
}

}  // namespace

std::unique_ptr<RemoteFilesPage> makeRemoteFilesPage(TMainForm& form) {
  return std::make_unique<WindowRemoteFilesPage>(form);
}

void TMainForm::FileListAddItemByName(const std::string& name, const std::string& path, char kind) {
  auto* item = new QListWidgetItem(shown(name), FileList_LV);
  const int image = imageIndexFor(kind, name);
  const std::string fullPath = fullDevicePath(path, name);
  item->setData(kFullPathRole, QByteArray::fromStdString(fullPath));
  item->setData(listitem::kSubItemRole, shown(fullPath));
  item->setData(kNameRole, QByteArray::fromStdString(name));
  item->setData(kImageIndexRole, image);
  item->setIcon(TovarinImages_ImageList.value(image));
}

void TMainForm::StartRootListing() {
  stopListing(*this);
  startListing(*this, std::string(), KESTRUM_REQ_LIST_ROOT);
}

void TMainForm::FileList_LVDblClick() { askForData(*this); }

void TMainForm::OpenBtnClick() { FileList_LVDblClick(); }

void TMainForm::Backdir_BtnClick() {
  // The root has no parent; a file opened last plays no part.
  if (state().files.shownDirPath.empty()) return;
  if (stopListing(*this)) services().sleeper->sleepMs(100);
  state().files.currentRelPath = parentDirOf(state().files.shownDirPath);
  Path_SEdit->setText(shown(addressBoxText(state().files.currentRelPath)));
  FileList_LV->clear();
  startListing(*this, state().files.currentRelPath, KESTRUM_REQ_LIST_DIR);
}

void TMainForm::DownloadProgress_TimerTimer() {
  const std::int64_t now = services().clock->nowMs();
  const MessageLists& texts = state().messages;
  int row = 0;
  for (int slot = 0; slot < DownloadBoard::kSlots; ++slot) {
    const auto* mission = dynamic_cast<const TGetFileThread*>(DownloadMissions[slot]);
    if (!mission || mission->Ended() || mission->Finished()) {
      Downloads.rates[slot].clear();
      continue;
    }
    const MissionProgress p = mission->progress();
    if (p.total >= 0) Downloads.rates[slot].sample(now, p.received);
    QLabel* name = MissionName_Labels[row];
    const QString shownName = p.fileName.empty() ? QStringLiteral("...") : shown(p.fileName);
    name->setText(name->fontMetrics().elidedText(shownName, Qt::ElideMiddle, name->width()));
    name->setToolTip(shownName);
    TTextGauge* gauge = MissionProgress_Gauges[row];
    gauge->setValue(percentOf(p.received, p.total));
    gauge->setProgressText(
        progressLine(texts, p.received, p.total, Downloads.rates[slot].kbPerSecond()));
    name->show();
    gauge->show();
    ++row;
  }
  for (int i = row; i < DownloadBoard::kSlots; ++i) {
    MissionName_Labels[i]->hide();
    MissionProgress_Gauges[i]->hide();
  }
  DownloadProgress_Panel->setCaption(msgText(MsgList::Downloads, kProgressPanelCaption));
  DownloadProgress_Panel->setVisible(row > 0);
  if (row == 0) DownloadProgress_Timer->stop();
}

void TMainForm::AddItem_BtnClick() {
  auto* item = new QListWidgetItem("2014-07-02", FileList_LV);
  item->setData(kImageIndexRole, kFolderImage);
  item->setIcon(TovarinImages_ImageList.value(kFolderImage));
}

void TMainForm::FileListMenu_PopupMenuPopup() {
  QListWidgetItem* item = selectedItem(*this);
  const bool file = item && item->data(kImageIndexRole).toInt() != kFolderImage;
  OpenBtn->setEnabled(item != nullptr);
  OpenBtn->setText(QString::fromStdString(state().messages.textOf(MsgList::FlieListMenu, file)));
}

void connectRemoteFilesHandlers(TMainForm& f) {
  QObject::connect(f.FileList_LV, &QListWidget::itemDoubleClicked, &f,
                   [&f] { f.FileList_LVDblClick(); });
  QObject::connect(f.Backdir_Btn, &QPushButton::clicked, &f, [&f] { f.Backdir_BtnClick(); });
  QObject::connect(f.AddItem_Btn, &QPushButton::clicked, &f, [&f] { f.AddItem_BtnClick(); });
  QObject::connect(f.DownloadProgress_Timer, &QTimer::timeout, &f,
                   [&f] { f.DownloadProgress_TimerTimer(); });
  QObject::connect(f.OpenBtn, &QAction::triggered, &f, [&f] { f.OpenBtnClick(); });
  QObject::connect(f.FileListMenu_PopupMenu, &QMenu::aboutToShow, &f,
                   [&f] { f.FileListMenu_PopupMenuPopup(); });
  QObject::connect(f.FileList_LV, &QWidget::customContextMenuRequested, &f,
                   [&f](const QPoint& pos) {
                     // A click on an empty spot leaves nothing selected.
                     if (!f.FileList_LV->itemAt(pos)) f.FileList_LV->clearSelection();
                     f.FileListMenu_PopupMenu->popup(f.FileList_LV->viewport()->mapToGlobal(pos));
                   });
}
