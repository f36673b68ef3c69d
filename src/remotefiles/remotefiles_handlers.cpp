// The file page's handlers: listing, Open and Up, the pop-up menu, and the
// page functions that the listing worker and the missions call.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QListWidgetItem>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <utility>

#include "app/app_state.h"
#include "app/control_builders.h"
#include "app/controls.h"
#include "app/mainform.h"
#include "remotefiles/file_page.h"
#include "remotefiles/get_file_thread.h"
#include "remotefiles/remote_paths.h"
#include "remotefiles/search_thread.h"
#include "remotefiles/transfer_rate.h"
#include "settings/box_texts.h"
#include "settings/message_lists.h"

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

// The workers' view of the page: each call goes to the page function of the
// same name, and nothing happens once the window is gone (a worker may
// outlive it).
class FormRemoteFilesPage final : public RemoteFilesPage {
 public:
  explicit FormRemoteFilesPage(TMainForm& form) : form_(&form) {}
  void addListingEntry(const std::string& name, const std::string& path, char kind) override {
    if (form_) ::addListingEntry(*form_, name, path, kind);
  }
  void repaintFileList() override {
    if (form_) ::repaintFileList(*form_);
  }
  void showListingSendError() override {
    if (form_) ::showListingSendError(*form_);
  }
  std::string missionDownloadFolder() override {
    return form_ ? ::missionDownloadFolder(*form_) : std::string();
  }
  bool askMissionOverwrite() override { return form_ && ::askMissionOverwrite(*form_); }
  void reportMissionEnd(const MissionResult& result) override {
    if (form_) ::reportMissionEnd(*form_, result);
  }
  void refuseMissionTarget(const std::string& remotePath) override {
    if (form_) ::refuseMissionTarget(*form_, remotePath);
  }

 private:
  QPointer<TMainForm> form_;
};

std::unique_ptr<RemoteFilesPage> makeRemoteFilesPage(TMainForm& form) {
  return std::make_unique<FormRemoteFilesPage>(form);
}

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
  copyIntoPathField(mission->remotePath, form.CurrentRelPath);
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
  f.ShownDirPath = relativePath;
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
  f.CurrentRelPath = relativePath;
  if (item->data(kImageIndexRole).toInt() != kFolderImage) {
    startDownloadMission(f, bytesOf(item, kNameRole));
    return;
  }
  stopListing(f);
  f.Path_SEdit->setText(shown(fullPath));
  f.FileList_LV->clear();
  startListing(f, f.CurrentRelPath, KESTRUM_REQ_LIST_DIR);
}

}  // namespace

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
  if (ShownDirPath.empty()) return;
  if (stopListing(*this)) services().sleeper->sleepMs(100);
  CurrentRelPath = parentDirOf(ShownDirPath);
  Path_SEdit->setText(shown(addressBoxText(CurrentRelPath)));
  FileList_LV->clear();
  startListing(*this, CurrentRelPath, KESTRUM_REQ_LIST_DIR);
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

// --- Page functions of the workers -----------------------------------------

void addListingEntry(TMainForm& f, const std::string& name, const std::string& path, char kind) {
  f.FileListAddItemByName(name, path, kind);
}

void repaintFileList(TMainForm& f) { f.FileList_LV->viewport()->repaint(); }

void showListingSendError(TMainForm& f) {
  f.dialogs().showMessage(kMessageBoxTitle, f.msgText(MsgList::Boxes, boxmsg::kSendError));
}

std::string missionDownloadFolder(TMainForm& f) {
  return f.DownloadSavePath_Edit->text().toLocal8Bit().toStdString();
}

bool askMissionOverwrite(TMainForm& f) {
  return f.dialogs().askYesNo(f.msgText(MsgList::Boxes, boxmsg::kDownloadWarningTitle),
                              f.msgText(MsgList::Boxes, boxmsg::kOverwriteQuestion));
}

void reportMissionEnd(TMainForm& f, const MissionResult& result) {
  f.DownloadProgress_TimerTimer();
  DownloadBoard& board = f.Downloads;
  board.notices.add(result);
  // Missions that end while a box is up wait for it and then share one box.
  if (board.noticeShowing) return;
  board.noticeShowing = true;
  while (!board.notices.empty()) {
    const NoticeBox box = board.notices.takeNext(f.state().messages);
    f.dialogs().showMessage(box.title, box.text);
  }
  board.noticeShowing = false;
}

void refuseMissionTarget(TMainForm& f, const std::string& remotePath) {
  f.dialogs().showMessage(
      kMessageBoxTitle,
      f.msgText(MsgList::Boxes, boxmsg::kNotPlainFileName).arg(shown(remotePath)));
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
