#include "app/skin.h"

#include <QApplication>
#include <QFile>
#include <QFont>

void applySkin(QApplication& app) {
  Q_INIT_RESOURCE(skin);
  app.setStyle("Fusion");
  // The family is set once here: naming it in the style sheet makes every
  // control resolve it again, which doubles the start-up time.
  QFont font("Noto Sans CJK SC");
  font.setPointSize(9);
  app.setFont(font);
  QFile sheet(":/skin/tovarin.qss");
  if (sheet.open(QIODevice::ReadOnly)) app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
}
