// A main window built on scripted services, for window tests.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
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
#include <memory>

#include "app/app_state.h"
#include "app/mainform.h"
#include "common/ui_thread.h"
#include "scripted_device_link.h"
#include "scripted_http_client.h"
#include "scripted_services.h"
#include "session/discovery.h"
#include "updateservice/web_fetch.h"
#include "widgets/skinned_controls.h"

struct FormFixture {
  ScriptedDialogs dialogs;
  RecordingSleeper sleeper;
  FixedClock clock;
  ScriptedRandom random;
  ScriptedDeviceLink device;
  std::unique_ptr<TMainForm> form;
  // The program's folder for this test: configs.ini, language/, help/.
  QTemporaryDir exeDir;
  // The update server: answers as scripted, never a real request.
  ScriptedHttpClient http;
  ScriptedBrowser browser;
  // The program's state for this test's window; a new fixture starts from
  // the start state.
  AppState state;
  static constexpr const char* kUpdateServer = "192.0.2.10:8080";

  AppServices services() {
    AppServices s{&dialogs, &sleeper, &clock, &random, &device};
    s.exeFolder = exeDir.path();
    s.http = &http;
    s.browser = &browser;
    s.updateServer = kUpdateServer;
    s.state = &state;
    return s;
  }
  // Copies the shipped language packs and help texts into the test's
  // program folder.
  void installLanguageData() {
    const QString bin = QStringLiteral(TOVARIN_SOURCE_DIR "/data");
    for (const QString& sub : {QStringLiteral("language"), QStringLiteral("help")}) {
      QDir().mkpath(exeDir.filePath(sub));
      const QDir from(bin + "/" + sub);
      for (const QString& name : from.entryList(QDir::Files))
        QFile::copy(from.filePath(name), exeDir.filePath(sub + "/" + name));
    }
  }
  // Searches the window has finished ("search finished!" under the list).
  int searchesFinished = 0;

  // Creates the window (FormCreate runs); show() also runs FormShow.
  TMainForm& create() { return create(services()); }
  // The same on services changed from services().
  TMainForm& create(const AppServices& s) {
    initUiThread();
    form.reset();
    form = std::make_unique<TMainForm>(s);
    searchesFinished = 0;
    QObject::connect(
        form->DevSearchMessageEdit_Edit, &QLineEdit::textChanged, form.get(),
        [this](const QString& text) { searchesFinished += text == "search finished!"; });
    return *form;
  }
  // Creates the window, shows it and waits until it is the active one, as
  // keyboard tests need.
  [[nodiscard]] bool showActive() {
    create();
    form->show();
    form->activateWindow();
    return QTest::qWaitForWindowActive(form.get());
  }
  // Where a key goes: the widget with the focus, or else the window.
  QWidget* focused() {
    QWidget* w = QApplication::focusWidget();
    return w ? w : form.get();
  }
  ~FormFixture() {
    // A search worker may still be using the window and the scripted link.
    waitOnUiThread([] { return !deviceSearchRunning(); });
    // So may a web fetch, using the scripted services.
    waitOnUiThread([] { return !webFetchRunning(); });
    form.reset();
  }
};

// Spins the event loop until cond holds or the timeout passes.
template <typename Cond>
bool waitUntil(Cond cond, int timeoutMs = 5000) {
  return QTest::qWaitFor(cond, timeoutMs);
}
