// tovarin-screenshot: opens the real window (real device link, the data
// beside the program), plays a few operator steps and saves a picture.
//
//   tovarin-screenshot OUT.png [STEP...]
//
// Steps, in order:
//   console:TEXT   types TEXT into the console and presses Enter
//   page:NAME      shows the page whose object name is NAME (e.g. Options_Page)
//   login:ADDRESS  types the address and presses Login (user admin, no password)
//   user:NAME password:TEXT   fill the login fields before a login
//   dblclick:N     double-clicks device N of the device list (after the search)
//   wait:MS        lets the event loop run for MS milliseconds
//   fold           clicks the login panel's fold button
//   hover:BUTTON   moves the pointer over a firmware button (help memo)
//   patch:FILE     puts FILE in the patch area as the file dialog would
//   check          presses CheckForUpdate and waits for the update run to end
//                  (the update server is the built-in one, or --update-server
//                  HOST[:PORT] given before OUT.png)
// Message boxes are answered at once and printed on stderr.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/mainform.h"
#include "app/platform_locale.h"
#include "app/real_services.h"
#include "app/shutdown.h"
#include "app/skin.h"
#include "app/ui_thread.h"
#include "devicelink/kestrum_device_link.h"
#include "updateservice/curl_http_client.h"
#include "updateservice/server_address.h"

namespace {

class LoggingDialogs final : public IDialogs {
 public:
  QString nextFile;
  void showMessage(const QString& title, const QString& text) override {
    std::fprintf(stderr, "[box] %s: %s\n", qPrintable(title), qPrintable(text));
  }
  void showError(const QString& text) override {
    std::fprintf(stderr, "[error] %s\n", qPrintable(text));
  }
  bool askYesNo(const QString& title, const QString& text) override {
    std::fprintf(stderr, "[question, answered yes] %s: %s\n", qPrintable(title), qPrintable(text));
    return true;
  }
  QString openFile(const QString&, const QString&) override { return nextFile; }
  QString browseFolder(const QString&) override { return {}; }
};

}  // namespace

int main(int argc, char* argv[]) {
  initProcessLocale();
  QApplication app(argc, argv);
  std::string updateServer = defaultUpdateServer();
  if (argc > 2 && std::string(argv[1]) == "--update-server") {
    updateServer = parseUpdateServer(argv[2]).value_or(updateServer);
    argv += 2;
    argc -= 2;
  }
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: tovarin-screenshot [--update-server HOST[:PORT]] OUT.png [STEP...]\n");
    return 2;
  }
  initUiThread();
  applySkin(app);
  LoggingDialogs dialogs;
  RealSleeper sleeper;
  SystemClock clock;
  StdRandom random;
  KestrumDeviceLink device;
  CurlHttpClient http;
  AppServices services{&dialogs, &sleeper, &clock, &random, &device};
  services.http = &http;
  services.updateServer = QString::fromStdString(updateServer);
  TMainForm form(services);
  form.show();
  form.activateWindow();
  if (!QTest::qWaitForWindowActive(&form, 2000)) std::fprintf(stderr, "window not active\n");
  QTest::qWait(200);
  // Keys go where the operator's keys go: to the control with the focus.
  auto keyTarget = [&form]() -> QWidget* {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus : &form;
  };

  for (int i = 2; i < argc; ++i) {
    const QString step = QString::fromLocal8Bit(argv[i]);
    const QString value = step.section(':', 1);
    if (step.startsWith("console:")) {
      QTest::keyClick(keyTarget(), '`');
      form.Command_Edit->setText(value);
      QTest::keyClick(form.Command_Edit, Qt::Key_Return);
      QTest::keyClick(keyTarget(), '`');
    } else if (step.startsWith("page:")) {
      if (auto* page = form.findChild<QWidget*>(value))
        form.Pages_PageControl->setCurrentPage(page);
    } else if (step.startsWith("user:")) {
      form.UserName_Edit->setText(value);
    } else if (step.startsWith("password:")) {
      form.Password_Edit->setText(value);
    } else if (step.startsWith("login:")) {
      // An empty value logs in to the address a double-click put there.
      if (!value.isEmpty()) form.IPAddress_Edit->setText(value);
      form.Login_SBtnClick();
    } else if (step.startsWith("dblclick:")) {
      if (!QTest::qWaitFor(
              [&] { return form.DevList_TreeView->topLevelItemCount() > value.toInt(); }, 5000))
        std::fprintf(stderr, "no device %d in the list\n", value.toInt());
      if (auto* node = form.DevList_TreeView->topLevelItem(value.toInt())) {
        form.DevList_TreeView->setCurrentItem(node);
        form.DevList_TreeViewDblClick();
      }
    } else if (step == "fold") {
      form.PanelSpreader_Btn->click();
    } else if (step.startsWith("wait:")) {
      QTest::qWait(value.toInt());
    } else if (step.startsWith("hover:")) {
      if (auto* button = form.findChild<QWidget*>(value)) form.FU_BtnMouseEnter(button);
    } else if (step.startsWith("patch:")) {
      dialogs.nextFile = value;
      form.Patch2Send_LVClick();
    } else if (step == "check") {
      form.CheckForUpdate_BtnClick();
      QTest::qWaitFor([&] { return !form.updateRunActive(); }, 60000);
    }
    QTest::qWait(50);
  }
  QTest::qWait(100);
  const bool saved = form.grab().save(QString::fromLocal8Bit(argv[1]));
  // The same way out as the program's: a search still running must not
  // report to a window that is gone.
  shutDownProgram(form);
  return saved ? 0 : 1;
}
