#include "widgets/skinned_controls.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QResizeEvent>
#include <QStyledItemDelegate>

TSkinPanel::TSkinPanel(QWidget* parent) : QFrame(parent) {
  setProperty("skinKind", skin::kPanel);
  setFrameShape(QFrame::StyledPanel);
}

void TSkinPanel::setCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void TSkinPanel::setShowCaption(bool show) {
  showCaption_ = show;
  setProperty("captioned", show);
  update();
}

void TSkinPanel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (!showCaption_ || caption_.isEmpty()) return;
  QPainter p(this);
  QRect strip(0, 0, width(), kCaptionHeight);
  p.fillRect(strip, palette().color(QPalette::Highlight).lighter(170));
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(strip.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft, caption_);
}

TTextGauge::TTextGauge(QWidget* parent) : QProgressBar(parent) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(true);
  setAlignment(Qt::AlignCenter);
}

void TTextGauge::setProgressText(const QString& text) {
  progressText_ = text;
  update();
}

TBevel::TBevel(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::Box);
  setFrameShadow(QFrame::Sunken);
  setProperty("skinKind", skin::kOther);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

TPageControl::TPageControl(QWidget* parent)
    : QWidget(parent), tabs_(new QTabBar(this)), stack_(new QStackedWidget(this)) {
  tabs_->setDrawBase(false);
  tabs_->setExpanding(false);
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0 && index < pages_.size()) stack_->setCurrentWidget(pages_[index]);
  });
}

void TPageControl::addPage(QWidget* page, const QString& caption) {
  pages_.append(page);
  stack_->addWidget(page);
  tabs_->addTab(caption);
  page->setProperty("skinKind", skin::kTabSheet);
}

void TPageControl::setPageVisible(QWidget* page, bool visible) {
  int index = pages_.indexOf(page);
  if (index < 0) return;
  tabs_->setTabVisible(index, visible);
  page->setVisible(visible && stack_->currentWidget() == page);
  page->setProperty("pageVisible", visible);
}

bool TPageControl::isTabVisible(QWidget* page) const {
  int index = pages_.indexOf(page);
  return index >= 0 && tabs_->isTabVisible(index);
}

void TPageControl::setPageCaption(QWidget* page, const QString& caption) {
  int index = pages_.indexOf(page);
  if (index >= 0) tabs_->setTabText(index, caption);
}

QString TPageControl::pageCaption(QWidget* page) const {
  int index = pages_.indexOf(page);
  return index >= 0 ? tabs_->tabText(index) : QString();
}

void TPageControl::setCurrentPage(QWidget* page) {
  int index = pages_.indexOf(page);
  if (index < 0) return;
  tabs_->setCurrentIndex(index);
  stack_->setCurrentWidget(page);
}

void TPageControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  tabs_->setGeometry(0, 0, width(), kTabHeight);
  stack_->setGeometry(0, kTabHeight, width(), height() - kTabHeight);
}

namespace listitem {

QListWidgetItem* add(QListWidget* list, const QString& caption, const QString& subItemText,
                     int image, const QVector<QIcon>& images) {
  auto* item = new QListWidgetItem(caption, list);
  item->setData(kSubItemRole, subItemText);
  item->setData(kImageIndexRole, image);
  if (image >= 0 && image < images.size()) item->setIcon(images[image]);
  item->setToolTip(subItemText);
  return item;
}

QString subItem(const QListWidgetItem* item) { return item->data(kSubItemRole).toString(); }
int imageIndex(const QListWidgetItem* item) { return item->data(kImageIndexRole).toInt(); }

}  // namespace listitem

namespace {

// Draws an item's caption with a break allowed between any two characters:
// the style wraps only at blanks, and a file name has none.
class AnywhereWrapDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    QString spaced;
    for (QChar c : option->text) spaced += QString(c) + QChar(0x200B);
    option->text = spaced;
  }
};

void refreshAreaTip(QListWidget* area) {
  area->setToolTip(area->count() == 1 ? listitem::subItem(area->item(0))
                                      : area->property("areaHint").toString());
}

}  // namespace

void makePathTipArea(QListWidget* area, const QString& hint) {
  area->setProperty("pathTipArea", true);
  area->setItemDelegate(new AnywhereWrapDelegate(area));
  area->setWordWrap(true);
  area->setProperty("areaHint", hint);
  refreshAreaTip(area);
  QAbstractItemModel* model = area->model();
  // The list's model outlives the list's own destructor and resets itself
  // from there: by then the object is only a QWidget, so the cast fails.
  QObject* object = area;
  auto refresh = [object] {
    if (auto* list = qobject_cast<QListWidget*>(object)) refreshAreaTip(list);
  };
  QObject::connect(model, &QAbstractItemModel::rowsInserted, area, refresh);
  QObject::connect(model, &QAbstractItemModel::rowsRemoved, area, refresh);
  QObject::connect(model, &QAbstractItemModel::modelReset, area, refresh);
  QObject::connect(model, &QAbstractItemModel::dataChanged, area, refresh);
}

bool isPathTipArea(const QListWidget* area) { return area->property("pathTipArea").toBool(); }

void setAreaHint(QListWidget* area, const QString& hint) {
  area->setProperty("areaHint", hint);
  refreshAreaTip(area);
}

namespace {

QPixmap canvas() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

QIcon folderIcon() {
  QPixmap pm = canvas();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor("#b8860b"));
  p.setBrush(QColor("#f4c542"));
  p.drawRoundedRect(QRectF(2, 6, 13, 6), 2, 2);
  p.drawRoundedRect(QRectF(2, 9, 28, 19), 2, 2);
  return QIcon(pm);
}

QIcon filmIcon() {
  QPixmap pm = canvas();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor("#37474f"));
  p.drawRoundedRect(QRectF(3, 4, 26, 24), 3, 3);
  p.setBrush(Qt::white);
  for (int y = 6; y < 27; y += 5) {
    p.drawRect(QRectF(5, y, 2.5, 2.5));
    p.drawRect(QRectF(24.5, y, 2.5, 2.5));
  }
  QPainterPath play;
  play.moveTo(12, 10);
  play.lineTo(21, 16);
  play.lineTo(12, 22);
  play.closeSubpath();
  p.setBrush(QColor("#4fc3f7"));
  p.drawPath(play);
  return QIcon(pm);
}

QIcon documentIcon() {
  QPixmap pm = canvas();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor("#607d8b"));
  p.setBrush(Qt::white);
  QPainterPath page;
  page.moveTo(7, 2);
  page.lineTo(20, 2);
  page.lineTo(26, 8);
  page.lineTo(26, 30);
  page.lineTo(7, 30);
  page.closeSubpath();
  p.drawPath(page);
  p.setPen(QColor("#90a4ae"));
  for (int y = 12; y <= 24; y += 4) p.drawLine(10, y, 23, y);
  return QIcon(pm);
}

QIcon cameraIcon() {
  QPixmap pm = canvas();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor("#455a64"));
  p.drawRoundedRect(QRectF(3, 9, 21, 13), 3, 3);
  p.drawRect(QRectF(12, 22, 4, 6));
  p.drawRect(QRectF(6, 27, 16, 3));
  p.setBrush(QColor("#81d4fa"));
  p.drawEllipse(QPointF(24, 15.5), 5, 5);
  p.setBrush(QColor("#66bb6a"));
  p.drawEllipse(QPointF(7, 12), 1.5, 1.5);
  return QIcon(pm);
}

}  // namespace

QIcon makeBackArrowIcon() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor("#f08a24"));
  QPainterPath arrow;
  arrow.moveTo(2, 8);
  arrow.lineTo(8, 2);
  arrow.lineTo(8, 5.5);
  arrow.lineTo(14, 5.5);
  arrow.lineTo(14, 10.5);
  arrow.lineTo(8, 10.5);
  arrow.lineTo(8, 14);
  arrow.closeSubpath();
  p.drawPath(arrow);
  return QIcon(pm);
}

QVector<QIcon> makeTovarinImages() { return {folderIcon(), filmIcon(), documentIcon()}; }
QVector<QIcon> makePanelImages() { return {cameraIcon()}; }
