#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionFrame>

#include "app/mainform.h"
#include "patchmaker/patchmaker_window.h"
#include "widgets/place_control.h"
#include "widgets/skinned_controls.h"

namespace {

// The edit behind a version row that shows the three separating dots. Its
// text puts each dot after five spaces; drawn in the type of the day, spaces
// and dots have other widths and the dots land on the digits. So each
// character takes a fixed 3-pixel cell, and the dots fall in the 4-pixel
// gaps between the parts.
class VersionDotsEdit final : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    const QFontMetricsF metrics(font());
    const qreal baseline = (height() - metrics.height()) / 2 + metrics.ascent();
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    const QString shown = text();
    for (qsizetype i = 0; i < shown.size(); ++i) {
      if (shown[i].isSpace()) continue;
      // Centred in its cell: 17.5, 35.5 and 53.5 for the three dots.
      const qreal centre = kCellWidth * (static_cast<qreal>(i) + 0.5) + 1;
      painter.drawText(QPointF(centre - metrics.horizontalAdvance(shown[i]) / 2, baseline),
                       QString(shown[i]));
    }
  }

 private:
  static constexpr int kCellWidth = 3;
};

QLineEdit* plainEdit(TMainForm& f, QWidget* parent, const char* name, const QString& text, int left,
                     int top, int width, int height, const char* kind = skin::kEdit) {
  auto* e = f.reg(new QLineEdit(text, parent), name, kind);
  e->setGeometry(left, top, width, height);
  return e;
}

// One version row: frame, dots, four two-digit parts and the row label.
void versionRow(TMainForm& f, QWidget* parent, int top, const char* frameName, const char* bgName,
                const char* partStem, const char* labelName, const char* labelText,
                QLineEdit*& frame, QLineEdit*& bg, std::array<QLineEdit*, 4>& parts,
                QLineEdit*& label) {
  frame = plainEdit(f, parent, frameName, "", 98, top, 112, 18, skin::kNumEdit);
  frame->setEnabled(false);
  frame->setToolTip("Patch Version");
  bg = f.reg(new VersionDotsEdit("     .     .     .    ", parent), bgName, skin::kOther);
  bg->setGeometry(100, top + 2, 77, 14);
  bg->setEnabled(false);
  bg->setFrame(false);
  bg->setProperty("role", "versionRow");
  for (int i = 0; i < 4; ++i) {
    const QByteArray name = QByteArray(partStem) + QByteArray::number(i + 1) + "_Edit";
    parts[i] =
        plainEdit(f, parent, name.constData(), "00", 102 + 18 * i, top + 2, 14, 13, skin::kOther);
    parts[i]->setMaxLength(2);
    parts[i]->setFrame(false);
    parts[i]->setProperty("role", "versionPart");
  }
  label = plainEdit(f, parent, labelName, labelText, 170, top, 40, 18);
  label->setReadOnly(true);
  label->setAlignment(Qt::AlignCenter);
  label->setProperty("role", "versionRow");
}

// Below Get Md5, in the MD5 field's column: the path of the patch Make
// wrote, wrapped anywhere (a path has few blanks) and selectable to copy.
QPlainTextEdit* resultNote(TMainForm& f, QWidget* parent) {
  auto* note = f.reg(new QPlainTextEdit(parent), "MUPresultNote_Memo", skin::kOther);
  note->setGeometry(30, 256, 270, 64);
  note->setReadOnly(true);
  note->setProperty("role", "note");
  note->setFrameShape(QFrame::NoFrame);
  note->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  note->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  note->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  note->viewport()->setAutoFillBackground(false);
  QTextOption centred = note->document()->defaultTextOption();
  centred.setAlignment(Qt::AlignHCenter);
  centred.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  note->document()->setDefaultTextOption(centred);
  return note;
}

}  // namespace

void buildPatchMakerPageControls(TMainForm& f) {
  QWidget* page = f.MakeUpdatePatch_Page;
  f.Files2Patch_Panel = build::panel(f, page, "Files2Patch_Panel", 0, 0, 310, 457);
  f.Files2Patch_Panel->setCaption("Files2Patch(drag in file is supported)");
  f.Files2Patch_Panel->setShowCaption(true);
  f.Files2Patch_LV = f.reg(new QListWidget(f.Files2Patch_Panel), "Files2Patch_LV", skin::kOther);
  f.Files2Patch_LV->setGeometry(0, 19, 310, 357);
  f.UpdateRuleFile_LV =
      f.reg(new QListWidget(f.Files2Patch_Panel), "UpdateRuleFile_LV", skin::kOther);
  f.UpdateRuleFile_LV->setGeometry(0, 376, 89, 81);
  f.MakeUpdatePatch_BtnPanel =
      build::panel(f, f.Files2Patch_Panel, "MakeUpdatePatch_BtnPanel", 89, 376, 221, 81);
  QWidget* bp = f.MakeUpdatePatch_BtnPanel;
  f.RuleFile_Btn = build::button(f, bp, "RuleFile_Btn", "AddRuleFile", 4, 10, 88, 25);
  f.MakeUpdatePatch_Btn = build::button(f, bp, "MakeUpdatePatch_Btn", "Make", 4, 46, 88, 25);
  f.PatchHWName_Edit = plainEdit(f, bp, "PatchHWName_Edit", "47RKT", 98, 12, 112, 18);
  f.PatchHWName_Edit->setToolTip("Patch HarwardName");
  versionRow(f, bp, 32, "PatchVersion_Edit", "PatchVersionEditBG_Edit", "PatchVersionEdit",
             "NewPatchVersionLabel_Edit", "NewV", f.PatchVersion_Edit, f.PatchVersionEditBG_Edit,
             f.PatchVersionEdits, f.NewPatchVersionLabel_Edit);
  versionRow(f, bp, 52, "OldVersion_Edit", "PatchVersionEditBG2_Edit", "OldVersionEdit",
             "OldPatchVersionLabel_Edit", "OldV", f.OldVersion_Edit, f.PatchVersionEditBG2_Edit,
             f.OldVersionEdits, f.OldPatchVersionLabel_Edit);
  f.MakeUpdatePatchProgress_Gauge =
      f.reg(new TTextGauge(f.Files2Patch_Panel), "MakeUpdatePatchProgress_Gauge", skin::kOther);
  f.MakeUpdatePatchProgress_Gauge->setGeometry(0, 364, 310, 12);
  f.MakeUpdatePatchProgress_Gauge->setTextVisible(false);

  f.MUPcontrols_Panel = build::panel(f, page, "MUPcontrols_Panel", 310, 0, 330, 456);
  f.MUPresult_Listview =
      f.reg(new QListWidget(f.MUPcontrols_Panel), "MUPresult_Listview", skin::kOther);
  f.MUPresult_Listview->setGeometry(120, 100, 89, 81);
  f.MUPresult_Listview->setCursor(Qt::PointingHandCursor);
  makePathTipArea(f.MUPresult_Listview, "PatchFileArea");
  makePathTipArea(f.UpdateRuleFile_LV, QString());
  // The one-entry areas are one icon wide: a long name wraps, never scrolls.
  for (QListWidget* area : {f.UpdateRuleFile_LV, f.MUPresult_Listview}) {
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setGridSize(QSize(85, 77));
  }
  f.MUPmd5out_Edit = plainEdit(f, f.MUPcontrols_Panel, "MUPmd5out_Edit", "md5", 30, 191, 270, 20);
  f.MUPmd5out_Edit->setReadOnly(true);
  f.MUPGetmd5_Btn =
      build::button(f, f.MUPcontrols_Panel, "MUPGetmd5_Btn", "Get Md5", 128, 221, 75, 25);
  f.MUPresultNote_Memo = resultNote(f, f.MUPcontrols_Panel);

  // Icon mode would make every area a drag source and a drop target for
  // the others' icons; set here with icons that stay where the list puts
  // them, the window's later switch to icon mode changes nothing. The file
  // list takes dropped files only (connectPatchMakerHandlers).
  for (QListWidget* area : {f.Files2Patch_LV, f.UpdateRuleFile_LV, f.MUPresult_Listview}) {
    area->setViewMode(QListView::IconMode);
    area->setMovement(QListView::Static);
    area->setAcceptDrops(false);
  }
}
