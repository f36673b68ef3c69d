// Program entry: fixes the thread locale, creates the main window and runs the message loop until
// the main window closes.
#include <QApplication>

#include "app/mainform.h"
#include "app/platform_locale.h"
#include "app/program_services.h"
#include "app/shutdown.h"
#include "app/skin.h"
#include "app/ui_thread.h"

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
  shutDownProgram(mainForm);
  return result;
}
