// The widgets of a window as plain data, so that the start-up baseline can
// build the same controls (same Qt classes, tree, geometry, visibility,
// fonts, texts and items) without the program's style sheet or logic.
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

class QWidget;

struct CensusEntry {
  int parent = -1;  // index of the parent entry; -1 for the window itself
  QString qtClass;  // the nearest class makeWidget knows
  QRect geometry;
  bool hidden = false;
  QString font;  // QFont::toString(); empty when it is the application's font
  int frameStyle = 0;
  QString text;
  QStringList items;       // list, combo, tree and tab texts
  bool popupMade = false;  // a combo box whose popup list exists already
};

struct Census {
  QString style;    // the application style's name (under any style sheet)
  QString appFont;  // QFont::toString() of the application font
  std::vector<CensusEntry> widgets;
};

// Every widget the program made under window (window first, parents before
// children). Widgets Qt makes inside a composite control (a list's
// viewport, a spin box's line edit) are left out: building the control
// makes them again.
// Lifts the style sheet for a moment at the end to read the style's name,
// so count classes before.
Census takeCensus(QWidget* window);

bool writeCensus(const Census& census, const QString& path);
bool readCensus(const QString& path, Census* census);

// Builds the census's widgets under a new top-level widget and returns it.
QWidget* buildFromCensus(const Census& census);

// "QLabel 23\nQPushButton 19\n..." over window and every widget under it,
// those Qt makes inside controls included.
QString classCounts(QWidget* window);
