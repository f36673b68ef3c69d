#include "app/keyboard.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTreeWidget>
#include <vector>

#include "app/mainform.h"
#include "app/tab_order.h"
#include "widgets/skinned_controls.h"

namespace {

// Enter and Space on a camera of the device list: the double-click.
class CameraNodeKeys final : public QObject {
 public:
  explicit CameraNodeKeys(TMainForm& form) : QObject(&form), form_(form) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space) return false;
    if (!form_.DevList_TreeView->currentItem()) return false;
    (void)watched;
    form_.DevList_TreeViewDblClick();
    return true;
  }

 private:
  TMainForm& form_;
};

// An open eye, struck through while the password is hidden.
QIcon eyeIcon(bool struck) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor("#2f6f8f"), 1.4));
  QPainterPath lid;
  lid.moveTo(1.5, 8);
  lid.quadTo(8, 1.5, 14.5, 8);
  lid.quadTo(8, 14.5, 1.5, 8);
  p.drawPath(lid);
  p.setBrush(QColor("#2f6f8f"));
  p.drawEllipse(QPointF(8, 8), 2.2, 2.2);
  if (struck) {
    p.setPen(QPen(QColor("#c0392b"), 1.6));
    p.drawLine(QPointF(2.5, 13.5), QPointF(13.5, 2.5));
  }
  return QIcon(pm);
}

void addPasswordToggle(TMainForm& f) {
  f.Password_Edit->setEchoMode(QLineEdit::Password);
  // Inside the field's right end: nothing around it moves.
  QAction* show = f.Password_Edit->addAction(eyeIcon(true), QLineEdit::TrailingPosition);
  show->setObjectName("ShowPassword_Action");
  show->setCheckable(true);
  show->setText(f.packText("ShowPassword_Hint", "Show the password"));
  show->setToolTip(show->text());
  QObject::connect(show, &QAction::toggled, &f, [&f, show](bool shown) {
    f.Password_Edit->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    show->setIcon(eyeIcon(!shown));
  });
}

// A part of a compound control (the line of a spin box or a combo box):
// Tab reaches the control, not its part.
bool insideCompound(const QWidget* widget, const QWidget* window) {
  for (const QWidget* p = widget->parentWidget(); p && p != window; p = p->parentWidget())
    if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QComboBox*>(p)) return true;
  return false;
}

}  // namespace

void connectKeyboardHandlers(TMainForm& f) {
  for (QLineEdit* field : {f.IPAddress_Edit, f.UserName_Edit, f.Password_Edit}) {
    QObject::connect(field, &QLineEdit::returnPressed, &f, [&f] {
      // The button reads Login or ChangeDev; its handler tells them apart.
      if (f.Login_SBtn->isVisible() && f.Login_SBtn->isEnabled()) f.Login_SBtn->click();
    });
  }
  f.DevList_TreeView->installEventFilter(new CameraNodeKeys(f));
  addPasswordToggle(f);
  // The console's hint names its keys; a language pack's "Hints" replace it.
  f.Command_Edit->setToolTip(
      "` opens and closes the console, Ctrl+` also from a text field, Esc closes it");
  f.nameControlsForScreenReaders(nullptr);
  followPageTabOrder(f);
}

void followPageTabOrder(TMainForm& f) {
  std::vector<QWidget*> chain;
  std::vector<QRect> places;
  for (QWidget* w : f.findChildren<QWidget*>()) {
    if (!(w->focusPolicy() & Qt::TabFocus) || w == f.Command_Edit) continue;
    if (insideCompound(w, &f)) continue;
    chain.push_back(w);
    places.emplace_back(w->mapTo(&f, QPoint(0, 0)), w->size());
  }
  const std::vector<int> order = readingOrder(places);
  for (std::size_t i = 0; i + 1 < order.size(); ++i)
    QWidget::setTabOrder(chain[order[i]], chain[order[i + 1]]);
}

void keepFoldedPanelOutOfTab(TMainForm& f) {
  const bool open = f.loginPanelOpen();
  for (QWidget* w : f.Login_Panel->findChildren<QWidget*>()) {
    // A part that hands its focus to its control (a list's viewport) would
    // pass the policy on to that control.
    if (w == f.PanelSpreader_Btn || w->focusProxy()) continue;
    if (!w->property("ownFocusPolicy").isValid())
      w->setProperty("ownFocusPolicy", static_cast<int>(w->focusPolicy()));
    const auto own = static_cast<Qt::FocusPolicy>(w->property("ownFocusPolicy").toInt());
    w->setFocusPolicy(open ? own : Qt::NoFocus);
  }
  QWidget* focus = QApplication::focusWidget();
  if (open || !focus || focus == f.PanelSpreader_Btn || !f.Login_Panel->isAncestorOf(focus)) return;
  for (QWidget* next = focus->nextInFocusChain(); next && next != focus;
       next = next->nextInFocusChain()) {
    if (next->window() == &f && next->isVisible() && next->isEnabled() &&
        (next->focusPolicy() & Qt::TabFocus)) {
      next->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}
