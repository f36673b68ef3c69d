// The file page's handlers: listing, Open and Up, the pop-up menu, and the
// page functions that the listing worker and the missions call.
#include <QListWidgetItem>

#include "app/app_state.h"
#include "app/control_builders.h"
#include "app/mainform.h"
#include "remotefiles/file_page.h"
#include "remotefiles/get_file_thread.h"
#include "remotefiles/remote_paths.h"
#include "remotefiles/search_thread.h"
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

// Stops, waits for and frees the current listing worker (one told to stop
// already belongs to whoever told it).
bool stopListing(TMainForm& f) {
  if (!f.ListingThread || f.ListingThread->Terminated()) return false;
  f.ListingThread->Terminate();
  f.ListingThread->WaitFor();
  delete f.ListingThread;
  f.ListingThread = nullptr;
  return true;
}

// The file branch of opening an item: finds a slot, fills a mission and starts
// it. False (after the "Download missions reach limit!" box) when all nine
// slots hold missions that were not asked to stop.
bool startDownloadMission(TMainForm& form, const std::string& caption) {
  TThread** slot = nullptr;
  for (TThread*& mission : form.DownloadMissions) {
    if (!mission || mission->Terminated()) {
      slot = &mission;
      break;
    }
  }
  if (!slot) {
    form.dialogs().showMessage(kMessageBoxTitle, "Download missions reach limit!");
    return false;
  }
  // A reused slot's mission was asked to stop by someone else, who waits for
  // it; it is forgotten here as the window's design has it.
  auto* mission = new TGetFileThread(form, &form, form.state().session, form.device());
  *slot = mission;
  copyIntoPathField(mission->remotePath, form.CurrentRelPath);
  mission->requestCode = downloadRequestCode(caption, form.MD5Need_CheckBox->isChecked());
  mission->Start();
  return true;
}

void startListing(TMainForm& f, const std::string& relativePath, int32_t code) {
  auto* worker = new TSearchThread(f, &f, f.state().session, f.device(), *f.services().sleeper);
  copyIntoPathField(worker->path, relativePath);
  worker->requestCode = code;
  f.ListingThread = worker;
  worker->Start();
}

void refuseLongPath(TMainForm& f) {
  f.dialogs().showMessage(kMessageBoxTitle,
                          QStringLiteral("The path is too long for the device (at most %1 bytes).")
                              .arg(kMaxRemotePathLength));
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
  startListing(f, f.CurrentRelPath, kListDir);
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
  startListing(*this, std::string(), kListRoot);
}

void TMainForm::FileList_LVDblClick() { askForData(*this); }

void TMainForm::OpenBtnClick() { FileList_LVDblClick(); }

void TMainForm::Backdir_BtnClick() {
  if (CurrentRelPath.empty()) return;
  if (stopListing(*this)) services().sleeper->sleepMs(100);
  CurrentRelPath = upFrom(CurrentRelPath);
  Path_SEdit->setText(shown(addressBoxText(CurrentRelPath)));
  FileList_LV->clear();
  startListing(*this, CurrentRelPath, kListDir);
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

void showListingSendError(TMainForm& f) { f.dialogs().showMessage(kMessageBoxTitle, "send error"); }

std::string missionDownloadFolder(TMainForm& f) {
  return f.DownloadSavePath_Edit->text().toLocal8Bit().toStdString();
}

bool askMissionOverwrite(TMainForm& f) {
  return f.dialogs().askYesNo("Download Warning", "File Exist, do you want to overwrite it?");
}

void reportMissionDownloadOk(TMainForm& f, bool md5Checked) {
  f.dialogs().showMessage(md5Checked ? "file md5" : "file", "download ok");
}

void refuseMissionTarget(TMainForm& f, const std::string& remotePath) {
  f.dialogs().showMessage(
      kMessageBoxTitle,
      QStringLiteral("Not downloaded: \"%1\" is not a plain file name.").arg(shown(remotePath)));
}

void connectRemoteFilesHandlers(TMainForm& f) {
  QObject::connect(f.FileList_LV, &QListWidget::itemDoubleClicked, &f,
                   [&f] { f.FileList_LVDblClick(); });
  QObject::connect(f.Backdir_Btn, &QPushButton::clicked, &f, [&f] { f.Backdir_BtnClick(); });
  QObject::connect(f.AddItem_Btn, &QPushButton::clicked, &f, [&f] { f.AddItem_BtnClick(); });
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
