#include "app/skin.h"

#include <QApplication>
#include <QFile>
#include <QFont>

void applySkin(QApplication& app) {
  Q_INIT_RESOURCE(skin);
  app.setStyle("Fusion");
  QFont font = app.font();
  font.setPointSize(9);
  app.setFont(font);
  QFile sheet(":/skin/tovarin.qss");
  if (sheet.open(QIODevice::ReadOnly)) app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
}
