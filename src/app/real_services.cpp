#include "app/real_services.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QThread>
#include <chrono>

void QtDialogs::showMessage(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent_);
  box.exec();
}

void QtDialogs::showError(const QString& text) { QMessageBox::critical(parent_, "Error", text); }

bool QtDialogs::askYesNo(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent_);
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
