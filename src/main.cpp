// Program entry: fixes the thread locale, creates the main window and runs the message loop until
// the main window closes.
#include <QApplication>

#include "app/mainform.h"
#include "app/platform_locale.h"
#include "app/program_services.h"
#include "app/skin.h"
#include "app/ui_thread.h"
#include "session/discovery.h"

int main(int argc, char* argv[]) {
  initProcessLocale();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tovarin");
  initUiThread();
  applySkin(app);

  ProgramServices program;
  TMainForm mainForm(program.services());
  program.dialogs.setParentWindow(&mainForm);
  mainForm.show();
  const int result = app.exec();
  // A device search started just before closing still reports to the
  // window; let it finish (it lasts one search window at most).
  waitOnUiThread([] { return !deviceSearchRunning(); });
  return result;
}
