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
//   devices:N      waits until the device list holds N devices
//   select:N       selects device N of the device list (after the search)
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
#include <cstdio>
#include <string>

#include "app/mainform.h"
#include "app/skin.h"
#include "common/platform_locale.h"
#include "common/ui_thread.h"
#include "operator_session.h"
#include "updateservice/server_address.h"

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
  OperatorSession session(updateServer);
  session.show();
  for (int i = 2; i < argc; ++i) {
    if (!session.play(QString::fromLocal8Bit(argv[i])))
      std::fprintf(stderr, "unknown step %s\n", argv[i]);
  }
  QTest::qWait(100);
  return session.form().grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
