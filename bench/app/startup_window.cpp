// One start of the program's main window (real services, a fresh program
// folder, the real device link) that quits at its first paint. With
// "--census FILE" it shows the window, writes its census to FILE, prints its
// widget classes with their numbers and quits instead. Run inside a private
// network namespace: showing the window starts a device search.
#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "app/mainform.h"
#include "app/program_services.h"
#include "app/skin.h"
#include "common/platform_locale.h"
#include "common/ui_thread.h"
#include "quit_on_paint.h"
#include "widget_census.h"

int main(int argc, char* argv[]) {
  initProcessLocale();
  QApplication app(argc, argv);
  initUiThread();
  applySkin(app);
  QTemporaryDir exeDir;
  ProgramServices program;
  AppServices services = program.services();
  services.exeFolder = exeDir.path();
  TMainForm form(services);
  if (argc > 2 && std::strcmp(argv[1], "--census") == 0) {
    form.show();
    QCoreApplication::processEvents();
    // Counted first: reading the style name lifts the style sheet for a
    // moment, which may make a combo box build its popup.
    const QString classes = classCounts(&form);
    if (!writeCensus(takeCensus(&form), argv[2])) return 1;
    std::fputs(qPrintable(classes), stdout);
    std::fflush(stdout);
    ::_exit(0);  // the search just started has nothing to tell
  }
  QuitOnFirstPaint quit;
  form.installEventFilter(&quit);
  form.show();
  return app.exec();
}
