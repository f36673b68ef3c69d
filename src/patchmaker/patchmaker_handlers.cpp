// The patch maker page: files dropped onto the file list, the rule script,
// the version rows, Make (the device library's MakePatch, answered through
// its getfile2patch callback) and the MD5 of the result.
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <exception>
#include <vector>

#include "app/mainform.h"
#include "common/file_helpers.h"
#include "devicelink/device_link.h"
#include "patchmaker/file_to_patch.h"
#include "patchmaker/patchmaker_texts.h"
#include "patchmaker/patchmaker_window.h"
#include "patchmaker/version_fields.h"
#include "settings/box_texts.h"
#include "settings/message_lists.h"
#include "widgets/skinned_controls.h"

namespace {

const QString kRuleFileFilter = QStringLiteral("RuleFile(*.sh)|*.sh|BatFile(*.bat)|*.bat");
const QString kPatchFilter = QStringLiteral("PatchFile(*.patch)|*.patch");
// The rule dialog opens in the program's current folder.
const QString kRuleFileStartFolder = QStringLiteral(".") + QChar('/');
constexpr int kFileImage = 2;  // TovarinImages_ImageList: the document picture

void setSingleEntry(TMainForm& f, QListWidget* list, const QString& path) {
  list->clear();
  listitem::add(list, QFileInfo(path).fileName(), path, kFileImage, f.TovarinImages_ImageList);
}

// A new result entry: the MD5 shown was of the one before, and so was the
// note of where Make wrote it.
void setResult(TMainForm& f, const QString& caption, const QString& path, const QString& note) {
  f.MUPresult_Listview->clear();
  listitem::add(f.MUPresult_Listview, caption, path, kFileImage, f.TovarinImages_ImageList);
  f.MUPmd5out_Edit->clear();
  f.MUPresultNote_Memo->setPlainText(note);
}

FileToPatch fileOf(const QListWidgetItem* item) {
  return {item->text().toStdString(), listitem::subItem(item).toStdString()};
}

// The part fields of both rows, and where a part sits in its row.
const std::array<QLineEdit*, 4>* rowOf(const TMainForm& f, const QLineEdit* part, int* index) {
  for (const auto* row : {&f.PatchVersionEdits, &f.OldVersionEdits})
    for (int i = 0; i < 4; ++i)
      if ((*row)[i] == part) {
        *index = i;
        return row;
      }
  return nullptr;
}

// Events the controls do not signal themselves: drops onto the file list,
// clicks on the result area and the hardware name, keys and leaving the
// version parts.
class PatchMakerPageEvents final : public QObject {
 public:
  explicit PatchMakerPageEvents(TMainForm& form) : QObject(&form), form_(form) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (isDragEvent(event) && isArea(widget))
      return areaDragEvent(
          widget == form_.Files2Patch_LV || widget == form_.Files2Patch_LV->viewport(), event);
    if (widget == form_.MUPresult_Listview->viewport() &&
        event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint()))
        form_.MUPresult_ListviewClick();
    } else if (widget == form_.PatchHWName_Edit && event->type() == QEvent::MouseButtonPress) {
      form_.PatchHWName_EditClick();
    } else if (int index = 0; rowOf(form_, qobject_cast<QLineEdit*>(widget), &index)) {
      return versionPartEvent(static_cast<QLineEdit*>(widget), event);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  static bool isDragEvent(const QEvent* event) {
    const QEvent::Type type = event->type();
    return type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
  }
  // A list or its viewport: a drag the viewport refuses goes on to the list.
  bool isArea(const QWidget* widget) const {
    for (const QListWidget* area :
         {form_.Files2Patch_LV, form_.UpdateRuleFile_LV, form_.MUPresult_Listview})
      if (widget == area || widget == area->viewport()) return true;
    return false;
  }

  // Only the file list takes drops, and only of files: an icon dragged from
  // one area onto another would otherwise become a second entry there.
  bool areaDragEvent(bool fileList, QEvent* event) {
    auto* drop = static_cast<QDropEvent*>(event);
    if (!fileList || !drop->mimeData()->hasUrls()) {
      drop->ignore();
      return true;
    }
    drop->acceptProposedAction();
    if (event->type() != QEvent::Drop) return true;
    QStringList paths;
    for (const QUrl& url : drop->mimeData()->urls())
      if (url.isLocalFile()) paths << url.toLocalFile();
    form_.Files2Patch_LVDropFiles(paths);
    return true;
  }

  bool versionPartEvent(QLineEdit* part, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      // Only typed characters are filtered; focus keys and arrows move on.
      // Delete edits as Backspace does: X11 reports it with the DEL
      // character, which is no typed character.
      if (key->text().isEmpty() || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
          key->key() == Qt::Key_Delete)
        return false;
      return form_.PatchVersionEdit_EditKeyPress(part, key->text().at(0));
    }
    if (event->type() == QEvent::Drop) {
      // Dropped text goes in as pasted text does, into the part being
      // edited: leaving it (or Make) normalises it or reports a non-number.
      part->setFocus(Qt::MouseFocusReason);
      return false;
    }
    if (event->type() == QEvent::FocusOut) {
      // Leaving for another control of the window, not the window losing
      // the focus (to an error box, say).
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        form_.PatchVersionEdit_EditExit(part);
    }
    return false;
  }

  TMainForm& form_;
};

// The row's number, or the conversion error shown and nullopt.
std::optional<std::int32_t> readVersionRow(TMainForm& f, const std::array<QLineEdit*, 4>& row) {
  VersionRow parts;
  for (int i = 0; i < 4; ++i) parts[i] = row[i]->text();
  const std::optional<std::int32_t> number = versionNumberOf(parts);
  if (!number) f.dialogs().showError(notAnIntegerText(rowText(parts)));
  return number;
}

}  // namespace

void connectPatchMakerHandlers(TMainForm& f) {
  auto* events = new PatchMakerPageEvents(f);
  f.Files2Patch_LV->viewport()->setAcceptDrops(true);
  for (QListWidget* area : {f.Files2Patch_LV, f.UpdateRuleFile_LV, f.MUPresult_Listview}) {
    area->installEventFilter(events);
    area->viewport()->installEventFilter(events);
  }
  f.PatchHWName_Edit->installEventFilter(events);
  for (const auto* row : {&f.PatchVersionEdits, &f.OldVersionEdits})
    for (QLineEdit* part : *row) part->installEventFilter(events);

  QObject::connect(f.RuleFile_Btn, &QPushButton::clicked, &f, [&f] { f.RuleFile_BtnClick(); });
  QObject::connect(f.MakeUpdatePatch_Btn, &QPushButton::clicked, &f,
                   [&f] { f.MakeUpdatePatch_BtnClick(); });
  QObject::connect(f.MUPGetmd5_Btn, &QPushButton::clicked, &f, [&f] { f.MUPGetmd5_BtnClick(); });
}

void TMainForm::RuleFile_BtnClick() {
  const QString path = dialogs().openFile(kRuleFileFilter, kRuleFileStartFolder);
  if (path.isEmpty()) return;
  setSingleEntry(*this, UpdateRuleFile_LV, path);
  MakeUpdatePatch_Btn->setEnabled(true);
}

void TMainForm::Files2Patch_LVDropFiles(const QStringList& paths) {
  // Each path is taken whole; folders and names that are no file are
  // skipped without a word. The same file may be listed twice.
  for (const QString& path : paths) {
    const QFileInfo file(path);
    if (!file.isFile()) continue;
    listitem::add(Files2Patch_LV, file.fileName(), path, kFileImage, TovarinImages_ImageList);
  }
}

bool TMainForm::PatchVersionEdit_EditKeyPress(QLineEdit* sender, QChar key) {
  switch (classifyPartKey(key)) {
    case PartKey::Pass:
      return false;
    case PartKey::Swallow:
      return true;
    case PartKey::NormaliseAndOn:
      break;
  }
  if (!PatchVersionEdit_EditExit(sender)) return true;
  int index = 0;
  const std::array<QLineEdit*, 4>* row = rowOf(*this, sender, &index);
  if (row && index < 3) {
    QLineEdit* next = (*row)[index + 1];
    next->setFocus(Qt::TabFocusReason);
    next->selectAll();  // the next digits replace the part's text
  }
  return true;
}

bool TMainForm::PatchVersionEdit_EditExit(QLineEdit* sender) {
  const std::optional<QString> text = normalisedPart(sender->text());
  if (!text) {
    dialogs().showError(notAnIntegerText(sender->text()));
    return false;
  }
  if (*text != sender->text()) sender->setText(*text);
  return true;
}

void TMainForm::PatchHWName_EditClick() { PatchHWName_Edit->clear(); }

void TMainForm::MakeUpdatePatch_BtnClick() {
  // Pressing Make leaves the part being edited: it is normalised first, and
  // a part that is no number keeps the focus and stops the make.
  int index = 0;
  auto* editing = qobject_cast<QLineEdit*>(focusWidget());
  if (editing && rowOf(*this, editing, &index) && !PatchVersionEdit_EditExit(editing)) return;
  MakeUpdatePatch_Btn->setFocus(Qt::OtherFocusReason);

  if (UpdateRuleFile_LV->count() != 1) return;
  const std::optional<std::int32_t> newVersion = readVersionRow(*this, PatchVersionEdits);
  if (!newVersion) return;
  const std::optional<std::int32_t> oldVersion = readVersionRow(*this, OldVersionEdits);
  if (!oldVersion) return;
  // A patch of the rule script alone, or one that brings version 0, would
  // be written without a word and mean nothing to a device.
  if (Files2Patch_LV->count() == 0) {
    dialogs().showMessage(kMessageBoxTitle, msgText(MsgList::PatchMaker, pmmsg::kNoFilesToPatch));
    return;
  }
  if (*newVersion == 0) {
    dialogs().showMessage(kMessageBoxTitle, msgText(MsgList::PatchMaker, pmmsg::kNoNewVersion));
    return;
  }

  // The library hands each path back through fixed buffers: a path that
  // does not fit is refused here rather than cut into another file's name.
  std::vector<const QListWidgetItem*> entries;
  for (int i = 0; i < Files2Patch_LV->count(); ++i) entries.push_back(Files2Patch_LV->item(i));
  entries.push_back(UpdateRuleFile_LV->item(0));
  for (const QListWidgetItem* entry : entries) {
    if (!fitsBuffers(fileOf(entry), KESTRUM_PATCH_NAME_SIZE, KESTRUM_PATCH_INFO_SIZE)) {
      dialogs().showMessage(kMessageBoxTitle,
                            QStringLiteral("The patch cannot be made: the name or path of \"%1\" "
                                           "is too long for the device library (name at most "
                                           "%2 bytes, path at most %3).")
                                .arg(listitem::subItem(entry))
                                .arg(KESTRUM_PATCH_NAME_SIZE - 1)
                                .arg(KESTRUM_PATCH_INFO_SIZE - 1));
      return;
    }
  }

  const QString fileName = patchFileName(PatchHWName_Edit->text(), *newVersion);
  const QString patchPath = patchOutputPath(PatchSavePath_Edit->text(), fileName);
  const std::string hardwareName = PatchHWName_Edit->text().toStdString();
  const std::string outputPath = patchPath.toStdString();
  const std::int32_t fileCount = Files2Patch_LV->count() + 1;  // the rule script last
  if (device().MakePatch(hardwareName.c_str(), *newVersion, *oldVersion, fileCount,
                         outputPath.c_str()) != 0)
    return;  // the previous result stays
  setResult(*this, fileName, patchPath,
            msgText(MsgList::PatchMaker, pmmsg::kPatchWrittenTo)
                .arg(QDir::toNativeSeparators(patchPath)));
}

void TMainForm::MUPresult_ListviewClick() {
  const QString path = dialogs().openFile(kPatchFilter, QString());
  if (path.isEmpty()) return;
  setResult(*this, QFileInfo(path).fileName(), path, QString());
}

void TMainForm::MUPGetmd5_BtnClick() {
  if (MUPresult_Listview->count() != 1) {
    MUPmd5out_Edit->setText(msgText(MsgList::Boxes, boxmsg::kNeedAFile));
    return;
  }
  const QString path = listitem::subItem(MUPresult_Listview->item(0));
  if (!QFileInfo(path).isFile()) return;
  try {
    MUPmd5out_Edit->setText(QString::fromStdString(FileMd5Hex(path.toStdString())));
  } catch (const std::exception& e) {
    dialogs().showError(QString::fromLocal8Bit(e.what()));  // an unreadable file, say
  }
}

void TMainForm::showPatchMakerProgress(int value) {
  MakeUpdatePatchProgress_Gauge->setValue(value);
  // MakePatch holds the window's thread: paint now, or the gauge jumps at the end.
  MakeUpdatePatchProgress_Gauge->repaint();
}

bool TMainForm::patchMakerEntry(int index, QString* name, QString* path) {
  const int count = Files2Patch_LV->count();
  QListWidgetItem* item = nullptr;
  if (index >= 1 && index <= count) {
    item = Files2Patch_LV->item(index - 1);
  } else if (index == count + 1 && UpdateRuleFile_LV->count() > 0) {
    item = UpdateRuleFile_LV->item(0);
  }
  if (!item) return false;
  *name = item->text();
  *path = listitem::subItem(item);
  return true;
}
