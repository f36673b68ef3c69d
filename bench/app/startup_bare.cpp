// The baseline for the start-up benchmark: the main window's widgets built
// bare from its census (same Qt classes in the same numbers and tree, same
// geometry, visibility, texts and fonts, the same style; no style sheet, no
// services, no logic), quitting at the first paint. With "--classes" it
// prints its widget classes with their numbers and quits instead.
#include <QApplication>
#include <QFont>
#include <QWidget>
#include <cstdio>
#include <cstring>

#include "quit_on_paint.h"
#include "widget_census.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  Census census;
  if (argc < 2 || !readCensus(argv[1], &census)) {
    std::fprintf(stderr, "usage: bench_startup_bare CENSUS [--classes]\n");
    return 2;
  }
  app.setStyle(census.style);
  QFont font;
  font.fromString(census.appFont);
  app.setFont(font);
  QWidget* window = buildFromCensus(census);
  if (argc > 2 && std::strcmp(argv[2], "--classes") == 0) {
    window->show();
    QCoreApplication::processEvents();
    std::fputs(qPrintable(classCounts(window)), stdout);
    return 0;
  }
  QuitOnFirstPaint quit;
  window->installEventFilter(&quit);
  window->show();
  return app.exec();
}
