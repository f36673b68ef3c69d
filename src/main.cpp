// Program entry: fixes the thread locale, creates the main window and runs the message loop until
// the main window closes.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QPushButton>
#include <cstdio>

#include "app/mainform.h"
#include "app/program_services.h"
#include "app/shutdown.h"
#include "app/skin.h"
#include "common/platform_locale.h"
#include "common/ui_thread.h"
#include "settings/folders_report.h"
#include "signing/signing_window.h"
#include "tutorial/tutor_form.h"
#include "updateservice/server_address.h"

namespace {

bool isReadableFile(const QString& path) {
  const QFileInfo info(path);
  return info.isFile() && info.isReadable();
}

// The program's options; the update server's text names the built-in one.
void addProgramOptions(QCommandLineParser& options, const QString& builtInServer) {
  options.setApplicationDescription(
      "Keeps the firmware of IP cameras on the local network current.");
  options.addHelpOption();
  // Operators who run their own update server name it here; nothing of it
  // is kept in configs.ini.
  options.addOption({"update-server",
                     QString("Update server to ask: an IPv4 address with an optional port "
                             "(plain HTTP), or https://HOST[:PORT] (built-in: %1).")
                         .arg(builtInServer),
                     "HOST[:PORT]"});
  options.addOption({"ca-file",
                     "Trust only the certificate authorities in this PEM file for an https:// "
                     "update server (default: the system's store).",
                     "FILE"});
  // Tells an operator (and the install test) where the program found its
  // data and keeps its settings, without showing the window.
  options.addOption(
      {"folders",
       "Print where languages and help are read, settings are kept and signing keys are "
       "trusted, then exit."});
}

// Whether the command line asks only for text (help, the folders, or an
// error about the options): then no window opens and no display is needed.
bool printsWithoutWindow(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser options;
  addProgramOptions(options, {});
  if (!options.parse(arguments)) return true;
  return options.isSet("help") || options.isSet("help-all") || options.isSet("folders") ||
         (options.isSet("update-server") &&
          !parseUpdateServer(options.value("update-server").toStdString())) ||
         (options.isSet("ca-file") && !isReadableFile(options.value("ca-file")));
}

}  // namespace

int main(int argc, char* argv[]) {
  initProcessLocale();
  // Qt ends the process when it finds no display; text-only runs take the
  // platform that needs none.
  if (printsWithoutWindow(argc, argv) && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tovarin");
  // Ties the windows to the installed desktop entry and its icon.
  QGuiApplication::setDesktopFileName("tovarin");
  initUiThread();
  applySkin(app);

  ProgramServices program;
  QCommandLineParser options;
  addProgramOptions(options, program.updateServer);
  options.process(app);
  if (options.isSet("update-server")) {
    const auto host = parseUpdateServer(options.value("update-server").toStdString());
    if (!host) {
      std::fprintf(stderr,
                   "tovarin: --update-server wants an IPv4 address and an optional port, "
                   "such as 192.168.1.10 or 192.168.1.10:8080, or https://HOST[:PORT]\n");
      return 2;
    }
    program.updateServer = QString::fromStdString(*host);
  }
  if (options.isSet("ca-file")) {
    const QString caFile = options.value("ca-file");
    if (!isReadableFile(caFile)) {
      std::fprintf(stderr, "tovarin: --ca-file %s cannot be read\n",
                   caFile.toLocal8Bit().constData());
      return 2;
    }
    program.http = CurlHttpClient(HttpLimits{}, caFile.toStdString());
  }
  TMainForm mainForm(program.services());
  if (options.isSet("folders")) {
    std::fputs(programFoldersReport(mainForm).toUtf8().constData(), stdout);
    std::fputs(trustedKeysReport(mainForm).toUtf8().constData(), stdout);
    return 0;
  }
  program.dialogs.setParentWindow(&mainForm);
  TTutor_Form tutorForm(mainForm);  // hidden until TutorShow_Btn opens it
  mainForm.show();
  const int result = app.exec();
  shutDownProgram(mainForm);
  return result;
}
