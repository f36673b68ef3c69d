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
#include "app/real_services.h"
#include "app/skin.h"
#include "app/ui_thread.h"
#include "devicelink/kestrum_device_link.h"

namespace {
class QuitOnPaint : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // The window's update request paints every visible control; quit once
    // it has been handled.
    if (event->type() == QEvent::UpdateRequest) QTimer::singleShot(0, qApp, [] { ::_exit(0); });
    return QObject::eventFilter(watched, event);
  }
};
}  // namespace

int main(int argc, char* argv[]) {
  initProcessLocale();
  QApplication app(argc, argv);
  initUiThread();
  applySkin(app);
  QTemporaryDir exeDir;
  QtDialogs dialogs;
  RealSleeper sleeper;
  SystemClock clock;
  StdRandom random;
  KestrumDeviceLink device;
  AppServices services{&dialogs, &sleeper, &clock, &random, &device};
  services.exeFolder = exeDir.path();
  TMainForm form(services);
  if (argc > 1) {
    std::printf("%lld\n", static_cast<long long>(form.findChildren<QWidget*>().size()));
    return 0;
  }
  QuitOnPaint quit;
  form.installEventFilter(&quit);
  form.show();
  return app.exec();
}
