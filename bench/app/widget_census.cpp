#include "widget_census.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTextEdit>
#include <QTextStream>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <functional>

namespace {

using Maker = std::function<QWidget*(QWidget*)>;

template <typename W>
Maker maker() {
  return [](QWidget* parent) -> QWidget* { return new W(parent); };
}

// The classes the baseline can build, most derived first so that the
// nearest known class of a widget is found by walking up its meta chain.
const QMap<QString, Maker>& makers() {
  static const QMap<QString, Maker> m = {
      {"QCheckBox", maker<QCheckBox>()},
      {"QComboBox", maker<QComboBox>()},
      {"QFrame", maker<QFrame>()},
      {"QGroupBox", maker<QGroupBox>()},
      {"QLabel", maker<QLabel>()},
      {"QLineEdit", maker<QLineEdit>()},
      {"QListWidget", maker<QListWidget>()},
      {"QMenu", maker<QMenu>()},
      {"QPlainTextEdit", maker<QPlainTextEdit>()},
      {"QProgressBar", maker<QProgressBar>()},
      {"QPushButton", maker<QPushButton>()},
      {"QRadioButton", maker<QRadioButton>()},
      {"QScrollBar", maker<QScrollBar>()},
      {"QSpinBox", maker<QSpinBox>()},
      {"QStackedWidget", maker<QStackedWidget>()},
      {"QTabBar", maker<QTabBar>()},
      {"QTextEdit", maker<QTextEdit>()},
      {"QToolButton", maker<QToolButton>()},
      {"QTreeWidget", maker<QTreeWidget>()},
      {"QWidget", maker<QWidget>()},
  };
  return m;
}

QString nearestQtClass(const QWidget* w) {
  for (const QMetaObject* mo = w->metaObject(); mo; mo = mo->superClass())
    if (makers().contains(mo->className())) return mo->className();
  return "QWidget";
}

// Classes whose children are the program's own rather than Qt's.
bool holdsProgramChildren(const QString& qtClass) {
  return qtClass == "QWidget" || qtClass == "QFrame" || qtClass == "QGroupBox" ||
         qtClass == "QStackedWidget";
}

QString textOf(const QWidget* w) {
  if (auto l = qobject_cast<const QLabel*>(w)) return l->text();
  if (auto b = qobject_cast<const QAbstractButton*>(w)) return b->text();
  if (auto e = qobject_cast<const QLineEdit*>(w)) return e->text();
  if (auto p = qobject_cast<const QPlainTextEdit*>(w)) return p->toPlainText();
  if (auto g = qobject_cast<const QGroupBox*>(w)) return g->title();
  if (w->isWindow()) return w->windowTitle();
  return {};
}

QStringList itemsOf(const QWidget* w) {
  QStringList items;
  if (auto l = qobject_cast<const QListWidget*>(w))
    for (int i = 0; i < l->count(); ++i) items << l->item(i)->text();
  if (auto c = qobject_cast<const QComboBox*>(w))
    for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
  if (auto t = qobject_cast<const QTabBar*>(w))
    for (int i = 0; i < t->count(); ++i) items << t->tabText(i);
  if (auto t = qobject_cast<const QTreeWidget*>(w))
    for (int i = 0; i < t->topLevelItemCount(); ++i) items << t->topLevelItem(i)->text(0);
  // A field's own buttons (the password's eye) are actions Qt shows inside it.
  if (auto e = qobject_cast<const QLineEdit*>(w))
    for (const QAction* a : e->actions()) items << a->text();
  return items;
}

void setText(QWidget* w, const QString& text) {
  if (auto l = qobject_cast<QLabel*>(w)) l->setText(text);
  if (auto b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
  if (auto e = qobject_cast<QLineEdit*>(w)) e->setText(text);
  if (auto p = qobject_cast<QPlainTextEdit*>(w)) p->setPlainText(text);
  if (auto g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
  if (w->isWindow()) w->setWindowTitle(text);
}

void setItems(QWidget* w, const QStringList& items) {
  if (auto l = qobject_cast<QListWidget*>(w)) l->addItems(items);
  if (auto c = qobject_cast<QComboBox*>(w)) c->addItems(items);
  if (auto t = qobject_cast<QTabBar*>(w))
    for (const QString& s : items) t->addTab(s);
  if (auto t = qobject_cast<QTreeWidget*>(w))
    for (const QString& s : items) t->addTopLevelItem(new QTreeWidgetItem(QStringList{s}));
  if (auto e = qobject_cast<QLineEdit*>(w))
    for (const QString& s : items) e->addAction(new QAction(s, e), QLineEdit::TrailingPosition);
}

void visit(QWidget* w, int parent, const QFont& appFont, std::vector<CensusEntry>* out) {
  CensusEntry e;
  e.parent = parent;
  e.qtClass = nearestQtClass(w);
  e.geometry = w->geometry();
  e.hidden = w->isHidden();
  if (w->font() != appFont) e.font = w->font().toString();
  if (auto f = qobject_cast<const QFrame*>(w)) e.frameStyle = f->frameStyle();
  e.text = textOf(w);
  e.items = itemsOf(w);
  // Qt makes a combo box's popup on first use; the program may have used it.
  if (auto c = qobject_cast<const QComboBox*>(w))
    e.popupMade = c->findChild<QAbstractItemView*>() != nullptr;
  const int index = static_cast<int>(out->size());
  out->push_back(e);
  if (!holdsProgramChildren(e.qtClass)) return;
  for (QObject* child : w->children())
    if (auto cw = qobject_cast<QWidget*>(child)) visit(cw, index, appFont, out);
}

QString encode(const QString& s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); }
QString decode(const QString& s) { return QUrl::fromPercentEncoding(s.toLatin1()); }

}  // namespace

Census takeCensus(QWidget* window) {
  Census census;
  census.appFont = QApplication::font().toString();
  visit(window, -1, QApplication::font(), &census.widgets);
  // A style sheet wraps the style in one without a name: lift the sheet for
  // a moment to read the name of the style beneath.
  const QString sheet = qApp->styleSheet();
  qApp->setStyleSheet({});
  census.style = QApplication::style()->name();
  qApp->setStyleSheet(sheet);
  return census;
}

bool writeCensus(const Census& census, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QTextStream out(&file);
  out << encode(census.style) << '\t' << encode(census.appFont) << '\n';
  for (const CensusEntry& e : census.widgets) {
    const QRect& g = e.geometry;
    out << e.parent << '\t' << e.qtClass << '\t' << g.x() << '\t' << g.y() << '\t' << g.width()
        << '\t' << g.height() << '\t' << int(e.hidden) << '\t' << e.frameStyle << '\t'
        << int(e.popupMade) << '\t' << encode(e.font) << '\t' << encode(e.text);
    for (const QString& item : e.items) out << '\t' << encode(item);
    out << '\n';
  }
  return out.status() == QTextStream::Ok;
}

bool readCensus(const QString& path, Census* census) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QTextStream in(&file);
  const QStringList head = in.readLine().split('\t');
  if (head.size() != 2) return false;
  census->style = decode(head[0]);
  census->appFont = decode(head[1]);
  census->widgets.clear();
  while (!in.atEnd()) {
    const QStringList f = in.readLine().split('\t');
    if (f.size() < 11) return false;
    CensusEntry e;
    e.parent = f[0].toInt();
    e.qtClass = f[1];
    e.geometry = QRect(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt());
    e.hidden = f[6] == "1";
    e.frameStyle = f[7].toInt();
    e.popupMade = f[8] == "1";
    e.font = decode(f[9]);
    e.text = decode(f[10]);
    for (int i = 11; i < f.size(); ++i) e.items << decode(f[i]);
    if (e.parent >= static_cast<int>(census->widgets.size()) || !makers().contains(e.qtClass))
      return false;
    census->widgets.push_back(e);
  }
  return !census->widgets.empty() && census->widgets[0].parent == -1;
}

QWidget* buildFromCensus(const Census& census) {
  std::vector<QWidget*> built;
  built.reserve(census.widgets.size());
  for (const CensusEntry& e : census.widgets) {
    QWidget* parent = e.parent < 0 ? nullptr : built[static_cast<std::size_t>(e.parent)];
    QWidget* w = makers()[e.qtClass](parent);
    w->setGeometry(e.geometry);
    if (auto f = qobject_cast<QFrame*>(w)) f->setFrameStyle(e.frameStyle);
    if (!e.font.isEmpty()) {
      QFont font;
      font.fromString(e.font);
      w->setFont(font);
    }
    setText(w, e.text);
    setItems(w, e.items);
    if (auto c = qobject_cast<QComboBox*>(w); c && e.popupMade) c->view();
    if (parent) w->setHidden(e.hidden);
    built.push_back(w);
  }
  return built.front();
}

QString classCounts(QWidget* window) {
  // Qt's own classes by name (private ones such as a combo box's popup
  // included); the program's classes by the Qt class the baseline builds.
  auto name = [](const QWidget* w) {
    const QString own = w->metaObject()->className();
    return own.startsWith('Q') ? own : nearestQtClass(w);
  };
  QMap<QString, int> counts;
  ++counts[name(window)];
  for (QWidget* w : window->findChildren<QWidget*>()) ++counts[name(w)];
  QString out;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it)
    out += QString("%1 %2\n").arg(it.key()).arg(it.value());
  return out;
}
