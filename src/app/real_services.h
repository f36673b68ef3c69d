// The program's real services: Qt dialogs, the system clock and sleeping.
#pragma once

#include <random>

#include "app/services.h"

class QWidget;

class QtDialogs final : public IDialogs {
 public:
  void setParentWindow(QWidget* parent) { parent_ = parent; }
  void showMessage(const QString& title, const QString& text) override;
  void showError(const QString& text) override;
  bool askYesNo(const QString& title, const QString& text) override;
  QString openFile(const QString& filter, const QString& initialFolder) override;
  QString browseFolder(const QString& title, const QString& startFolder) override;

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
