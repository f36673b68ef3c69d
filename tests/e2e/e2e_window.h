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
#include <QtTest>
#include <memory>

#include "app/app_state.h"
#include "app/mainform.h"
#include "common/ui_thread.h"
#include "devicelink/kestrum_device_link.h"
#include "firmware/update_run_worker.h"
#include "scripted_services.h"
#include "session/discovery.h"
#include "update_server.h"
#include "updateservice/curl_http_client.h"
#include "updateservice/web_fetch.h"
#include "widgets/skinned_controls.h"

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
  // Searches this window has finished ("search finished!" under the list).
  int searchesFinished = 0;

  // A new window on the program's start state.
  TMainForm& create() {
    state.reset();
    AppServices services{&dialogs, &sleeper, &clock, &random, &link};
    services.exeFolder = exeDir.path();
    services.http = &http;
    services.updateServer = updateServer;
    services.state = &state;
    form = std::make_unique<TMainForm>(services);
    searchesFinished = 0;
    QObject::connect(form->DevSearchMessageEdit_Edit, &QLineEdit::textChanged, form.get(),
                     [this](const QString& text) {
                       if (text == "search finished!") ++searchesFinished;
                     });
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
  // Logs in as the operator does, opening the folded login panel first;
  // true when the window shows the camera logged in.
  [[nodiscard]] bool logIn(const QString& address) {
    if (!form->loginPanelOpen() && !click(form->PanelSpreader_Btn)) return false;
    form->IPAddress_Edit->setText(address);
    return click(form->Login_SBtn) && form->Login_SBtn->text() == "ChangeDev" &&
           !form->loginPanelOpen();
  }
  // Chooses patch in the patch area's dialog, presses FirmwareUpdate and
  // answers Yes to its question.
  [[nodiscard]] bool sendPatch(const QString& patch) {
    dialogs.files.push_back(patch);
    dialogs.answers.push_back(true);
    return click(form->FirmwareUpdate_Btn);
  }
  // The update run has ended and let the device's connection go.
  [[nodiscard]] bool runEnded() {
    return QTest::qWaitFor(
        [&] {
          return !form->updateRunActive() && firmwareRunsHoldingConnection(state.updateRun) == 0;
        },
        30000);
  }
  // Presses CheckForUpdate once the login's own web fetches have ended, so
  // that the check's requests are the only ones server logs, and waits for
  // the check (not the run it may start) to end. Clears the boxes shown.
  [[nodiscard]] bool checkForUpdate(devsim::UpdateServer& server) {
    if (!QTest::qWaitFor([] { return !webFetchRunning(); }, 20000)) return false;
    server.clearRequestLog();
    dialogs.clear();
    return click(form->CheckForUpdate_Btn) &&
           QTest::qWaitFor([&] { return !form->UpdateCheckActive; }, 30000);
  }
  // The device search, the start-up one or one pressed, has ended.
  [[nodiscard]] bool searchDone() {
    return QTest::qWaitFor(
        [&] { return !deviceSearchRunning() && form->DevSearch_Btn->isEnabled(); }, 10000);
  }
  // The device list's node with this text, or none.
  QTreeWidgetItem* node(const QString& text) {
    for (int i = 0; i < form->DevList_TreeView->topLevelItemCount(); ++i)
      if (form->DevList_TreeView->topLevelItem(i)->text(0) == text)
        return form->DevList_TreeView->topLevelItem(i);
    return nullptr;
  }
  // The last box shown, or an empty text.
  QString lastBox() {
    const QStringList texts = dialogs.texts();
    return texts.isEmpty() ? QString() : texts.last();
  }
  // A search may still be reporting to the window: let it finish first.
  void destroy() {
    waitOnUiThread([] { return !deviceSearchRunning(); });
    waitOnUiThread([] { return !webFetchRunning(); });
    form.reset();
  }
};
