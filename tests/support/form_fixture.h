// A main window built on scripted services, for window tests.
#pragma once

#include <QApplication>
#include <QTest>
#include <memory>

#include "app/mainform.h"
#include "app/ui_thread.h"
#include "scripted_device_link.h"
#include "scripted_services.h"

struct FormFixture {
  ScriptedDialogs dialogs;
  RecordingSleeper sleeper;
  FixedClock clock;
  ScriptedRandom random;
  ScriptedDeviceLink device;
  std::unique_ptr<TMainForm> form;

  AppServices services() {
    return AppServices{&dialogs, &sleeper, &clock, &random, &device};
  }
  // Creates the window (FormCreate runs); show() also runs FormShow.
  TMainForm& create() {
    initUiThread();
    form = std::make_unique<TMainForm>(services());
    return *form;
  }
  ~FormFixture() { form.reset(); }
};

// Spins the event loop until cond holds or the timeout passes.
template <typename Cond>
bool waitUntil(Cond cond, int timeoutMs = 5000) {
  return QTest::qWaitFor(cond, timeoutMs);
}
