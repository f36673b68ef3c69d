#include "app/real_services.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStringList>
#include <QThread>
#include <chrono>

void QtDialogs::keepTitleWhole(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (!grid) return;
  // Title bars use a larger, bold type than the box's text.
  QFont titleFont = box.font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
  const int width =
      QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarButtonsRoom;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

void QtDialogs::showMessage(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent_);
  keepTitleWhole(box);
  box.exec();
}

void QtDialogs::showError(const QString& text) {
  QMessageBox box(QMessageBox::Critical, "Error", text, QMessageBox::Ok, parent_);
  keepTitleWhole(box);
  box.exec();
}

bool QtDialogs::askYesNo(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent_);
  keepTitleWhole(box);
  return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::toQtFilter(const QString& filter) {
  const QStringList parts = filter.split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
  return out.join(";;");
}

QString QtDialogs::openFile(const QString& filter, const QString& initialFolder) {
  return QFileDialog::getOpenFileName(parent_, QString(), initialFolder, toQtFilter(filter));
}

QString QtDialogs::browseFolder(const QString& title, const QString& startFolder) {
  return QFileDialog::getExistingDirectory(parent_, title, startFolder, QFileDialog::ShowDirsOnly);
}

void RealSleeper::sleepMs(int milliseconds) { QThread::msleep(milliseconds); }

std::int64_t SystemClock::nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int StdRandom::between(int low, int high) {
  if (high < low) return low;
  return std::uniform_int_distribution<int>(low, high)(engine_);
}
