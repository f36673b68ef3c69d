// Program entry: fixes the thread locale, creates the main window and runs the message loop until
// the main window closes.
#include <QApplication>
#include <QCommandLineParser>
#include <QPushButton>
#include <cstdio>

#include "app/mainform.h"
#include "app/platform_locale.h"
#include "app/program_services.h"
#include "app/shutdown.h"
#include "app/skin.h"
#include "app/ui_thread.h"
#include "settings/settings_page.h"
#include "tutorial/tutor_form.h"
#include "updateservice/server_address.h"

int main(int argc, char* argv[]) {
  initProcessLocale();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tovarin");
  // Ties the windows to the installed desktop entry and its icon.
  QGuiApplication::setDesktopFileName("tovarin");
  initUiThread();
  applySkin(app);

  ProgramServices program;
  // Operators who run their own update server name it here; nothing of it
  // is kept in configs.ini.
  QCommandLineParser options;
  options.setApplicationDescription(
      "Keeps the firmware of IP cameras on the local network current.");
  options.addHelpOption();
  const QCommandLineOption updateServer(
      "update-server",
      QString("Update server to ask, an IPv4 address with an optional port (built-in: %1).")
          .arg(program.updateServer),
      "HOST[:PORT]");
  options.addOption(updateServer);
  // Tells an operator (and the install test) where the program found its
  // data and keeps its settings, without showing the window.
  const QCommandLineOption folders(
      "folders", "Print where languages and help are read and settings are kept, then exit.");
  options.addOption(folders);
  options.process(app);
  if (options.isSet(updateServer)) {
    const auto host = parseUpdateServer(options.value(updateServer).toStdString());
    if (!host) {
      std::fprintf(stderr,
                   "tovarin: --update-server wants an IPv4 address and an optional port, "
                   "such as 192.168.1.10 or 192.168.1.10:8080\n");
      return 2;
    }
    program.updateServer = QString::fromStdString(*host);
  }
  TMainForm mainForm(program.services());
  if (options.isSet(folders)) {
    std::fputs(programFoldersReport(mainForm).toUtf8().constData(), stdout);
    return 0;
  }
  program.dialogs.setParentWindow(&mainForm);
  TTutor_Form tutorForm(mainForm);  // hidden until TutorShow_Btn opens it
  mainForm.show();
  const int result = app.exec();
  shutDownProgram(mainForm);
  return result;
}
