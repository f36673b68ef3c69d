// The program's real services: Qt dialogs, the system clock and sleeping.
#pragma once

#include <random>

#include "common/services.h"

class QMessageBox;
class QWidget;

class QtDialogs final : public IDialogs {
 public:
  void setParentWindow(QWidget* parent) { parent_ = parent; }
  void showMessage(const QString& title, const QString& text) override;
  void showError(const QString& text) override;
  bool askYesNo(const QString& title, const QString& text) override;
  QString openFile(const QString& filter, const QString& initialFolder) override;
  QString browseFolder(const QString& title, const QString& startFolder) override;

  // Room for the window manager's buttons beside a box's title.
  static constexpr int kTitleBarButtonsRoom = 140;
  // Widens a box so that the window manager has room for its whole title:
  // a box as narrow as a short text gets its title cut to "T...".
  static void keepTitleWhole(QMessageBox& box);

  // "Name(*.a)|*.a|Other(*.b)|*.b" -> "Name(*.a) (*.a);;Other(*.b) (*.b)".
  static QString toQtFilter(const QString& filter);

 private:
  QWidget* parent_ = nullptr;
};

class RealSleeper final : public ISleeper {
 public:
  void sleepMs(int milliseconds) override;
};

class SystemClock final : public IClock {
 public:
  std::int64_t nowMs() override;
};

class StdRandom final : public IRandom {
 public:
  void seed(std::uint64_t value) override { engine_.seed(value); }
  int between(int low, int high) override;

 private:
  std::mt19937_64 engine_{std::random_device{}()};
};
