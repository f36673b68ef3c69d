// The window's small control set: the few kinds the design needs beyond
// plain Qt widgets. Every named control carries its kind in the "skinKind"
// property, which language packs use to decide what a key may change.
#pragma once

#include <QFrame>
#include <QIcon>
#include <QListWidget>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QVector>
#include <QWidget>

namespace skin {
// Values of the "skinKind" property.
inline constexpr const char* kLabel = "label";
inline constexpr const char* kTabSheet = "tabsheet";
inline constexpr const char* kButton = "button";
inline constexpr const char* kPanel = "panel";
inline constexpr const char* kExpandPanel = "expandpanel";
inline constexpr const char* kEdit = "edit";
inline constexpr const char* kNumEdit = "numedit";
inline constexpr const char* kOther = "other";
}  // namespace skin

// A panel with an optional caption strip at its top.
class TSkinPanel : public QFrame {
  Q_OBJECT
 public:
  explicit TSkinPanel(QWidget* parent = nullptr);
  QString caption() const { return caption_; }
  void setCaption(const QString& caption);
  void setShowCaption(bool show);
  static constexpr int kCaptionHeight = 19;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption_;
  bool showCaption_ = false;
};

// A progress bar that draws a text of its own instead of a percentage.
class TTextGauge : public QProgressBar {
  Q_OBJECT
 public:
  explicit TTextGauge(QWidget* parent = nullptr);
  QString progressText() const { return progressText_; }
  void setProgressText(const QString& text);
  QString text() const override { return progressText_; }

 private:
  QString progressText_;
};

// A flat line or frame used to separate areas.
class TBevel : public QFrame {
  Q_OBJECT
 public:
  explicit TBevel(QWidget* parent = nullptr);
};

// Pages with tabs whose tab and content can be hidden one by one. The page
// area lies below a tab strip of fixed height, so page sizes are known
// before the window is shown.
class TPageControl : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kTabHeight = 24;
  explicit TPageControl(QWidget* parent = nullptr);
  void addPage(QWidget* page, const QString& caption);
  int pageCount() const { return pages_.size(); }
  QWidget* page(int index) const { return pages_.value(index); }
  int indexOf(QWidget* page) const { return pages_.indexOf(page); }
  // Shows or hides the page's tab and its content.
  void setPageVisible(QWidget* page, bool visible);
  bool isTabVisible(QWidget* page) const;
  void setPageCaption(QWidget* page, const QString& caption);
  QString pageCaption(QWidget* page) const;
  QWidget* currentPage() const { return stack_->currentWidget(); }
  void setCurrentPage(QWidget* page);
  QTabBar* tabBar() const { return tabs_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QTabBar* tabs_;
  QStackedWidget* stack_;
  QVector<QWidget*> pages_;
};

// Item roles of the window's list views: the first sub-item (a full path)
// and the picture index in the window's image list.
namespace listitem {
inline constexpr int kSubItemRole = Qt::UserRole + 1;
inline constexpr int kImageIndexRole = Qt::UserRole + 2;

QListWidgetItem* add(QListWidget* list, const QString& caption, const QString& subItem,
                     int imageIndex, const QVector<QIcon>& images);
QString subItem(const QListWidgetItem* item);
int imageIndex(const QListWidgetItem* item);
}  // namespace listitem

// The one-file areas (the patch areas, the rule script): the caption is the
// file name, wrapped anywhere so that a name without blanks shows whole; the
// tooltip is the file's full path, or the area's hint while it is empty.
void makePathTipArea(QListWidget* area, const QString& hint);
bool isPathTipArea(const QListWidget* area);
void setAreaHint(QListWidget* area, const QString& hint);

// The window's two image lists of 32 x 32 pictures.
QVector<QIcon> makeTovarinImages();  // folder, film strip, document
QVector<QIcon> makePanelImages();    // camera
// The Up button's orange back arrow.
QIcon makeBackArrowIcon();
