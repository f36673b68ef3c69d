// The baseline for the start-up benchmark: a bare Qt window with the given
// number of child widgets, quitting at its first paint.
#include <unistd.h>
#include <QApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QTimer>
#include <QWidget>

#include "quit_on_paint.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 200;
  QWidget window;
  window.setFixedSize(640, 480);
  for (int i = 0; i < count; ++i) {
    auto* label = new QLabel(QString("label %1").arg(i), &window);
    label->setGeometry((i * 37) % 600, (i * 23) % 460, 60, 16);
  }
  QuitOnFirstPaint quit;
  window.installEventFilter(&quit);
  window.show();
  return app.exec();
}
