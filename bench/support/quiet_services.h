// The services a benchmark gives the real window: an operator who answers
// Yes to every question and cancels every dialog, no sleeping, a fixed
// clock and the lowest draw. Header-only: it needs the program's services.h.
#pragma once

#include <string>

#include "app/app_state.h"
#include "common/services.h"

namespace bench {

class YesDialogs final : public IDialogs {
 public:
  void showMessage(const QString&, const QString&) override {}
  void showError(const QString&) override {}
  bool askYesNo(const QString&, const QString&) override { return true; }
  QString openFile(const QString&, const QString&) override { return {}; }
  QString browseFolder(const QString&, const QString&) override { return {}; }
};
class NoSleep final : public ISleeper {
 public:
  void sleepMs(int) override {}
};
class SteadyClock final : public IClock {
 public:
  std::int64_t nowMs() override { return 1'700'000'000'000; }
};
class LowRandom final : public IRandom {
 public:
  void seed(std::uint64_t) override {}
  int between(int low, int) override { return low; }
};

// The four stand-ins and the program's state, handed to the window with the
// real device link.
struct QuietServices {
  YesDialogs dialogs;
  NoSleep sleeper;
  SteadyClock clock;
  LowRandom random;
  AppState state;

  AppServices with(IDeviceLink& link, const std::string& exeFolder) {
    AppServices services{&dialogs, &sleeper, &clock, &random, &link};
    services.exeFolder = QString::fromStdString(exeFolder);
    services.state = &state;
    return services;
  }
};

}  // namespace bench
