// The real window on the real device libraries, with scripted dialogs and
// no sleeping, for end-to-end tests against a device lab.
#pragma once

#include <QAbstractButton>
#include <QTemporaryDir>
// Window tests reach into every kind of control the window holds.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeWidget>
#include <QtGlobal>
#include <memory>

#include "app/app_state.h"
#include "widgets/skinned_controls.h"
#include "app/mainform.h"
#include "common/ui_thread.h"
#include "devicelink/kestrum_device_link.h"
#include "scripted_services.h"
#include "session/discovery.h"
#include "updateservice/curl_http_client.h"
#include "updateservice/web_fetch.h"

struct E2eWindow {
  ScriptedDialogs dialogs;
  RecordingSleeper sleeper;
  FixedClock clock;
  ScriptedRandom random;
  KestrumDeviceLink link;
  CurlHttpClient http;
  QString updateServer = "127.0.0.1:8080";  // tests with a server of their own set its address
  QTemporaryDir exeDir;  // the program's folder: configs.ini and no language packs
  AppState state;
  std::unique_ptr<TMainForm> form;

  // A new window on the program's start state.
  TMainForm& create() {
    state.reset();
    AppServices services{&dialogs, &sleeper, &clock, &random, &link};
    services.exeFolder = exeDir.path();
    services.http = &http;
    services.updateServer = updateServer;
    services.state = &state;
    form = std::make_unique<TMainForm>(services);
    return *form;
  }
  // Clicks a button as an operator can: a hidden or disabled one is refused
  // (QAbstractButton::click() would press it all the same). Use in QVERIFY.
  [[nodiscard]] bool click(QAbstractButton* button) {
    if (!button->isVisibleTo(button->window()) || !button->isEnabled()) {
      qWarning("operator cannot click %s: %s", qPrintable(button->objectName()),
               button->isEnabled() ? "hidden" : "disabled");
      return false;
    }
    button->click();
    return true;
  }
  // A search may still be reporting to the window: let it finish first.
  void destroy() {
    waitOnUiThread([] { return !deviceSearchRunning(); });
    waitOnUiThread([] { return !webFetchRunning(); });
    form.reset();
  }
};
