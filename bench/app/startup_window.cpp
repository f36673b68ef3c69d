// One start of the program's main window (real services, a fresh program
// folder, the real device link) that quits at its first paint. Prints the
// number of widgets. Run inside a private network namespace: showing the
// window starts a device search.
#include <QApplication>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/mainform.h"
#include "app/platform_locale.h"
#include "app/program_services.h"
#include "app/skin.h"
#include "app/ui_thread.h"

#include "quit_on_paint.h"

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
  if (argc > 1) {
    std::printf("%lld\n", static_cast<long long>(form.findChildren<QWidget*>().size()));
    return 0;
  }
  QuitOnFirstPaint quit;
  form.installEventFilter(&quit);
  form.show();
  return app.exec();
}
